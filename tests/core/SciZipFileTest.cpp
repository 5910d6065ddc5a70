#include "core/skins/SciZipFile.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using parlomar::EZipFileCRCError;
using parlomar::TZipFile;

namespace {

const std::string DataDir = std::string(PARLOMAR_TEST_DATA_DIR) + "/zip/";

std::string FileBytes(const std::string& name) {
    std::ifstream in(DataDir + name, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TZipFile Open(const std::string& name) {
    TZipFile zip;
    zip.OpenArchive(DataDir + name);
    return zip;
}

// The members the generator script packs into the generic archives.
std::string Readme() {
    std::string text;
    for (int i = 1; i <= 40; ++i) {
        text += "line " + std::to_string(i) + " of a text that deflates well\n";
    }
    return text;
}

std::string DataBin() {
    std::string data;
    for (int i = 0; i < 3000; ++i) {
        data.push_back(static_cast<char>((i * 7919 + 13) % 251));
    }
    return data;
}

template <typename E = parlomar::Error>
std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "(no error)";
}

void PutU16(std::string& b, std::size_t at, unsigned v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void PutU32(std::string& b, std::size_t at, std::uint32_t v) {
    PutU16(b, at, v & 0xFFFF);
    PutU16(b, at + 2, v >> 16);
}

} // namespace

TEST(SciZipFile, ReadsDeflatedArchivesOfBothWriters) {
    for (const char* name : {"infozip-deflated.zip", "python-deflated.zip", "stub-aligned.zip"}) {
        SCOPED_TRACE(name);
        TZipFile zip = Open(name);
        ASSERT_GE(zip.EntryCount(), 2);
        EXPECT_EQ(zip.EntryName(0), "readme.txt");
        EXPECT_EQ(zip.EntryName(1), "data.bin");
        EXPECT_EQ(zip.EntryData(0), Readme());
        EXPECT_EQ(zip.EntryData(1), DataBin());
        EXPECT_EQ(zip.CentralDirectory().size(), static_cast<std::size_t>(zip.EntryCount()));
        EXPECT_EQ(zip.CentralDirectory()[1].Name, "data.bin");
        ASSERT_TRUE(zip.EndRecord().has_value());
        EXPECT_EQ(zip.EndRecord()->TotalEntries, zip.EntryCount());
    }
    // An empty member (stored, size 0) gives the empty data and passes.
    TZipFile zip = Open("infozip-deflated.zip");
    ASSERT_EQ(zip.EntryCount(), 3);
    EXPECT_EQ(zip.EntryName(2), "empty.txt");
    EXPECT_EQ(zip.EntryData(2), "");
}

// Archives made by Info-ZIP zip while the test runs: deflated, stored (-0), written to a pipe (sizes
// in data descriptors) and compressed from standard input (a Zip64 local header with a descriptor).
class ZipMadeNow {
public:
    ZipMadeNow() {
        char pattern[] = "/tmp/zipnowXXXXXX";
        Folder = mkdtemp(pattern);
        std::ofstream(Folder + "/readme.txt", std::ios::binary) << Readme();
        std::ofstream(Folder + "/data.bin", std::ios::binary) << DataBin();
        Run("zip -q -X deflated.zip readme.txt data.bin");
        Run("zip -q -X -0 stored.zip readme.txt data.bin");
        Run("zip -q -X - readme.txt data.bin | cat > piped.zip");
        Run("cat readme.txt | zip -q -X - - | cat > stdin.zip");
    }
    ~ZipMadeNow() { std::filesystem::remove_all(Folder); }
    std::string Path(const std::string& name) const { return Folder + "/" + name; }
    std::string Bytes(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string Folder;

private:
    void Run(const std::string& command) const {
        ASSERT_EQ(std::system(("cd '" + Folder + "' && " + command).c_str()), 0) << command;
    }
};

TEST(SciZipFile, ReadsStoredEntriesAndEntriesWithDataDescriptors) {
    const ZipMadeNow made;
    std::vector<std::string> paths;
    for (const char* name : {"deflated.zip", "stored.zip", "piped.zip"}) {
        paths.push_back(made.Path(name));
    }
    for (const char* name : {"infozip-stored.zip", "python-stored.zip", "infozip-descriptor.zip"}) {
        paths.push_back(DataDir + name);
    }
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        TZipFile zip;
        zip.OpenArchive(path);
        ASSERT_GE(zip.EntryCount(), 2);
        EXPECT_EQ(zip.EntryName(0), "readme.txt");
        EXPECT_EQ(zip.EntryData(0), Readme());
        EXPECT_EQ(zip.EntryName(1), "data.bin");
        EXPECT_EQ(zip.EntryData(1), DataBin());
        EXPECT_EQ(zip.CentralDirectory().size(), static_cast<std::size_t>(zip.EntryCount()));
        ASSERT_TRUE(zip.EndRecord().has_value());
    }
    // One member from a stream: the writer's own name "-" (Info-ZIP, 8-byte descriptor sizes) and a
    // streaming library's descriptor without sizes in the local header.
    for (const std::string& path : {made.Path("stdin.zip"), DataDir + "python-descriptor.zip"}) {
        SCOPED_TRACE(path);
        TZipFile zip;
        zip.OpenArchive(path);
        ASSERT_EQ(zip.EntryCount(), 1);
        EXPECT_EQ(zip.EntryData(0), Readme());
        EXPECT_TRUE(zip.EndRecord().has_value());
    }
}

TEST(SciZipFile, DamagedStoredAndStreamedEntriesGiveClearErrors) {
    const ZipMadeNow made;
    // A streamed archive cut before its central directory has no sizes for its first entry.
    const std::string piped = made.Bytes("piped.zip");
    TZipFile zip;
    EXPECT_EQ(ErrorOf([&] { zip.ReadArchive(std::string_view(piped).substr(0, 100)); }),
              "Damaged archive: the sizes of \"readme.txt\" are missing.");
    // Every shorter piece of it still gives complete entries or an error, never a crash.
    for (std::size_t length = 0; length < piped.size(); length += 7) {
        try {
            zip.ReadArchive(std::string_view(piped).substr(0, length));
            for (int i = 0; i < zip.EntryCount(); ++i) {
                EXPECT_EQ(zip.EntryName(i), i == 0 ? "readme.txt" : "data.bin");
            }
        } catch (const parlomar::Error&) {
        }
    }

    // Stored data whose two sizes differ, a changed stored byte, a method nobody here reads.
    std::string stored = made.Bytes("stored.zip");
    std::string sizes = stored;
    PutU32(sizes, 22, static_cast<std::uint32_t>(Readme().size() - 1));
    zip.ReadArchive(sizes);
    EXPECT_EQ(ErrorOf([&] { zip.EntryData(0); }),
              "Damaged archive: the sizes of \"readme.txt\" do not match.");
    std::string flipped = stored;
    flipped[30 + 10 + 5] ^= 0x20;
    zip.ReadArchive(flipped);
    EXPECT_EQ(ErrorOf<EZipFileCRCError>([&] { zip.EntryData(0); }), "CRC Error in \"readme.txt\".");
    PutU16(stored, 8, 12);
    zip.ReadArchive(stored);
    EXPECT_EQ(ErrorOf([&] { zip.EntryData(0); }),
              "The entry \"readme.txt\" is compressed with a method that cannot be read.");
}

TEST(SciZipFile, LocalHeaderIsLookedForAtWordPositionsFromTheStreamPosition) {
    EXPECT_EQ(Open("stub-aligned.zip").EntryCount(), 3);
    EXPECT_EQ(Open("stub-unaligned.zip").EntryCount(), 0);

    // Parsing starts at the stream's current position: skipping the 5-byte stub finds everything.
    std::istringstream in(FileBytes("stub-unaligned.zip"));
    in.seekg(5);
    TZipFile zip;
    zip.ReadArchive(in);
    ASSERT_EQ(zip.EntryCount(), 3);
    EXPECT_EQ(zip.EntryData(0), Readme());

    // No local header at all (empty input, a bare end record, a partial word): no entries.
    for (std::string bytes : {std::string(), std::string("PK\x03", 3), FileBytes("infozip-deflated.zip")}) {
        if (bytes.size() > 100) {
            bytes = bytes.substr(bytes.size() - 22); // the end record alone
        }
        zip.ReadArchive(bytes);
        EXPECT_EQ(zip.EntryCount(), 0);
        EXPECT_FALSE(zip.EndRecord().has_value());
    }
}

TEST(SciZipFile, BadIndexIsRefused) {
    TZipFile zip = Open("python-deflated.zip");
    for (int index : {-1, 2, 1000}) {
        EXPECT_EQ(ErrorOf([&] { zip.EntryName(index); }), "Index out of range.");
        EXPECT_EQ(ErrorOf([&] { zip.EntryData(index); }), "Index out of range.");
    }
    EXPECT_EQ(ErrorOf([] { TZipFile().EntryData(0); }), "Index out of range.");
}

TEST(SciZipFile, DamagedArchivesGiveClearErrors) {
    EXPECT_EQ(ErrorOf<EZipFileCRCError>([] { Open("damaged-crc.zip").EntryData(0); }),
              "CRC Error in \"readme.txt\".");
    // A flipped byte in the deflate data: fewer (or wrong) bytes come out, the CRC check fails.
    EXPECT_EQ(ErrorOf<EZipFileCRCError>([] { Open("damaged-stream.zip").EntryData(0); }),
              "CRC Error in \"readme.txt\".");

    EXPECT_EQ(ErrorOf([] { Open("damaged-compressed-size.zip"); }),
              "Damaged archive: the data of \"readme.txt\" runs past the end of the data.");
    EXPECT_EQ(ErrorOf([] { Open("damaged-truncated-data.zip"); }),
              "Damaged archive: the data of \"readme.txt\" runs past the end of the data.");
    EXPECT_EQ(ErrorOf([] { Open("damaged-name-length.zip"); }),
              "Damaged archive: the name of an entry runs past the end of the data.");

    // A declared size of gigabytes is refused before anything is allocated for it.
    TZipFile huge = Open("damaged-huge-size.zip");
    EXPECT_EQ(ErrorOf([&] { huge.EntryData(0); }), "The entry \"readme.txt\" is larger than 64 MiB.");

    // A size under the limit that the data cannot fill gives the empty result, hence a CRC error.
    std::string bytes = FileBytes("one-entry.zip");
    PutU32(bytes, 22, 60u * 1024 * 1024);
    TZipFile big;
    big.ReadArchive(bytes);
    EXPECT_THROW(big.EntryData(0), EZipFileCRCError);

    // A failed load leaves nothing of the previous archive behind.
    TZipFile zip = Open("python-deflated.zip");
    EXPECT_THROW(zip.OpenArchive(DataDir + "damaged-name-length.zip"), parlomar::Error);
    EXPECT_EQ(zip.EntryCount(), 0);
    EXPECT_TRUE(zip.CentralDirectory().empty());
}

TEST(SciZipFile, EveryTruncationGivesEntriesOrAnError) {
    const std::string whole = FileBytes("infozip-deflated.zip");
    const TZipFile full = Open("infozip-deflated.zip");
    int failures = 0;
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        SCOPED_TRACE(length);
        TZipFile zip;
        try {
            zip.ReadArchive(std::string_view(whole).substr(0, length));
        } catch (const parlomar::Error&) {
            ++failures;
            continue;
        }
        // Whatever was read is complete: same names and data as in the whole archive.
        ASSERT_LE(zip.EntryCount(), full.EntryCount());
        for (int i = 0; i < zip.EntryCount(); ++i) {
            EXPECT_EQ(zip.EntryName(i), full.EntryName(i));
            EXPECT_EQ(zip.EntryData(i), full.EntryData(i));
        }
    }
    EXPECT_GT(failures, 0);
}

TEST(SciZipFile, LimitsOnArchiveAndEntryCount) {
    // More local headers than an archive can hold (1-byte names, no data).
    std::string header("PK\x03\x04", 4);
    header.append(26, '\0');
    PutU16(header, 26, 1);
    header.push_back('x');
    std::string many;
    for (std::size_t i = 0; i <= TZipFile::MaxRecords; ++i) {
        many += header;
    }
    TZipFile zip;
    EXPECT_EQ(ErrorOf([&] { zip.ReadArchive(many); }), "Damaged archive: more than 65535 entries.");
    zip.ReadArchive(std::string_view(many).substr(0, header.size() * TZipFile::MaxRecords));
    EXPECT_EQ(zip.EntryCount(), 65535);

    // A file over 256 MiB (sparse, so it costs no disk) is refused before it is read.
    char folder[] = "/tmp/zipXXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string big = std::string(folder) + "/big.zip";
    { std::ofstream(big, std::ios::binary).put('P'); }
    std::filesystem::resize_file(big, TZipFile::MaxArchiveSize + 1);
    EXPECT_EQ(ErrorOf([&] { zip.OpenArchive(big); }), "The archive \"" + big + "\" is larger than 256 MiB.");
    EXPECT_EQ(ErrorOf([&] { zip.OpenArchive(std::string(folder) + "/none.zip"); }),
              "Cannot open file \"" + std::string(folder) + "/none.zip\".");
    std::filesystem::remove_all(folder);
}

namespace {

void AppendU16(std::string& b, unsigned v) {
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void AppendU32(std::string& b, std::uint32_t v) {
    AppendU16(b, v & 0xFFFF);
    AppendU16(b, v >> 16);
}

// A streamed package of stored one-byte entries whose sizes are in data descriptors only, with
// the central directory listing them last entry first; names are prefix + number.
std::string ReversedDescriptorPackage(std::size_t count, const std::string& prefix) {
    std::string archive;
    std::vector<std::string> central(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = prefix + std::to_string(i);
        const char byte = static_cast<char>('a' + i % 26);
        const auto crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(&byte), 1));
        std::string& record = central[i];
        AppendU32(record, 0x02014B50);
        AppendU16(record, 20);
        AppendU16(record, 20);
        AppendU16(record, 0x0008);
        for (int f = 0; f < 3; ++f)
            AppendU16(record, 0); // method, time, date
        AppendU32(record, crc);
        AppendU32(record, 1);
        AppendU32(record, 1);
        AppendU16(record, static_cast<unsigned>(name.size()));
        for (int f = 0; f < 4; ++f)
            AppendU16(record, 0); // extra, comment, disk, internal attributes
        AppendU32(record, 0);
        AppendU32(record, static_cast<std::uint32_t>(archive.size()));
        record += name;

        AppendU32(archive, 0x04034B50);
        AppendU16(archive, 20);
        AppendU16(archive, 0x0008);
        for (int f = 0; f < 3; ++f)
            AppendU16(archive, 0);
        for (int f = 0; f < 3; ++f)
            AppendU32(archive, 0); // no sizes here: they follow the data
        AppendU16(archive, static_cast<unsigned>(name.size()));
        AppendU16(archive, 0);
        archive += name;
        archive += byte;
        AppendU32(archive, 0x08074B50);
        AppendU32(archive, crc);
        AppendU32(archive, 1);
        AppendU32(archive, 1);
    }
    const std::size_t directoryStart = archive.size();
    for (std::size_t i = count; i-- > 0;)
        archive += central[i];
    AppendU32(archive, 0x06054B50);
    AppendU32(archive, 0);
    AppendU16(archive, static_cast<unsigned>(count));
    AppendU16(archive, static_cast<unsigned>(count));
    AppendU32(archive, static_cast<std::uint32_t>(archive.size() - 12 - directoryStart));
    AppendU32(archive, static_cast<std::uint32_t>(directoryStart));
    AppendU16(archive, 0);
    return archive;
}

} // namespace

TEST(SciZipFile, HostileStreamedPackageIsReadInOnePassAndItsWorkIsBounded) {
    // Every entry's sizes come from a directory in reverse order: each one still gets its own.
    const std::string hostile = ReversedDescriptorPackage(TZipFile::MaxRecords, "ParlomarClientMainForm-");
    TZipFile zip;
    zip.ReadArchive(hostile);
    ASSERT_EQ(zip.EntryCount(), 65535);
    for (int i : {0, 1, 25, 26, 40000, 65534}) {
        EXPECT_EQ(zip.EntryName(i), "ParlomarClientMainForm-" + std::to_string(i));
        EXPECT_EQ(zip.EntryData(i), std::string(1, static_cast<char>('a' + i % 26)));
    }

    // Names of 300 bytes each: the names alone exceed what a package may hold.
    const std::string longNames = ReversedDescriptorPackage(30000, std::string(300, 'n'));
    EXPECT_EQ(ErrorOf([&] { zip.ReadArchive(longNames); }),
              "Damaged archive: its names take more than 16 MiB.");
    EXPECT_EQ(zip.EntryCount(), 0);

    // Five stored entries that claim 60 MiB each.
    std::string claims;
    for (int i = 0; i < 5; ++i) {
        AppendU32(claims, 0x04034B50);
        AppendU16(claims, 20);
        for (int f = 0; f < 4; ++f)
            AppendU16(claims, 0);
        AppendU32(claims, 0);
        AppendU32(claims, 0);
        AppendU32(claims, 60u * 1024 * 1024);
        AppendU16(claims, 1);
        AppendU16(claims, 0);
        claims += static_cast<char>('a' + i);
    }
    EXPECT_EQ(ErrorOf([&] { zip.ReadArchive(claims); }),
              "Damaged archive: its entries inflate to more than 256 MiB.");
}
