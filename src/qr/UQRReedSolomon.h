// Reed-Solomon error correction over GF(256) and block interleaving
// (ISO/IEC 18004 clause 7.5 and annex A).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "UQRBitStream.h"

namespace qm {

// GF(256) with the primitive polynomial x^8 + x^4 + x^3 + x^2 + 1 (0x11D)
// and primitive element 2. GFExp(i) = 2^i for i 0..254; GFLog(v) for v
// 1..255 (GFLog(0) is 0 and meaningless).
std::uint8_t GFExp(int exponent) noexcept;
std::uint8_t GFLog(std::uint8_t value) noexcept;
std::uint8_t GFMultiply(std::uint8_t a, std::uint8_t b) noexcept;

// The 13 numbers of error correction codewords per block that the symbol
// versions use (ISO/IEC 18004 table 9).
inline constexpr std::array<int, 13> kQRECDegrees{7, 10, 13, 15, 16, 17, 18, 20, 22, 24, 26, 28, 30};

// Generator polynomial (x - 2^0)(x - 2^1)...(x - 2^(degree-1)) as the
// logarithms of its degree + 1 coefficients from x^degree down to x^0
// (ISO/IEC 18004 annex A). Raises EQuillmarkError("Ungültiges
// Stream-Format") for a degree outside kQRECDegrees.
std::span<const std::uint8_t> GeneratorExponents(int degree);

// The `degree` error correction codewords of one data block: the remainder
// of data(x) * x^degree divided by the generator polynomial. Raises
// EQuillmarkError("Ungültiges Stream-Format") for a degree outside
// kQRECDegrees.
std::vector<std::uint8_t> ReedSolomonCodewords(std::span<const std::uint8_t> data, int degree);

// Block structure of one version and level, derived from TotalCodewords,
// DataCodewords and BlockCount (ISO/IEC 18004 table 9).
struct TQRBlockLayout {
    int Blocks;          // all blocks
    int LongBlocks;      // the last LongBlocks blocks hold ShortDataLength + 1 data codewords
    int ShortDataLength;
    int ECPerBlock;
};
// Preconditions: level 0..3, version 1..40.
TQRBlockLayout BlockLayout(int level, int version) noexcept;

// Splits the DataCodewords(level, version) data codewords into blocks, adds
// each block's error correction codewords and interleaves everything into
// the final sequence of TotalCodewords(version) codewords.
// Precondition: data.size() == DataCodewords(level, version).
TListByte InterleaveCodewords(std::span<const std::uint8_t> data, int level, int version);

}  // namespace qm
