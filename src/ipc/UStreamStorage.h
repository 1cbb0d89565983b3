// The payload of a pipe message: named values written back to back, and the
// name index that lets several reads of one reply parse each entry once.
//
// Byte layout of one entry (little-endian):
//   offset  width  field
//   0       4      name length in bytes, signed 32-bit, 2 x characters
//   4       n      name, UTF-16LE code units, no terminator
//   4+n     8      value size in bytes, signed 64-bit
//   12+n    size   value bytes
// Strings are UTF-16LE code units (size 2 x characters), integers signed
// 32-bit (size 4), booleans one byte 1/0 (size 1). No header, count, type
// code or trailer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Map from byte-string keys to stream positions with the behaviour of a
// chained hash table: a later entry for an existing key hides the earlier
// one. Keys compare exactly (case-sensitive).
class TStringHash {
public:
    // Precondition: bucketCount > 0.
    explicit TStringHash(std::size_t bucketCount);

    void Add(std::string key, std::int64_t value);
    // Value of the most recently added item with exactly this key, or -1.
    std::int64_t ValueOf(std::string_view key) const noexcept;

    // ELF hash of the System V object file format (PJW hash), 32-bit unsigned.
    static std::uint32_t Hash(std::string_view key) noexcept;

private:
    struct THashItem {
        std::string Key;
        std::int64_t Value;
    };
    // Each bucket holds its items oldest first, so the newest (the head of
    // the chain) is found first when scanning from the back.
    std::vector<std::vector<THashItem>> buckets_;
};

// Number of buckets of a payload's name index.
inline constexpr std::size_t kNameIndexBuckets = 50;

class TStreamStorage {
public:
    TStreamStorage() : index_(kNameIndexBuckets) {}

    // Names and string values are UTF-8 here and UTF-16LE in the stream.
    // Each write appends one entry at the end of the stream and moves
    // ScanMark there. A name already in the index raises EQuillmarkError
    // "Value with name "<name>" already exists" and leaves the stream as it
    // was. WriteString writes nothing when the name or the value is empty;
    // the other two write nothing when the name is empty.
    void WriteString(std::string_view name, std::string_view value);
    void WriteInteger(std::string_view name, std::int32_t value);
    void WriteBoolean(std::string_view name, bool value);

    // The string value of the entry with that name (exact UTF-16 match), or
    // "" when there is none. Scans from ScanMark, indexing every name it
    // passes; a malformed entry (a length running past the end, an odd or
    // negative name length, a negative value size) ends the scan there.
    std::string ReadString(std::string_view name);

    // Raw stream access for the pipe client. Positions run 0..Size().
    std::int64_t Size() const noexcept { return static_cast<std::int64_t>(stream_.size()); }
    std::int64_t Position() const noexcept { return static_cast<std::int64_t>(position_); }
    // Clamped to 0..Size().
    void SetPosition(std::int64_t position) noexcept;
    // Copies up to buffer.size() bytes from the position on and advances it;
    // returns the count (0 at the end).
    std::size_t Read(std::span<char> buffer) noexcept;
    // The next up to `maxBytes` bytes from the position on, without copying;
    // advances the position. Valid until the stream changes.
    std::string_view ReadView(std::size_t maxBytes) noexcept;
    // Appends bytes at the end of the stream; the position moves to the end.
    // Neither the index nor ScanMark change: appended entries are found by
    // scanning.
    void Append(std::string_view bytes);
    std::string_view Bytes() const noexcept { return stream_; }

    std::int64_t ScanMark() const noexcept { return scanMark_; }

private:
    void WriteEntry(std::string_view name, std::string_view valueBytes);
    // Positions the stream at the value bytes of the entry and returns its
    // size, or -1 when there is none.
    std::int64_t FindEntry(const std::string& wireName);
    // Reads a little-endian integer at the position; false at the end.
    template <typename T>
    bool ReadInt(T& out) noexcept;

    std::string stream_;
    std::size_t position_ = 0;
    std::int64_t scanMark_ = 0;
    TStringHash index_;  // UTF-16LE name bytes -> position of the size field
};

}  // namespace qm
