// The module matrix of a QR symbol and the fixed layout of each version:
// function patterns, reserved areas and the data placement order
// (ISO/IEC 18004 clauses 6.3, 7.7).
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <span>
#include <vector>

namespace qm {

// One row (or column) of up to 192 modules, bit i of the line in word
// i / 64 at position i % 64; true = dark. Lines of a matrix keep the bits
// at and beyond the symbol width clear.
struct TQRLine {
    std::array<std::uint64_t, 3> W{};

    bool Get(int i) const noexcept { return (W[static_cast<std::size_t>(i >> 6)] >> (i & 63)) & 1; }
    void Set(int i) noexcept { W[static_cast<std::size_t>(i >> 6)] |= std::uint64_t{1} << (i & 63); }
    void Clear(int i) noexcept { W[static_cast<std::size_t>(i >> 6)] &= ~(std::uint64_t{1} << (i & 63)); }
    void Put(int i, bool dark) noexcept { dark ? Set(i) : Clear(i); }
    friend bool operator==(const TQRLine&, const TQRLine&) = default;
};

inline constexpr int kQRMaxLineBits = 192;

// A square matrix of modules, N x N, addressed as (x, y) with x the column
// and y the row, both counted from 0 at the top left; true = dark.
class TQRMatrix {
public:
    // Precondition: 0 <= size <= 192. All modules start light.
    explicit TQRMatrix(int size = 0) : FSize(size), FRows(static_cast<std::size_t>(size)) {}

    int Size() const noexcept { return FSize; }
    // Preconditions: 0 <= x, y < Size().
    bool Dark(int x, int y) const noexcept { return FRows[static_cast<std::size_t>(y)].Get(x); }
    void Set(int x, int y, bool dark) noexcept { FRows[static_cast<std::size_t>(y)].Put(x, dark); }

    std::span<const TQRLine> Rows() const noexcept { return FRows; }
    std::span<TQRLine> Rows() noexcept { return FRows; }
    // The same modules with x and y exchanged (rows become columns).
    TQRMatrix Transposed() const;
    int DarkCount() const noexcept;

    friend bool operator==(const TQRMatrix&, const TQRMatrix&) = default;

private:
    int FSize;
    std::vector<TQRLine> FRows;
};

// Everything about a version that does not depend on the data: the function
// pattern modules, the function mask and the order in which data bits fill
// the remaining modules. Built once per version and shared read-only.
struct TQRVersionLayout {
    int Version = 0;
    int Size = 0;
    // Finder, separator, timing, alignment and version patterns and the dark
    // module (format areas light), in rows and in columns.
    TQRMatrix Modules;
    TQRMatrix ModulesByColumn;
    // FunctionMask: true where a module belongs to a function pattern or the
    // format areas; data never goes there and masks never change it.
    TQRMatrix FunctionMask;
    // Complement of FunctionMask limited to the symbol, in rows and columns:
    // the modules that data fills and that masks may invert.
    std::vector<TQRLine> DataRows;
    std::vector<TQRLine> DataColumns;
    // Data modules in placement order, x in the high byte and y in the low
    // byte; exactly 8 x TotalCodewords(Version) entries.
    std::vector<std::uint16_t> Placement;
    // The same placement seen from the modules: for row word k (row k / 3,
    // word k % 3) the entries RowWordStart[k] .. RowWordStart[k + 1] - 1 of
    // Gather, each a bit index into the codeword sequence (high 16 bits) and
    // the module's bit in the word (low 8 bits). Placing data then builds
    // each word in a register instead of writing single bits to memory.
    std::vector<std::uint32_t> Gather;
    std::vector<std::uint32_t> RowWordStart;
};

// Transposes the n x n bits of `lines` (bit j of line i becomes bit i of
// line j). Precondition: lines.size() == n, 0 <= n <= 192, bits at and
// beyond n clear.
std::vector<TQRLine> TransposeLines(std::span<const TQRLine> lines);

// The layout of a version. Precondition: 1 <= version <= 40. Thread-safe.
const TQRVersionLayout& QRVersionLayout(int version);

// The codeword sequence placed into the version's modules (each codeword
// from its most significant bit); remainder modules stay light, function
// modules hold their patterns. Rows and columns of the result together.
// Precondition: codewords.size() == TotalCodewords(version).
struct TQRPlacedMatrix {
    std::vector<TQRLine> Rows;
    std::vector<TQRLine> Columns;
};
TQRPlacedMatrix PlaceCodewords(const TQRVersionLayout& layout, std::span<const std::uint8_t> codewords);

}  // namespace qm
