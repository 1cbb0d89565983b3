#include "UQRMatrix.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "UQRTables.h"

namespace qm {

TQRMatrix TQRMatrix::Transposed() const {
    TQRMatrix result(FSize);
    for (int y = 0; y < FSize; ++y)
        for (int x = 0; x < FSize; ++x)
            if (Dark(x, y)) result.FRows[static_cast<std::size_t>(x)].Set(y);
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
    TQRPlacedMatrix placed{{layout.Modules.Rows().begin(), layout.Modules.Rows().end()},
                           {layout.ModulesByColumn.Rows().begin(), layout.ModulesByColumn.Rows().end()}};
    const std::uint16_t* position = layout.Placement.data();
    for (const std::uint8_t codeword : codewords) {
        for (int bit = 7; bit >= 0; --bit, ++position) {
            const std::uint64_t dark = (codeword >> bit) & 1u;
            const int x = *position >> 8;
            const int y = *position & 0xFF;
            placed.Rows[static_cast<std::size_t>(y)].W[static_cast<std::size_t>(x >> 6)] |= dark << (x & 63);
            placed.Columns[static_cast<std::size_t>(x)].W[static_cast<std::size_t>(y >> 6)] |= dark << (y & 63);
        }
    }
    return placed;
}

}  // namespace qm
