// Speed of the skin package reader: every skinned image reads the whole package again, so both the
// walk over a package and the inflation of one bitmap matter.
#include "core/skins/SciZipFile.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace {

void PutU16(std::string& out, unsigned v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void PutU32(std::string& out, std::uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

std::string RawDeflate(const std::string& data) {
    z_stream zs{};
    deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, data.size()), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

// A package like a full skin: `count` bitmaps of `size` bytes, deflated, local headers only.
std::string MakePackage(int count, std::size_t size) {
    std::string archive;
    for (int i = 0; i < count; ++i) {
        std::string bitmap = "BM";
        for (std::size_t j = 2; j < size; ++j) {
            bitmap.push_back(
                static_cast<char>((j * 31 + static_cast<std::size_t>(i)) % 97 < 60 ? 0xFF : j % 251));
        }
        const std::string name = "ParlomarClientMainForm-Image" + std::to_string(i) + ".bmp";
        const std::string packed = RawDeflate(bitmap);
        PutU32(archive, 0x04034B50);
        PutU16(archive, 20);
        PutU16(archive, 0);
        PutU16(archive, 8);
        PutU16(archive, 0);
        PutU16(archive, 0);
        PutU32(archive, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bitmap.data()),
                                                         static_cast<uInt>(size))));
        PutU32(archive, static_cast<std::uint32_t>(packed.size()));
        PutU32(archive, static_cast<std::uint32_t>(size));
        PutU16(archive, static_cast<unsigned>(name.size()));
        PutU16(archive, 0);
        archive += name;
        archive += packed;
    }
    return archive;
}

void BM_ReadPackage(benchmark::State& state) {
    const std::string package = MakePackage(static_cast<int>(state.range(0)), 20000);
    for (auto _ : state) {
        parlomar::TZipFile zip;
        zip.ReadArchive(package);
        benchmark::DoNotOptimize(zip.EntryCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * package.size()));
}
BENCHMARK(BM_ReadPackage)->Arg(20)->Arg(150);

void BM_EntryData(benchmark::State& state) {
    parlomar::TZipFile zip;
    zip.ReadArchive(MakePackage(1, static_cast<std::size_t>(state.range(0))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(zip.EntryData(0));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * state.range(0)));
}
BENCHMARK(BM_EntryData)->Arg(20000)->Arg(1 << 20);

// A streamed package of `count` stored one-byte entries whose sizes are in data descriptors only,
// listed in the central directory last entry first: every entry has to find its own record.
std::string MakeReversedStreamedPackage(std::size_t count) {
    std::string archive;
    std::vector<std::string> central(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = "ParlomarClientMainForm-ImageList" + std::to_string(i) + ".bmp";
        const char byte = static_cast<char>('a' + i % 26);
        const auto crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(&byte), 1));
        std::string& record = central[i];
        PutU32(record, 0x02014B50);
        PutU16(record, 20);
        PutU16(record, 20);
        PutU16(record, 0x0008);
        for (int f = 0; f < 3; ++f)
            PutU16(record, 0);
        PutU32(record, crc);
        PutU32(record, 1);
        PutU32(record, 1);
        PutU16(record, static_cast<unsigned>(name.size()));
        for (int f = 0; f < 4; ++f)
            PutU16(record, 0);
        PutU32(record, 0);
        PutU32(record, static_cast<std::uint32_t>(archive.size()));
        record += name;
        PutU32(archive, 0x04034B50);
        PutU16(archive, 20);
        PutU16(archive, 0x0008);
        for (int f = 0; f < 3; ++f)
            PutU16(archive, 0);
        for (int f = 0; f < 3; ++f)
            PutU32(archive, 0);
        PutU16(archive, static_cast<unsigned>(name.size()));
        PutU16(archive, 0);
        archive += name;
        archive += byte;
        PutU32(archive, 0x08074B50);
        PutU32(archive, crc);
        PutU32(archive, 1);
        PutU32(archive, 1);
    }
    const std::size_t start = archive.size();
    for (std::size_t i = count; i-- > 0;)
        archive += central[i];
    PutU32(archive, 0x06054B50);
    PutU32(archive, 0);
    PutU16(archive, static_cast<unsigned>(count));
    PutU16(archive, static_cast<unsigned>(count));
    PutU32(archive, static_cast<std::uint32_t>(archive.size() - 12 - start));
    PutU32(archive, static_cast<std::uint32_t>(start));
    PutU16(archive, 0);
    return archive;
}

// Opening the hostile package: 65,535 entries whose directory is in reverse order.
void BM_ReadReversedStreamedPackage(benchmark::State& state) {
    const std::string package = MakeReversedStreamedPackage(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        parlomar::TZipFile zip;
        zip.ReadArchive(package);
        benchmark::DoNotOptimize(zip.EntryCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * package.size()));
}
BENCHMARK(BM_ReadReversedStreamedPackage)->Arg(4096)->Arg(65535)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
