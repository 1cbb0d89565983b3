#include "UQRMatrix.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "UQRTables.h"

namespace qm {

namespace {

// In-place transpose of a 64 x 64 bit block, bit j of a[i] <-> bit i of
// a[j]: swap the off-diagonal halves, then quarters within them, and so on.
void Transpose64(std::uint64_t (&a)[64]) noexcept {
    std::uint64_t m = 0x00000000FFFFFFFFull;
    for (int j = 32; j != 0; j >>= 1, m ^= m << j) {
        for (int k = 0; k < 64; k = ((k | j) + 1) & ~j) {
            const std::uint64_t t = ((a[k] >> j) ^ a[k | j]) & m;
            a[k | j] ^= t;
            a[k] ^= t << j;
        }
    }
}

}  // namespace

std::vector<TQRLine> TransposeLines(std::span<const TQRLine> lines) {
    const auto n = static_cast<int>(lines.size());
    const int words = (n + 63) / 64;
    std::vector<TQRLine> result(lines.size());
    std::uint64_t block[64];
    for (int bi = 0; bi < words; ++bi) {      // block row of the source
        for (int bj = 0; bj < words; ++bj) {  // word within a source line
            for (int i = 0; i < 64; ++i) {
                const int line = bi * 64 + i;
                block[i] = line < n ? lines[static_cast<std::size_t>(line)].W[static_cast<std::size_t>(bj)] : 0;
            }
            Transpose64(block);
            for (int i = 0; i < 64; ++i) {
                const int line = bj * 64 + i;
                if (line < n) result[static_cast<std::size_t>(line)].W[static_cast<std::size_t>(bi)] = block[i];
            }
        }
    }
    return result;
}

TQRMatrix TQRMatrix::Transposed() const {
    TQRMatrix result(FSize);
    result.FRows = TransposeLines(FRows);
    return result;
}

int TQRMatrix::DarkCount() const noexcept {
    int count = 0;
    for (const TQRLine& row : FRows)
        for (const std::uint64_t w : row.W) count += std::popcount(w);
    return count;
}

namespace {

// Draws a function module: its value into the pattern, its place into the mask.
struct TPatternCanvas {
    TQRMatrix& Modules;
    TQRMatrix& Mask;
    void Put(int x, int y, bool dark) const {
        Modules.Set(x, y, dark);
        Mask.Set(x, y, true);
    }
};

void DrawFunctionPatterns(int version, TQRMatrix& modules, TQRMatrix& mask) {
    const int n = QRSymbolSize(version);
    const TPatternCanvas canvas{modules, mask};

    // Alignment patterns (ISO/IEC 18004 clause 6.3.6): every pair of centre
    // coordinates except the three that fall on finder patterns.
    const auto centres = AlignmentCentres(version);
    for (const int cx : centres) {
        for (const int cy : centres) {
            if ((cx == 6 && cy == 6) || (cx == 6 && cy == n - 7) || (cx == n - 7 && cy == 6)) continue;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    canvas.Put(cx + dx, cy + dy, std::max(std::abs(dx), std::abs(dy)) != 1);
        }
    }
    // Timing patterns (clause 6.3.5): row 6 and column 6, dark on even indices.
    for (int i = 8; i <= n - 9; ++i) {
        canvas.Put(6, i, i % 2 == 0);
        canvas.Put(i, 6, i % 2 == 0);
    }
    // Finder patterns with their separators (clauses 6.3.3, 6.3.4).
    const int finderCentres[3][2] = {{3, 3}, {3, n - 4}, {n - 4, 3}};
    for (const auto& centre : finderCentres) {
        for (int dy = -4; dy <= 4; ++dy) {
            for (int dx = -4; dx <= 4; ++dx) {
                const int x = centre[0] + dx;
                const int y = centre[1] + dy;
                if (x < 0 || y < 0 || x >= n || y >= n) continue;
                const int ring = std::max(std::abs(dx), std::abs(dy));
                canvas.Put(x, y, ring != 2 && ring != 4);
            }
        }
    }
    // Version information (clause 7.10), both blocks of 6 x 3 modules.
    if (version >= 7) {
        const std::uint32_t word = VersionWord(version);
        for (int i = 0; i < 18; ++i) {
            const bool bit = (word >> i) & 1;
            canvas.Put(i / 3, n - 11 + i % 3, bit);
            canvas.Put(n - 11 + i % 3, i / 3, bit);
        }
    }
    // Format areas (clause 7.9), only reserved here and written per mask; the
    // two timing modules (6, 8) and (8, 6) inside the marked lines keep their
    // dark value.
    for (int i = 0; i <= 8; ++i) {
        mask.Set(8, i, true);
        mask.Set(i, 8, true);
    }
    for (int i = n - 8; i < n; ++i) {
        mask.Set(8, i, true);
        mask.Set(i, 8, true);
    }
    // The dark module beside the lower left format area.
    canvas.Put(8, n - 8, true);
}

// Data placement (clause 7.7.3): two-module-wide columns from the right,
// upwards then downwards, skipping the vertical timing column 6 and the
// horizontal timing row 6, right module of each pair first.
std::vector<std::uint16_t> PlacementOrder(int version, const TQRMatrix& mask) {
    const int n = QRSymbolSize(version);
    const int bitCount = 8 * TotalCodewords(version);
    std::vector<std::uint16_t> order;
    order.reserve(static_cast<std::size_t>(bitCount));
    int column = n - 2;
    int row = n;
    int direction = -1;
    int half = 0;
    auto nextColumn = [&column] {
        column -= 2;
        if (column == 5) column = 4;
    };
    while (static_cast<int>(order.size()) < bitCount && column >= 0) {
        if (half == 0) {
            row += direction;
            if (row == -1) {
                row = 0;
                nextColumn();
                direction = 1;
            } else if (row == 6) {
                row += direction;
            } else if (row == n) {
                row = n - 1;
                nextColumn();
                direction = -1;
            }
            if (column < 0) break;
        }
        half ^= 1;
        const int x = column + half;
        if (!mask.Dark(x, row)) order.push_back(static_cast<std::uint16_t>(x << 8 | row));
    }
    return order;
}

std::unique_ptr<TQRVersionLayout> BuildLayout(int version) {
    auto layout = std::make_unique<TQRVersionLayout>();
    const int n = QRSymbolSize(version);
    layout->Version = version;
    layout->Size = n;
    layout->Modules = TQRMatrix(n);
    layout->FunctionMask = TQRMatrix(n);
    DrawFunctionPatterns(version, layout->Modules, layout->FunctionMask);
    layout->ModulesByColumn = layout->Modules.Transposed();
    const TQRMatrix maskByColumn = layout->FunctionMask.Transposed();
    auto freeLines = [n](std::span<const TQRLine> reserved) {
        std::vector<TQRLine> lines(reserved.size());
        for (std::size_t i = 0; i < reserved.size(); ++i)
            for (int j = 0; j < n; ++j)
                if (!reserved[i].Get(j)) lines[i].Set(j);
        return lines;
    };
    layout->DataRows = freeLines(layout->FunctionMask.Rows());
    layout->DataColumns = freeLines(maskByColumn.Rows());
    layout->Placement = PlacementOrder(version, layout->FunctionMask);

    // Group the placement by destination word, in row order.
    std::vector<std::vector<std::uint32_t>> perWord(static_cast<std::size_t>(n) * 3);
    for (std::size_t i = 0; i < layout->Placement.size(); ++i) {
        const int x = layout->Placement[i] >> 8;
        const int y = layout->Placement[i] & 0xFF;
        perWord[static_cast<std::size_t>(y * 3 + (x >> 6))].push_back(static_cast<std::uint32_t>(i << 8 | (x & 63)));
    }
    for (const auto& entries : perWord) {
        layout->RowWordStart.push_back(static_cast<std::uint32_t>(layout->Gather.size()));
        layout->Gather.insert(layout->Gather.end(), entries.begin(), entries.end());
    }
    layout->RowWordStart.push_back(static_cast<std::uint32_t>(layout->Gather.size()));
    return layout;
}

}  // namespace

const TQRVersionLayout& QRVersionLayout(int version) {
    static std::array<std::once_flag, kQRMaxVersion> once;
    static std::array<std::unique_ptr<TQRVersionLayout>, kQRMaxVersion> layouts;
    const auto index = static_cast<std::size_t>(version - 1);
    std::call_once(once[index], [&] { layouts[index] = BuildLayout(version); });
    return *layouts[index];
}

TQRPlacedMatrix PlaceCodewords(const TQRVersionLayout& layout, std::span<const std::uint8_t> codewords) {
    TQRPlacedMatrix placed;
    placed.Rows.assign(layout.Modules.Rows().begin(), layout.Modules.Rows().end());
    const std::uint8_t* bytes = codewords.data();
    const std::uint32_t* gather = layout.Gather.data();
    for (std::size_t k = 0; k + 1 < layout.RowWordStart.size(); ++k) {
        std::uint64_t word = 0;
        for (std::uint32_t e = layout.RowWordStart[k]; e < layout.RowWordStart[k + 1]; ++e) {
            const std::uint32_t bitIndex = gather[e] >> 8;
            const std::uint64_t dark = (bytes[bitIndex >> 3] >> (7 - (bitIndex & 7))) & 1u;
            word |= dark << (gather[e] & 63);
        }
        placed.Rows[k / 3].W[k % 3] |= word;
    }
    placed.Columns = TransposeLines(placed.Rows);
    return placed;
}

}  // namespace qm
