#include "UQRBitStream.h"

#include <algorithm>

namespace qm {

namespace {
constexpr int kListDelta = 50;  // initial capacity and growth step of both lists
}

TListBool::TListBool() { SetCapacity(kListDelta); }

void TListBool::SetCapacity(int capacity) {
    FCapacity = std::max(capacity, FCount);
    // Three spare bytes let AppendBits write a whole 32-bit window.
    FBytes.resize(static_cast<std::size_t>((FCapacity + 7) / 8 + 3), 0);
}

void TListBool::Grow(int needed) {
    int capacity = FCapacity;
    while (capacity < needed) capacity += kListDelta;
    SetCapacity(capacity);
}

int TListBool::Add(bool bit) {
    if (FCount == FCapacity) Grow(FCount + 1);
    if (bit) FBytes[static_cast<std::size_t>(FCount >> 3)] |= static_cast<std::uint8_t>(0x80 >> (FCount & 7));
    return FCount++;
}

void TListBool::AppendBits(std::uint32_t value, int count) {
    if (count <= 0) return;
    if (FCount + count > FCapacity) Grow(FCount + count);
    // The count bits land in at most four bytes from the current one: place
    // them in a 32-bit window aligned to that byte, most significant first.
    const int offset = FCount & 7;
    const std::uint32_t window = (value & ((std::uint32_t{1} << count) - 1)) << (32 - offset - count);
    std::uint8_t* out = FBytes.data() + (FCount >> 3);
    for (int i = 0; i < 4 && 8 * i < offset + count; ++i) out[i] |= static_cast<std::uint8_t>(window >> (24 - 8 * i));
    FCount += count;
}

TListByte::TListByte() { SetCapacity(kListDelta); }

void TListByte::SetCapacity(int capacity) {
    FItems.resize(static_cast<std::size_t>(std::max(capacity, FCount)));
}

void TListByte::Grow() { SetCapacity(FCount + kListDelta); }

TQRMode ChooseMode(std::string_view bytes) noexcept {
    bool numeric = true;
    for (const char c : bytes) {
        if (c < '0' || c > '9') {
            numeric = false;
            if (AlphanumericValue(static_cast<std::uint8_t>(c)) < 0) return TQRMode::qmByte;
        }
    }
    return numeric ? TQRMode::qmNumeric : TQRMode::qmAlphanumeric;
}

int QRCapacity(int level, int version, TQRMode mode) noexcept {
    // Data bits less the 4-bit mode indicator and the character count; the
    // rest divided by the bits per character (10 per 3 digits, 11 per 2
    // alphanumerics, 8 per byte), truncating.
    const int remaining = 8 * DataCodewords(level, version) - 4 - CharCountBits(mode, version);
    switch (mode) {
        case TQRMode::qmNumeric: return remaining * 3 / 10;
        case TQRMode::qmAlphanumeric: return remaining * 2 / 11;
        case TQRMode::qmByte: break;
    }
    return remaining / 8;
}

int ChooseVersion(int level, TQRMode mode, std::size_t length) noexcept {
    for (int version = kQRMinVersion; version <= kQRMaxVersion; ++version)
        if (static_cast<std::size_t>(QRCapacity(level, version, mode)) >= length) return version;
    return 0;
}

namespace {

void AppendNumeric(TListBool& bits, std::string_view digits) {
    // Groups of three digits in 10 bits, a last group of two in 7, of one in 4.
    std::size_t i = 0;
    for (; i + 3 <= digits.size(); i += 3)
        bits.AppendBits(static_cast<std::uint32_t>((digits[i] - '0') * 100 + (digits[i + 1] - '0') * 10 +
                                                   (digits[i + 2] - '0')),
                        10);
    if (digits.size() - i == 2)
        bits.AppendBits(static_cast<std::uint32_t>((digits[i] - '0') * 10 + (digits[i + 1] - '0')), 7);
    else if (digits.size() - i == 1)
        bits.AppendBits(static_cast<std::uint32_t>(digits[i] - '0'), 4);
}

void AppendAlphanumeric(TListBool& bits, std::string_view text) {
    // Pairs as 45 x first + second in 11 bits, a last single character in 6.
    auto value = [](char c) { return static_cast<std::uint32_t>(AlphanumericValue(static_cast<std::uint8_t>(c))); };
    std::size_t i = 0;
    for (; i + 2 <= text.size(); i += 2) bits.AppendBits(45 * value(text[i]) + value(text[i + 1]), 11);
    if (i < text.size()) bits.AppendBits(value(text[i]), 6);
}

}  // namespace

std::vector<std::uint8_t> BuildDataCodewords(std::string_view bytes, TQRMode mode, int level, int version) {
    const int dataCodewords = DataCodewords(level, version);
    const int capacityBits = 8 * dataCodewords;
    TListBool bits;
    bits.SetCapacity(capacityBits);
    bits.AppendBits(static_cast<std::uint32_t>(mode), 4);
    bits.AppendBits(static_cast<std::uint32_t>(bytes.size()), CharCountBits(mode, version));
    switch (mode) {
        case TQRMode::qmNumeric: AppendNumeric(bits, bytes); break;
        case TQRMode::qmAlphanumeric: AppendAlphanumeric(bits, bytes); break;
        case TQRMode::qmByte:
            for (const char c : bytes) bits.AppendBits(static_cast<std::uint8_t>(c), 8);
            break;
    }
    // Terminator only when it fits whole; fewer free bits are left to the
    // fill bits (ISO/IEC 18004 clause 7.4.9).
    if (bits.Count() + 4 <= capacityBits) bits.AppendBits(0, 4);
    if (const int partial = bits.Count() % 8; partial != 0) bits.AppendBits(0, 8 - partial);

    std::vector<std::uint8_t> codewords(bits.Bytes().begin(), bits.Bytes().end());
    codewords.reserve(static_cast<std::size_t>(dataCodewords));
    for (std::uint8_t pad = 0xEC; codewords.size() < static_cast<std::size_t>(dataCodewords); pad ^= 0xEC ^ 0x11)
        codewords.push_back(pad);
    return codewords;
}

}  // namespace qm
