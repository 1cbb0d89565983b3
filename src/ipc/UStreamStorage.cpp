#include "UStreamStorage.h"

#include <algorithm>
#include <cstring>

#include "UByteOrder.h"
#include "UErrors.h"
#include "UTextEncoding.h"

namespace qm {

TStringHash::TStringHash(std::size_t bucketCount) : buckets_(bucketCount) {}

std::uint32_t TStringHash::Hash(std::string_view key) noexcept {
    std::uint32_t h = 0;
    for (const char c : key) {
        h = (h << 4) + static_cast<unsigned char>(c);
        const std::uint32_t high = h & 0xF0000000u;
        if (high != 0) {
            h ^= high >> 24;
            h &= ~high;
        }
    }
    return h;
}

void TStringHash::Add(std::string key, std::int64_t value) {
    auto& bucket = buckets_[Hash(key) % buckets_.size()];
    bucket.push_back({std::move(key), value});
}

std::int64_t TStringHash::ValueOf(std::string_view key) const noexcept {
    const auto& bucket = buckets_[Hash(key) % buckets_.size()];
    for (auto it = bucket.rbegin(); it != bucket.rend(); ++it) {
        if (it->Key == key) return it->Value;
    }
    return -1;
}

void TStreamStorage::WriteString(std::string_view name, std::string_view value) {
    if (name.empty() || value.empty()) return;
    WriteEntry(name, Utf8ToUtf16LEBytes(value));
}

void TStreamStorage::WriteInteger(std::string_view name, std::int32_t value) {
    if (name.empty()) return;
    std::string bytes;
    AppendLE(bytes, value);
    WriteEntry(name, bytes);
}

void TStreamStorage::WriteBoolean(std::string_view name, bool value) {
    if (name.empty()) return;
    WriteEntry(name, std::string(1, value ? '\x01' : '\x00'));
}

void TStreamStorage::WriteEntry(std::string_view name, std::string_view valueBytes) {
    std::string wireName = Utf8ToUtf16LEBytes(name);
    if (index_.ValueOf(wireName) >= 0) {
        throw EQuillmarkError("Value with name \"" + std::string(name) + "\" already exists");
    }
    std::string entry;
    entry.reserve(12 + wireName.size() + valueBytes.size());
    AppendLE(entry, static_cast<std::int32_t>(wireName.size()));
    entry += wireName;
    const std::int64_t sizeFieldAt = Size() + static_cast<std::int64_t>(entry.size());
    AppendLE(entry, static_cast<std::int64_t>(valueBytes.size()));
    entry += valueBytes;
    const std::size_t oldSize = stream_.size();
    Append(entry);
    try {
        index_.Add(std::move(wireName), sizeFieldAt);
    } catch (...) {
        stream_.resize(oldSize);  // a failed write leaves the payload as it was
        position_ = oldSize;
        throw;
    }
    scanMark_ = Size();
}

std::string TStreamStorage::ReadString(std::string_view name) {
    std::string result;
    const std::int64_t size = FindEntry(Utf8ToUtf16LEBytes(name));
    if (size > 0) {
        const std::size_t take = static_cast<std::size_t>(size) & ~std::size_t{1};
        result = Utf16LEBytesToUtf8(std::string_view(stream_).substr(position_, take));
        position_ += take;
    }
    scanMark_ = std::max(scanMark_, Position());
    return result;
}

template <typename T>
bool TStreamStorage::ReadInt(T& out) noexcept {
    if (stream_.size() - position_ < sizeof(T)) return false;
    out = LoadLE<T>(std::string_view(stream_).substr(position_, sizeof(T)));
    position_ += sizeof(T);
    return true;
}

std::int64_t TStreamStorage::FindEntry(const std::string& wireName) {
    // The value size of an entry is valid when it fits in what follows it.
    auto readSize = [this]() -> std::int64_t {
        std::int64_t size = -1;
        if (!ReadInt(size)) return -1;
        if (size < 0 || static_cast<std::uint64_t>(size) > stream_.size() - position_) return -1;
        return size;
    };

    const std::int64_t indexed = index_.ValueOf(wireName);
    if (indexed >= 0) {
        SetPosition(indexed);
        return readSize();
    }

    SetPosition(scanMark_);
    while (position_ < stream_.size()) {
        const std::size_t entryStart = position_;
        std::int32_t nameLength = -1;
        if (!ReadInt(nameLength) || nameLength < 0 || nameLength % 2 != 0 ||
            static_cast<std::size_t>(nameLength) > stream_.size() - position_) {
            position_ = entryStart;
            return -1;
        }
        std::string entryName = stream_.substr(position_, static_cast<std::size_t>(nameLength));
        position_ += static_cast<std::size_t>(nameLength);
        const std::size_t sizeFieldAt = position_;
        const std::int64_t size = readSize();
        if (size < 0) {
            // Malformed: stop before this entry so that no later scan walks
            // into it out of step.
            position_ = entryStart;
            return -1;
        }
        const bool match = entryName == wireName;
        index_.Add(std::move(entryName), static_cast<std::int64_t>(sizeFieldAt));
        if (match) return size;
        position_ += static_cast<std::size_t>(size);
    }
    return -1;
}

void TStreamStorage::SetPosition(std::int64_t position) noexcept {
    position_ = static_cast<std::size_t>(std::clamp<std::int64_t>(position, 0, Size()));
}

std::size_t TStreamStorage::Read(std::span<char> buffer) noexcept {
    const std::size_t n = std::min(buffer.size(), stream_.size() - position_);
    std::memcpy(buffer.data(), stream_.data() + position_, n);
    position_ += n;
    return n;
}

std::string_view TStreamStorage::ReadView(std::size_t maxBytes) noexcept {
    const std::string_view view = std::string_view(stream_).substr(position_, maxBytes);
    position_ += view.size();
    return view;
}

void TStreamStorage::Append(std::string_view bytes) {
    stream_.append(bytes);
    position_ = stream_.size();
}

}  // namespace qm
