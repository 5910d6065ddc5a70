// Speed of the skin package reader: every skinned image reads the whole package again, so both the
// walk over a package and the inflation of one bitmap matter.
#include "skins/SciZipFile.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <string>

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

} // namespace

BENCHMARK_MAIN();
