#include "core/skins/SciZipFile.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <istream>
#include <system_error>
#include <unordered_map>

namespace parlomar {

namespace {

constexpr std::uint32_t LocalHeaderSignature = 0x04034B50;
constexpr std::uint32_t CentralRecordSignature = 0x02014B50;
constexpr std::uint32_t EndRecordSignature = 0x06054B50;
constexpr std::uint32_t DataDescriptorSignature = 0x08074B50;
constexpr std::uint16_t DataDescriptorFlag = 0x0008;
constexpr std::uint16_t MethodStored = 0;
constexpr std::uint16_t MethodDeflated = 8;

constexpr std::size_t LocalHeaderFields = 26;   // after the signature
constexpr std::size_t CentralRecordFields = 42; // after the signature
constexpr std::size_t EndRecordFields = 18;     // after the signature

[[noreturn]] void Damaged(const std::string& what) {
    throw Error("Damaged archive: " + what + " runs past the end of the data.");
}

// Little-endian reads over the archive bytes. Every read is checked by the caller with Has()
// first, so nothing here can run past the end.
class Cursor {
public:
    explicit Cursor(std::string_view data, std::size_t pos = 0) : Data_(data), Pos_(pos) {}

    bool Has(std::size_t count) const { return count <= Data_.size() - Pos_; }

    std::uint16_t U16() {
        const auto* p = reinterpret_cast<const unsigned char*>(Data_.data() + Pos_);
        Pos_ += 2;
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }

    // The next 32-bit word without moving on (Has(4) checked by the caller).
    std::uint32_t PeekU32() const {
        Cursor copy = *this;
        return copy.U32();
    }

    std::uint32_t U32() {
        const auto* p = reinterpret_cast<const unsigned char*>(Data_.data() + Pos_);
        Pos_ += 4;
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }

    // count bytes, or a "damaged archive" error naming what was being read.
    std::string Bytes(std::size_t count, const std::string& what) {
        if (!Has(count)) {
            Damaged(what);
        }
        std::string result(Data_.substr(Pos_, count));
        Pos_ += count;
        return result;
    }

    void Require(std::size_t count, const std::string& what) const {
        if (!Has(count)) {
            Damaged(what);
        }
    }

    // The same for a part of the named entry; the message is made only when it is needed.
    std::string Bytes(std::size_t count, const char* part, const std::string& name) {
        Require(count, part, name);
        return Bytes(count, std::string());
    }
    void Require(std::size_t count, const char* part, const std::string& name) const {
        if (!Has(count)) {
            Damaged(std::string(part) + " \"" + name + "\"");
        }
    }

    // The next signature word. Running out of input (fewer than 4 bytes left) ends the walk.
    std::optional<std::uint32_t> NextWord() {
        if (!Has(4)) {
            return std::nullopt;
        }
        return U32();
    }

private:
    std::string_view Data_;
    std::size_t Pos_ = 0;
};

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

void CheckCount(std::size_t count) {
    if (count > TZipFile::MaxRecords) {
        throw Error("Damaged archive: more than " + std::to_string(TZipFile::MaxRecords) + " entries.");
    }
}

// What one archive may ask of the reader in all: the bytes of its names and the bytes its entries
// inflate to (those within the entry limit: a larger one is refused when it is read). A package past either
// bound is reported as damaged before any entry is inflated.
class TWorkBudget {
public:
    void AddName(std::size_t bytes) {
        names_ += bytes;
        if (names_ > TZipFile::MaxNameBytes) {
            throw Error("Damaged archive: its names take more than " +
                        std::to_string(TZipFile::MaxNameBytes / (1024 * 1024)) + " MiB.");
        }
    }
    void AddInflated(std::uint64_t bytes) {
        inflated_ += bytes;
        if (inflated_ > TZipFile::MaxInflatedBytes) {
            throw Error("Damaged archive: its entries inflate to more than " +
                        std::to_string(TZipFile::MaxInflatedBytes / (1024 * 1024)) + " MiB.");
        }
    }

private:
    std::size_t names_ = 0;
    std::uint64_t inflated_ = 0;
};

// The central directory records by name, built once per archive: the records of one name in
// directory order and how many of them local entries have taken already.
class TDirectoryIndex {
public:
    explicit TDirectoryIndex(const std::vector<TZipCentralRecord>& records) : records_(records) {
        byName_.reserve(records.size());
        for (std::size_t i = 0; i < records.size(); ++i) {
            byName_[records[i].Name].positions.push_back(i);
        }
    }

    // The first record of that name not taken yet, now taken; null when there is none.
    const TZipCentralRecord* Take(const std::string& name) {
        const auto found = byName_.find(name);
        if (found == byName_.end() || found->second.next == found->second.positions.size()) {
            return nullptr;
        }
        return &records_[found->second.positions[found->second.next++]];
    }

private:
    struct Slot {
        std::vector<std::size_t> positions;
        std::size_t next = 0;
    };
    const std::vector<TZipCentralRecord>& records_;
    std::unordered_map<std::string, Slot> byName_;
};

// Inflates raw deflate data (equivalent to a zlib stream with the header 0x78 0x9C put in front),
// asking for exactly `size` bytes. Returns the empty data when fewer bytes come out, also when the
// deflate stream is damaged. The output grows with what actually comes out, so a declared size
// that the data cannot fill is never allocated in full.
std::string Inflate(const TZipLocalEntry& entry) {
    const std::size_t size = entry.UncompressedSize;
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) {
        throw Error("Unable to inflate " + Quoted(entry.Name) + ".");
    }
    struct End {
        z_stream* s;
        ~End() { inflateEnd(s); }
    } end{&zs};

    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(entry.CompressedData.data()));
    zs.avail_in = static_cast<uInt>(entry.CompressedData.size());

    std::string out;
    out.resize(std::min<std::size_t>(size, std::max<std::size_t>(64 * 1024, zs.avail_in * 4ull)));
    std::size_t produced = 0;
    for (;;) {
        zs.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        zs.avail_out = static_cast<uInt>(out.size() - produced);
        const int rc = inflate(&zs, Z_NO_FLUSH);
        produced = out.size() - zs.avail_out;
        if (rc == Z_STREAM_END || rc == Z_DATA_ERROR) {
            break;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            throw Error("Unable to inflate " + Quoted(entry.Name) + ".");
        }
        if (zs.avail_out != 0 || out.size() == size) {
            break; // input used up, or exactly the asked-for size came out
        }
        out.resize(std::min(size, out.size() * 2));
    }
    if (produced != size) {
        return {};
    }
    return out;
}

// One central directory record after its signature word.
TZipCentralRecord ReadCentralRecord(Cursor& in, std::uint32_t signature) {
    in.Require(CentralRecordFields, "a central directory record");
    TZipCentralRecord r;
    r.Signature = signature;
    r.VersionMadeBy = in.U16();
    r.VersionNeeded = in.U16();
    r.Flags = in.U16();
    r.CompressionMethod = in.U16();
    r.ModTime = in.U16();
    r.ModDate = in.U16();
    r.Crc32 = in.U32();
    r.CompressedSize = in.U32();
    r.UncompressedSize = in.U32();
    r.NameLength = in.U16();
    r.ExtraLength = in.U16();
    r.CommentLength = in.U16();
    r.DiskNumberStart = in.U16();
    r.InternalAttributes = in.U16();
    r.ExternalAttributes = in.U32();
    r.LocalHeaderOffset = in.U32();
    r.Name = in.Bytes(r.NameLength, "the name of a central directory record");
    r.Extra = in.Bytes(r.ExtraLength, "a central directory extra field");
    r.Comment = in.Bytes(r.CommentLength, "a central directory comment");
    return r;
}

// The central directory as the end record places it: the records directly before the end record,
// found by searching back from the end of the data (the archive comment is at most 65535 bytes).
// Entries whose sizes follow their data take them from here. Empty when there is no end record.
std::vector<TZipCentralRecord> CentralDirectoryFromEnd(std::string_view bytes) {
    constexpr std::size_t EndRecordSize = 4 + EndRecordFields;
    if (bytes.size() < EndRecordSize) {
        return {};
    }
    const std::size_t lowest =
        bytes.size() > EndRecordSize + 65535 ? bytes.size() - EndRecordSize - 65535 : 0;
    for (std::size_t at = bytes.size() - EndRecordSize + 1; at-- > lowest;) {
        Cursor end(bytes, at);
        if (end.U32() != EndRecordSignature) {
            continue;
        }
        end.U16(); // disk number
        end.U16(); // disk with the central directory
        end.U16(); // entries on this disk
        const std::uint16_t total = end.U16();
        const std::uint32_t size = end.U32();
        if (size > at) {
            continue; // not an end record after all: its directory would start before the data
        }
        Cursor in(bytes, at - size);
        std::vector<TZipCentralRecord> records;
        for (std::uint16_t i = 0; i < total; ++i) {
            in.Require(4, "a central directory record");
            const std::uint32_t word = in.U32();
            if (word != CentralRecordSignature) {
                break;
            }
            records.push_back(ReadCentralRecord(in, word));
        }
        return records;
    }
    return {};
}

// Whether an extra field holds a Zip64 block (header id 1): the data descriptor then carries
// 8-byte sizes.
bool HasZip64Extra(std::string_view extra) {
    Cursor in(extra);
    while (in.Has(4)) {
        const std::uint16_t id = in.U16();
        const std::uint16_t size = in.U16();
        if (id == 1) {
            return true;
        }
        if (!in.Has(size)) {
            return false;
        }
        in.Bytes(size, "an extra field");
    }
    return false;
}

} // namespace

void TZipFile::OpenArchive(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        throw Error("Cannot open file " + Quoted(path.string()) + ".");
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > MaxArchiveSize) {
        throw Error("The archive " + Quoted(path.string()) + " is larger than 256 MiB.");
    }
    ReadArchive(file);
}

void TZipFile::ReadArchive(std::istream& stream) {
    std::string bytes;
    char chunk[64 * 1024];
    while (stream) {
        stream.read(chunk, sizeof chunk);
        const auto got = static_cast<std::size_t>(stream.gcount());
        if (bytes.size() + got > MaxArchiveSize) {
            Entries_.clear();
            CentralDirectory_.clear();
            EndRecord_.reset();
            throw Error("The archive is larger than 256 MiB.");
        }
        bytes.append(chunk, got);
    }
    if (stream.bad()) {
        Entries_.clear();
        CentralDirectory_.clear();
        EndRecord_.reset();
        throw Error("Cannot read the archive.");
    }
    ReadArchive(std::string_view(bytes));
}

void TZipFile::ReadArchive(std::string_view bytes) {
    Entries_.clear();
    CentralDirectory_.clear();
    EndRecord_.reset();
    if (bytes.size() > MaxArchiveSize) {
        throw Error("The archive is larger than 256 MiB.");
    }

    std::vector<TZipLocalEntry> entries;
    std::vector<TZipCentralRecord> central;
    std::optional<TZipEndRecord> endRecord;
    Cursor in(bytes);

    // The first local header is looked for at word positions only (multiples of 4 from the
    // start); without one the archive has no entries.
    std::optional<std::uint32_t> word;
    while ((word = in.NextWord()) && *word != LocalHeaderSignature) {
    }
    if (!word) {
        return;
    }

    // Local headers follow each other directly. An entry flagged with a data descriptor (general
    // flag bit 3) has no usable sizes in its local header: they come from its central directory
    // record (the first unused one of the same name), and the descriptor after its data is skipped.
    std::optional<std::vector<TZipCentralRecord>> directory;
    std::optional<TDirectoryIndex> index;
    TWorkBudget budget;
    while (word && *word == LocalHeaderSignature) {
        CheckCount(entries.size() + 1);
        in.Require(LocalHeaderFields, "a local header");
        TZipLocalEntry e;
        e.Signature = *word;
        e.VersionNeeded = in.U16();
        e.Flags = in.U16();
        e.CompressionMethod = in.U16();
        e.ModTime = in.U16();
        e.ModDate = in.U16();
        e.Crc32 = in.U32();
        e.CompressedSize = in.U32();
        e.UncompressedSize = in.U32();
        e.NameLength = in.U16();
        e.ExtraLength = in.U16();
        budget.AddName(e.NameLength);
        e.Name = in.Bytes(e.NameLength, "the name of an entry");
        e.Extra = in.Bytes(e.ExtraLength, "the extra field of", e.Name);
        const bool descriptor = (e.Flags & DataDescriptorFlag) != 0;
        if (descriptor) {
            if (!directory) {
                directory = CentralDirectoryFromEnd(bytes);
                index.emplace(*directory);
            }
            const TZipCentralRecord* r = index->Take(e.Name);
            if (!r) {
                throw Error("Damaged archive: the sizes of " + Quoted(e.Name) + " are missing.");
            }
            e.Crc32 = r->Crc32;
            e.CompressedSize = r->CompressedSize;
            e.UncompressedSize = r->UncompressedSize;
        }
        if (e.UncompressedSize <= MaxEntrySize) {
            budget.AddInflated(e.UncompressedSize); // larger ones are never inflated at all
        }
        e.CompressedData = in.Bytes(e.CompressedSize, "the data of", e.Name);
        if (descriptor) {
            // An optional signature, the CRC-32 and both sizes (8 bytes each after a Zip64 header).
            const char* what = "the data descriptor of";
            in.Require(4, what, e.Name);
            if (in.PeekU32() == DataDescriptorSignature) {
                in.U32();
            }
            const std::size_t rest = 4 + (HasZip64Extra(e.Extra) ? 16 : 8);
            in.Require(rest, what, e.Name);
            in.Bytes(rest, what, e.Name);
        }
        entries.push_back(std::move(e));
        word = in.NextWord();
    }

    while (word && *word == CentralRecordSignature) {
        CheckCount(central.size() + 1);
        central.push_back(ReadCentralRecord(in, *word));
        budget.AddName(central.back().NameLength);
        word = in.NextWord();
    }

    if (word && *word == EndRecordSignature) {
        in.Require(EndRecordFields, "the end record");
        TZipEndRecord r;
        r.Signature = *word;
        r.DiskNumber = in.U16();
        r.CentralDirectoryDisk = in.U16();
        r.EntriesOnDisk = in.U16();
        r.TotalEntries = in.U16();
        r.CentralDirectorySize = in.U32();
        r.CentralDirectoryOffset = in.U32();
        r.CommentLength = in.U16();
        r.Comment = in.Bytes(r.CommentLength, "the archive comment");
        endRecord = std::move(r);
    }

    Entries_ = std::move(entries);
    CentralDirectory_ = std::move(central);
    EndRecord_ = std::move(endRecord);
}

const TZipLocalEntry& TZipFile::Entry(int index) const {
    if (index < 0 || index >= EntryCount()) {
        throw Error("Index out of range.");
    }
    return Entries_[static_cast<std::size_t>(index)];
}

const std::string& TZipFile::EntryName(int index) const {
    return Entry(index).Name;
}

std::string TZipFile::EntryData(int index) const {
    const TZipLocalEntry& entry = Entry(index);
    if (entry.UncompressedSize == 0) {
        return {};
    }
    if (entry.UncompressedSize > MaxEntrySize || entry.CompressedSize > MaxEntrySize) {
        throw Error("The entry " + Quoted(entry.Name) + " is larger than 64 MiB.");
    }
    std::string data;
    if (entry.CompressionMethod == MethodStored) {
        if (entry.CompressedSize != entry.UncompressedSize) {
            throw Error("Damaged archive: the sizes of " + Quoted(entry.Name) + " do not match.");
        }
        data = entry.CompressedData;
    } else if (entry.CompressionMethod == MethodDeflated) {
        data = Inflate(entry);
    } else {
        throw Error("The entry " + Quoted(entry.Name) + " is compressed with a method that cannot be read.");
    }
    const auto crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()),
                           static_cast<uInt>(data.size()));
    if (crc != entry.Crc32) {
        throw EZipFileCRCError("CRC Error in " + Quoted(entry.Name) + ".");
    }
    return data;
}

} // namespace parlomar
