// Data masking, format information and the penalty that picks the mask
// (ISO/IEC 18004 clauses 7.8, 7.9).
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "UQRMatrix.h"

namespace qm {

// Condition of data mask pattern `mask` 0..7 (ISO/IEC 18004 table 10) for
// row i and column j (both >= 0): true where the module is inverted.
bool MaskCondition(int mask, int i, int j) noexcept;

// Writes the 15-bit format information of `level` 0..3 and `mask` 0..7 into
// both format areas of `symbol` (clause 7.9.1).
void WriteFormatInformation(TQRMatrix& symbol, int level, int mask);

// The four penalty parts of a symbol over its N x N modules, without a
// quiet zone (clause 7.8.3):
//   N1: each run of k >= 5 modules of one colour in a row or column, 3 + (k - 5);
//   N2: each 2 x 2 block of one colour, 3 (blocks overlap);
//   N3: each 11-module window wholly inside the symbol, in a row or column,
//       reading 1011101 followed or preceded by 0000, 40;
//   N4: 10 x trunc(|20 x dark / N^2 - 10|).
struct TMaskPenalty {
    int N1 = 0;
    int N2 = 0;
    int N3 = 0;
    int N4 = 0;
    int Total() const noexcept { return N1 + N2 + N3 + N4; }
    friend bool operator==(const TMaskPenalty&, const TMaskPenalty&) = default;
};
TMaskPenalty MaskPenalty(const TQRMatrix& symbol);

// Tries the eight masks on a placed matrix, writes each one's format
// information and keeps the first one with the lowest penalty.
// Preconditions: level 0..3, `placed` from PlaceCodewords with `layout`.
struct TMaskChoice {
    int Mask = 0;
    std::array<TMaskPenalty, 8> Penalties{};
    TQRMatrix Symbol;  // the chosen masked matrix with its format information
};
TMaskChoice ChooseMask(const TQRVersionLayout& layout, const TQRPlacedMatrix& placed, int level);

}  // namespace qm
