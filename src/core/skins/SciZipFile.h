#pragma once

#include "core/Error.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar {

// A stored entry whose inflated data does not match its CRC-32.
class EZipFileCRCError : public Error {
public:
    using Error::Error;
};

// One local file header with its name, extra field and compressed data. Sizes and CRC-32 are those
// of the local header, or of the entry's central directory record when the local header announces
// a data descriptor; the byte fields are copies out of the archive.
struct TZipLocalEntry {
    std::uint32_t Signature = 0;
    std::uint16_t VersionNeeded = 0;
    std::uint16_t Flags = 0;
    std::uint16_t CompressionMethod = 0;
    std::uint16_t ModTime = 0;
    std::uint16_t ModDate = 0;
    std::uint32_t Crc32 = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t UncompressedSize = 0;
    std::uint16_t NameLength = 0;
    std::uint16_t ExtraLength = 0;
    std::string Name;
    std::string Extra;
    std::string CompressedData;
};

// One central directory record. Entries written with a data descriptor take their sizes from it.
struct TZipCentralRecord {
    std::uint32_t Signature = 0;
    std::uint16_t VersionMadeBy = 0;
    std::uint16_t VersionNeeded = 0;
    std::uint16_t Flags = 0;
    std::uint16_t CompressionMethod = 0;
    std::uint16_t ModTime = 0;
    std::uint16_t ModDate = 0;
    std::uint32_t Crc32 = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t UncompressedSize = 0;
    std::uint16_t NameLength = 0;
    std::uint16_t ExtraLength = 0;
    std::uint16_t CommentLength = 0;
    std::uint16_t DiskNumberStart = 0;
    std::uint16_t InternalAttributes = 0;
    std::uint32_t ExternalAttributes = 0;
    std::uint32_t LocalHeaderOffset = 0;
    std::string Name;
    std::string Extra;
    std::string Comment;
};

// The end-of-central-directory record with the archive comment.
struct TZipEndRecord {
    std::uint32_t Signature = 0;
    std::uint16_t DiskNumber = 0;
    std::uint16_t CentralDirectoryDisk = 0;
    std::uint16_t EntriesOnDisk = 0;
    std::uint16_t TotalEntries = 0;
    std::uint32_t CentralDirectorySize = 0;
    std::uint32_t CentralDirectoryOffset = 0;
    std::uint16_t CommentLength = 0;
    std::string Comment;
};

// The small ZIP reader of skin packages. The archive is walked front to back (local headers, then
// the central directory, then the end record) and kept whole in memory. Entries are stored (method
// 0) or deflated (method 8); an entry whose sizes follow its data in a data descriptor, as writers
// to a pipe make them, takes its sizes from the central directory. Every declared length is checked
// against the input: a damaged archive fails with a parlomar::Error, never reads past the input and
// never allocates from an unchecked size. Entries with data descriptors find their central record
// through an index by name built once per archive, so the walk stays linear in the archive's size.
class TZipFile {
public:
    static constexpr std::uint64_t MaxArchiveSize = 256ull * 1024 * 1024;
    static constexpr std::uint32_t MaxEntrySize = 64u * 1024 * 1024;
    static constexpr std::size_t MaxRecords = 65535; // per kind: local entries, central records
    // The work one archive may ask for: the bytes of all its names (local and central), and the
    // bytes all its entries inflate to. Past either the archive is damaged.
    static constexpr std::size_t MaxNameBytes = 16u * 1024 * 1024;
    static constexpr std::uint64_t MaxInflatedBytes = 256ull * 1024 * 1024;

    // Loads the file at path. Fails with "Cannot open file "<path>"." when it cannot be opened.
    void OpenArchive(const std::filesystem::path& path);
    // Parses the archive from the stream's current position to its end. Replaces what was loaded.
    void ReadArchive(std::istream& stream);
    // The same over bytes already in memory.
    void ReadArchive(std::string_view bytes);

    int EntryCount() const { return static_cast<int>(Entries_.size()); }
    // The entry's name from its local header; "Index out of range." for a bad index.
    const std::string& EntryName(int index) const;
    // The entry's data, inflated when deflated, checked against its CRC-32 (EZipFileCRCError on
    // mismatch). Other compression methods and stored entries whose two sizes differ fail.
    std::string EntryData(int index) const;

    const std::vector<TZipLocalEntry>& Entries() const { return Entries_; }
    const std::vector<TZipCentralRecord>& CentralDirectory() const { return CentralDirectory_; }
    const std::optional<TZipEndRecord>& EndRecord() const { return EndRecord_; }

private:
    const TZipLocalEntry& Entry(int index) const;

    std::vector<TZipLocalEntry> Entries_;
    std::vector<TZipCentralRecord> CentralDirectory_;
    std::optional<TZipEndRecord> EndRecord_;
};

} // namespace parlomar
