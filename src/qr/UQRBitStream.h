// Front end of the QR encoder: mode choice, version choice and the data
// codeword sequence of one segment (ISO/IEC 18004 clauses 7.3, 7.4).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "UQRTables.h"

namespace qm {

// Growable list of bits, the encoder's bit stream. Bits are kept packed,
// most significant bit of each byte first, so the finished stream is
// already its codeword sequence. Capacity starts at 50 items and grows by
// 50 whenever Add finds it full; SetCapacity sizes it once up front.
class TListBool {
public:
    TListBool();

    // Appends one bit; returns the index of the new item.
    int Add(bool bit);
    // Appends the low `count` bits of `value`, most significant first.
    // Precondition: 0 <= count <= 24.
    void AppendBits(std::uint32_t value, int count);
    int Count() const noexcept { return FCount; }
    int Capacity() const noexcept { return FCapacity; }
    // Sets the allocated length in items; never below Count().
    void SetCapacity(int capacity);
    // Precondition: 0 <= index < Count().
    bool Items(int index) const noexcept {
        return (FBytes[static_cast<std::size_t>(index >> 3)] >> (7 - (index & 7))) & 1;
    }
    // The bits packed eight to a byte, the first bit as the most significant;
    // a partly filled last byte has zeros in its unused low bits.
    std::span<const std::uint8_t> Bytes() const noexcept {
        return {FBytes.data(), static_cast<std::size_t>((FCount + 7) / 8)};
    }

private:
    void Grow(int needed);
    std::vector<std::uint8_t> FBytes;
    int FCount = 0;
    int FCapacity = 0;
};

// Growable list of bytes with the same growth rule (start 50, grow by 50).
class TListByte {
public:
    TListByte();
    int Add(std::uint8_t value) {
        if (FCount == Capacity()) Grow();
        FItems[static_cast<std::size_t>(FCount)] = value;
        return FCount++;
    }
    int Count() const noexcept { return FCount; }
    int Capacity() const noexcept { return static_cast<int>(FItems.size()); }
    // Sets the allocated length; never below Count().
    void SetCapacity(int capacity);
    // Precondition: 0 <= index < Count().
    std::uint8_t Items(int index) const noexcept { return FItems[static_cast<std::size_t>(index)]; }
    std::span<const std::uint8_t> View() const noexcept {
        return {FItems.data(), static_cast<std::size_t>(FCount)};
    }

private:
    void Grow();
    std::vector<std::uint8_t> FItems;
    int FCount = 0;
};

// The single mode for the whole text: numeric when every byte is a digit,
// else alphanumeric when every byte is in the alphanumeric set, else byte.
// An empty text is numeric.
TQRMode ChooseMode(std::string_view bytes) noexcept;

// Number of characters a version holds at a level in a mode, from the
// data bit count less the mode indicator and the character count indicator.
// Preconditions: level 0..3, version 1..40.
int QRCapacity(int level, int version, TQRMode mode) noexcept;

// Smallest version 1..40 whose capacity holds `length` characters, or 0
// when none does. Precondition: level 0..3.
int ChooseVersion(int level, TQRMode mode, std::size_t length) noexcept;

// The DataCodewords(level, version) data codewords of `bytes` in `mode`:
// mode indicator, character count, data, terminator, fill bits and the
// pad codewords 0xEC, 0x11. Preconditions: level 0..3, the version holds
// the text in that mode (ChooseVersion), `mode` fits the text (ChooseMode).
std::vector<std::uint8_t> BuildDataCodewords(std::string_view bytes, TQRMode mode, int level, int version);

}  // namespace qm
