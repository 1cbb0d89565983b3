#include "UQRMask.h"

#include <cstdlib>

#include "UQRTables.h"

// GCC's vectorizer turns the two- and three-word line operations below into
// SSE shuffles that make the mask scoring about a third slower than plain
// 64-bit code.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-vectorize", "no-tree-slp-vectorize")
#endif

namespace qm {

bool MaskCondition(int mask, int i, int j) noexcept {
    switch (mask) {
        case 0: return (i + j) % 2 == 0;
        case 1: return i % 2 == 0;
        case 2: return j % 3 == 0;
        case 3: return (i + j) % 3 == 0;
        case 4: return (i / 2 + j / 3) % 2 == 0;
        case 5: return (i * j) % 2 + (i * j) % 3 == 0;
        case 6: return ((i * j) % 2 + (i * j) % 3) % 2 == 0;
        default: return ((i + j) % 2 + (i * j) % 3) % 2 == 0;
    }
}

namespace {

// Every mask condition repeats after 12 rows and after 12 columns, so one
// line per mask and residue covers a whole symbol: bit j of
// kMaskRows[p][i % 12] is the condition at row i, column j, and bit i of
// kMaskColumns[p][j % 12] the condition at row i, column j.
// mask 0..7 x residue 0..11
using TMaskLines = std::array<std::array<TQRLine, 12>, 8>;

TMaskLines MakeMaskLines(bool byColumn) {
    TMaskLines lines{};
    for (int p = 0; p < 8; ++p)
        for (int r = 0; r < 12; ++r)
            for (int k = 0; k < kQRMaxLineBits; ++k)
                if (byColumn ? MaskCondition(p, k, r) : MaskCondition(p, r, k))
                    lines[static_cast<std::size_t>(p)][static_cast<std::size_t>(r)].Set(k);
    return lines;
}

const TMaskLines& MaskRows() {
    static const TMaskLines lines = MakeMaskLines(false);
    return lines;
}
const TMaskLines& MaskColumns() {
    static const TMaskLines lines = MakeMaskLines(true);
    return lines;
}

// Format information places (clause 7.9.1): bit k of the word goes to
// First[k] beside the upper left finder and to Second[k] beside the other two.
struct TFormatPlace {
    int X;
    int Y;
};
struct TFormatPlaces {
    std::array<TFormatPlace, 15> First;
    std::array<TFormatPlace, 15> Second;
};

TFormatPlaces FormatPlaces(int n) {
    TFormatPlaces places{};
    constexpr int kColumnRows[8] = {0, 1, 2, 3, 4, 5, 7, 8};
    for (int k = 0; k < 8; ++k) {
        places.First[static_cast<std::size_t>(k)] = {8, kColumnRows[k]};
        places.Second[static_cast<std::size_t>(k)] = {n - 1 - k, 8};
    }
    for (int t = 0; t <= 6; ++t) {
        places.First[static_cast<std::size_t>(14 - t)] = {t <= 5 ? t : 7, 8};
        places.Second[static_cast<std::size_t>(14 - t)] = {8, n - 1 - t};
    }
    return places;
}

// Line operations over the first K words only: K = 1, 2 or 3 for symbols
// up to 64, 128 or 192 modules wide, so small symbols cost less.
// ShiftDown(a, k) has bit j = bit j + k of a (0 < k < 64); ShiftUp1(a) has
// bit j = bit j - 1 of a.
template <int K>
[[gnu::always_inline]] inline TQRLine ShiftDown(const TQRLine& a, int k) noexcept {
    TQRLine r;
    for (int i = 0; i < K - 1; ++i) r.W[i] = (a.W[i] >> k) | (a.W[i + 1] << (64 - k));
    r.W[K - 1] = a.W[K - 1] >> k;
    return r;
}
template <int K>
[[gnu::always_inline]] inline TQRLine ShiftUp1(const TQRLine& a) noexcept {
    TQRLine r;
    r.W[0] = a.W[0] << 1;
    for (int i = 1; i < K; ++i) r.W[i] = (a.W[i] << 1) | (a.W[i - 1] >> 63);
    return r;
}
template <int K>
[[gnu::always_inline]] inline TQRLine And(const TQRLine& a, const TQRLine& b) noexcept {
    TQRLine r;
    for (int i = 0; i < K; ++i) r.W[i] = a.W[i] & b.W[i];
    return r;
}
template <int K>
[[gnu::always_inline]] inline TQRLine Xor(const TQRLine& a, const TQRLine& b) noexcept {
    TQRLine r;
    for (int i = 0; i < K; ++i) r.W[i] = a.W[i] ^ b.W[i];
    return r;
}
template <int K>
[[gnu::always_inline]] inline TQRLine AndNot(const TQRLine& a, const TQRLine& b) noexcept {
    TQRLine r;
    for (int i = 0; i < K; ++i) r.W[i] = a.W[i] & ~b.W[i];
    return r;
}
template <int K>
[[gnu::always_inline]] inline int Pop(const TQRLine& a) noexcept {
    int count = 0;
    for (int i = 0; i < K; ++i) count += __builtin_popcountll(a.W[i]);
    return count;
}

TQRLine LowBits(int count) {
    TQRLine line;
    for (int i = 0; i < count; ++i) line.Set(i);
    return line;
}

struct TLineScore {
    int N1 = 0;
    int N3 = 0;
};

// Bit j of `equal` says whether modules j and j + 1 have one colour.
template <int K>
[[gnu::always_inline]] inline TLineScore ScoreLine(const TQRLine& line, const TQRLine& equal,
                                                   const TQRLine& valid) noexcept {
    TLineScore score;
    // N1: a run of k >= 5 holds k - 4 windows of five equal modules; with 2
    // more for its first window that makes 3 + (k - 5).
    const TQRLine five = And<K>(And<K>(equal, ShiftDown<K>(equal, 1)), And<K>(ShiftDown<K>(equal, 2), ShiftDown<K>(equal, 3)));
    const TQRLine runStarts = AndNot<K>(five, ShiftUp1<K>(equal));
    score.N1 = Pop<K>(five) + 2 * Pop<K>(runStarts);
    // N3: 1011101 at j, with four light modules after it (j + 7) or before it (j - 4).
    const TQRLine light = AndNot<K>(valid, line);
    const TQRLine dark3 = And<K>(And<K>(ShiftDown<K>(line, 2), ShiftDown<K>(line, 3)), ShiftDown<K>(line, 4));
    const TQRLine core = And<K>(And<K>(And<K>(line, ShiftDown<K>(light, 1)), dark3),
                                And<K>(ShiftDown<K>(light, 5), ShiftDown<K>(line, 6)));
    const TQRLine light4 =
        And<K>(And<K>(light, ShiftDown<K>(light, 1)), And<K>(ShiftDown<K>(light, 2), ShiftDown<K>(light, 3)));
    score.N3 = 40 * (Pop<K>(And<K>(core, ShiftDown<K>(light4, 7))) + Pop<K>(And<K>(light4, ShiftDown<K>(core, 4))));
    return score;
}

template <int K>
[[gnu::always_inline]] inline TQRLine EqualNeighbours(const TQRLine& line, const TQRLine& valid1) noexcept {
    return AndNot<K>(valid1, Xor<K>(line, ShiftDown<K>(line, 1)));
}

// Penalty of a masked symbol given by its rows and its columns.
template <int K>
[[gnu::always_inline]] inline TMaskPenalty ScoreLines(std::span<const TQRLine> rows, std::span<const TQRLine> columns,
                                                      int n) noexcept {
    const TQRLine valid = LowBits(n);
    const TQRLine valid1 = LowBits(n - 1);
    TMaskPenalty penalty;
    int dark = 0;
    TQRLine previousEqual;
    for (std::size_t y = 0; y < rows.size(); ++y) {
        const TQRLine& row = rows[y];
        const TQRLine equal = EqualNeighbours<K>(row, valid1);
        const TLineScore score = ScoreLine<K>(row, equal, valid);
        penalty.N1 += score.N1;
        penalty.N3 += score.N3;
        dark += Pop<K>(row);
        if (y > 0) penalty.N2 += 3 * Pop<K>(AndNot<K>(And<K>(previousEqual, equal), Xor<K>(rows[y - 1], row)));
        previousEqual = equal;
    }
    for (const TQRLine& column : columns) {
        const TLineScore score = ScoreLine<K>(column, EqualNeighbours<K>(column, valid1), valid);
        penalty.N1 += score.N1;
        penalty.N3 += score.N3;
    }
    // Exact integer form of 10 x trunc(|20 x dark / n^2 - 10|).
    const int cells = n * n;
    penalty.N4 = 10 * (std::abs(20 * dark - 10 * cells) / cells);
    return penalty;
}

template <int K>
TMaskPenalty ScoreLinesPortable(std::span<const TQRLine> rows, std::span<const TQRLine> columns, int n) noexcept {
    return ScoreLines<K>(rows, columns, n);
}
// The same compiled with the POPCNT instruction, for processors that have
// it: counting bits is a large share of the scoring.
template <int K>
__attribute__((target("popcnt"))) TMaskPenalty ScoreLinesPopcnt(std::span<const TQRLine> rows,
                                                                std::span<const TQRLine> columns, int n) noexcept {
    return ScoreLines<K>(rows, columns, n);
}

TMaskPenalty Score(std::span<const TQRLine> rows, std::span<const TQRLine> columns, int n) noexcept {
    static const bool hasPopcnt = __builtin_cpu_supports("popcnt");
    const int words = (n + 63) / 64;
    if (hasPopcnt) {
        if (words == 1) return ScoreLinesPopcnt<1>(rows, columns, n);
        if (words == 2) return ScoreLinesPopcnt<2>(rows, columns, n);
        return ScoreLinesPopcnt<3>(rows, columns, n);
    }
    if (words == 1) return ScoreLinesPortable<1>(rows, columns, n);
    if (words == 2) return ScoreLinesPortable<2>(rows, columns, n);
    return ScoreLinesPortable<3>(rows, columns, n);
}

// Masks the data modules of `source` lines with mask `p`, into `target`.
void MaskLines(std::span<const TQRLine> source, std::span<const TQRLine> data,
               const std::array<TQRLine, 12>& pattern, std::span<TQRLine> target) noexcept {
    for (std::size_t i = 0; i < source.size(); ++i) {
        for (std::size_t w = 0; w < 3; ++w) target[i].W[w] = source[i].W[w] ^ (pattern[i % 12].W[w] & data[i].W[w]);
    }
}

}  // namespace

void WriteFormatInformation(TQRMatrix& symbol, int level, int mask) {
    const std::uint16_t word = FormatWord(level, mask);
    const TFormatPlaces places = FormatPlaces(symbol.Size());
    for (std::size_t k = 0; k < 15; ++k) {
        const bool bit = (word >> k) & 1;
        symbol.Set(places.First[k].X, places.First[k].Y, bit);
        symbol.Set(places.Second[k].X, places.Second[k].Y, bit);
    }
}

TMaskPenalty MaskPenalty(const TQRMatrix& symbol) {
    const TQRMatrix columns = symbol.Transposed();
    return Score(symbol.Rows(), columns.Rows(), symbol.Size());
}

TMaskChoice ChooseMask(const TQRVersionLayout& layout, const TQRPlacedMatrix& placed, int level) {
    const int n = layout.Size;
    const TFormatPlaces places = FormatPlaces(n);
    std::vector<TQRLine> rows(placed.Rows.size());
    std::vector<TQRLine> columns(placed.Columns.size());
    TMaskChoice choice;
    int best = -1;
    for (int p = 0; p < 8; ++p) {
        MaskLines(placed.Rows, layout.DataRows, MaskRows()[static_cast<std::size_t>(p)], rows);
        MaskLines(placed.Columns, layout.DataColumns, MaskColumns()[static_cast<std::size_t>(p)], columns);
        const std::uint16_t word = FormatWord(level, p);
        for (std::size_t k = 0; k < 15; ++k) {
            if (!((word >> k) & 1)) continue;  // the format areas start light
            for (const TFormatPlace& place : {places.First[k], places.Second[k]}) {
                rows[static_cast<std::size_t>(place.Y)].Set(place.X);
                columns[static_cast<std::size_t>(place.X)].Set(place.Y);
            }
        }
        const TMaskPenalty penalty = Score(rows, columns, n);
        choice.Penalties[static_cast<std::size_t>(p)] = penalty;
        // Only a strictly lower score replaces the best: ties keep the lower mask.
        if (best < 0 || penalty.Total() < best) {
            best = penalty.Total();
            choice.Mask = p;
        }
    }
    choice.Symbol = TQRMatrix(n);
    MaskLines(placed.Rows, layout.DataRows, MaskRows()[static_cast<std::size_t>(choice.Mask)], choice.Symbol.Rows());
    WriteFormatInformation(choice.Symbol, level, choice.Mask);
    return choice;
}

}  // namespace qm
