// Function patterns, data placement, masks, format information and the
// penalty of the symbol construction.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <set>

#include "QRTestSupport.h"
#include "UQRBitStream.h"
#include "UQREncoder.h"
#include "UQRReedSolomon.h"

namespace qm {
namespace {

// Remainder bits per version 1..40 (ISO/IEC 18004 table 1).
constexpr int kRemainderBits[40] = {0, 7, 7, 7, 7, 7, 0, 0, 0, 0, 0, 0, 0, 3, 3, 3, 3, 3, 3, 3,
                                    4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 0, 0, 0, 0, 0, 0};

TMaskChoice Construct(std::string_view bytes, int level) {
    const TQRMode mode = ChooseMode(bytes);
    const int version = ChooseVersion(level, mode, bytes.size());
    const auto data = BuildDataCodewords(bytes, mode, level, version);
    const TListByte codewords = InterleaveCodewords(data, level, version);
    const TQRVersionLayout& layout = QRVersionLayout(version);
    return ChooseMask(layout, PlaceCodewords(layout, codewords.View()), level);
}

// True when the 5 x 5 alignment pattern centred at (cx, cy) is drawn.
bool HasAlignmentPattern(const TQRVersionLayout& layout, int cx, int cy) {
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const bool dark = std::max(std::abs(dx), std::abs(dy)) != 1;
            if (layout.Modules.Dark(cx + dx, cy + dy) != dark || !layout.FunctionMask.Dark(cx + dx, cy + dy))
                return false;
        }
    return true;
}

int CountAlignmentPatterns(const TQRVersionLayout& layout) {
    int count = 0;
    for (int cy = 2; cy < layout.Size - 2; ++cy)
        for (int cx = 2; cx < layout.Size - 2; ++cx)
            // Finder centres contain the same 5 x 5 picture; skip their corners.
            if (!(cx < 9 && cy < 9) && !(cx < 9 && cy > layout.Size - 10) && !(cx > layout.Size - 10 && cy < 9))
                count += HasAlignmentPattern(layout, cx, cy);
    return count;
}

std::uint32_t ReadVersionArea(const TQRMatrix& m, bool lowerLeft) {
    const int n = m.Size();
    std::uint32_t word = 0;
    for (int i = 0; i < 18; ++i) {
        const bool bit = lowerLeft ? m.Dark(i / 3, n - 11 + i % 3) : m.Dark(n - 11 + i % 3, i / 3);
        word |= static_cast<std::uint32_t>(bit) << i;
    }
    return word;
}

void ExpectFinder(const TQRMatrix& m, int left, int top) {
    for (int dy = 0; dy < 7; ++dy)
        for (int dx = 0; dx < 7; ++dx) {
            const int ring = std::max(std::abs(dx - 3), std::abs(dy - 3));
            EXPECT_EQ(m.Dark(left + dx, top + dy), ring != 2) << left + dx << "," << top + dy;
        }
}

TEST(QRMatrixLayout, Version1) {
    const TQRVersionLayout& layout = QRVersionLayout(1);
    EXPECT_EQ(layout.Size, 21);
    EXPECT_EQ(CountAlignmentPatterns(layout), 0);
    EXPECT_TRUE(layout.Modules.Dark(8, 13));  // the dark module
    EXPECT_TRUE(layout.FunctionMask.Dark(8, 13));
    ExpectFinder(layout.Modules, 0, 0);
    ExpectFinder(layout.Modules, 14, 0);
    ExpectFinder(layout.Modules, 0, 14);
    // Separators light, timing alternating between the finders.
    for (int i = 0; i < 8; ++i) {
        EXPECT_FALSE(layout.Modules.Dark(7, i));
        EXPECT_FALSE(layout.Modules.Dark(i, 7));
        EXPECT_FALSE(layout.Modules.Dark(13, i));
        EXPECT_FALSE(layout.Modules.Dark(i, 13));
    }
    for (int i = 8; i <= 12; ++i) {
        EXPECT_EQ(layout.Modules.Dark(6, i), i % 2 == 0);
        EXPECT_EQ(layout.Modules.Dark(i, 6), i % 2 == 0);
    }
    // No version areas: (0, 10) is a data module.
    EXPECT_FALSE(layout.FunctionMask.Dark(0, 10));
    EXPECT_FALSE(layout.FunctionMask.Dark(10, 0));
}

TEST(QRMatrixLayout, Version2HasOneAlignmentPattern) {
    const TQRVersionLayout& layout = QRVersionLayout(2);
    EXPECT_EQ(CountAlignmentPatterns(layout), 1);
    EXPECT_TRUE(HasAlignmentPattern(layout, 18, 18));
}

TEST(QRMatrixLayout, Version6HasNoVersionAreas) {
    const TQRVersionLayout& layout = QRVersionLayout(6);
    const int n = layout.Size;
    EXPECT_EQ(CountAlignmentPatterns(layout), 1);
    EXPECT_TRUE(HasAlignmentPattern(layout, 34, 34));
    for (int i = 0; i < 18; ++i) {
        EXPECT_FALSE(layout.FunctionMask.Dark(i / 3, n - 11 + i % 3));
        EXPECT_FALSE(layout.FunctionMask.Dark(n - 11 + i % 3, i / 3));
    }
}

TEST(QRMatrixLayout, Version7) {
    const TQRVersionLayout& layout = QRVersionLayout(7);
    EXPECT_EQ(layout.Size, 45);
    EXPECT_EQ(CountAlignmentPatterns(layout), 6);
    for (const auto& [cx, cy] : {std::pair{6, 22}, {22, 6}, {22, 22}, {38, 22}, {22, 38}, {38, 38}})
        EXPECT_TRUE(HasAlignmentPattern(layout, cx, cy)) << cx << "," << cy;
    EXPECT_EQ(ReadVersionArea(layout.Modules, true), 0x07C94u);
    EXPECT_EQ(ReadVersionArea(layout.Modules, false), 0x07C94u);
    // Timing and the alignment pattern agree where they overlap.
    for (int i = 20; i <= 24; ++i) {
        EXPECT_EQ(layout.Modules.Dark(6, i), i % 2 == 0);
        EXPECT_EQ(layout.Modules.Dark(i, 6), i % 2 == 0);
    }
}

TEST(QRMatrixLayout, Version40) {
    const TQRVersionLayout& layout = QRVersionLayout(40);
    EXPECT_EQ(layout.Size, 177);
    EXPECT_EQ(CountAlignmentPatterns(layout), 46);
    EXPECT_TRUE(HasAlignmentPattern(layout, 170, 170));
    EXPECT_TRUE(HasAlignmentPattern(layout, 6, 30));
    EXPECT_TRUE(HasAlignmentPattern(layout, 30, 170));
    EXPECT_EQ(ReadVersionArea(layout.Modules, true), 0x28C69u);
    EXPECT_EQ(ReadVersionArea(layout.Modules, false), 0x28C69u);
    ExpectFinder(layout.Modules, 170, 0);
    EXPECT_TRUE(layout.Modules.Dark(8, 177 - 8));
}

TEST(QRMatrixLayout, DataModulesOfEveryVersion) {
    for (int v = 1; v <= 40; ++v) {
        const TQRVersionLayout& layout = QRVersionLayout(v);
        const int n = layout.Size;
        int free = 0;
        for (const TQRLine& line : layout.DataRows)
            for (const auto w : line.W) free += std::popcount(w);
        EXPECT_EQ(free, 8 * TotalCodewords(v) + kRemainderBits[v - 1]) << v;
        ASSERT_EQ(static_cast<int>(layout.Placement.size()), 8 * TotalCodewords(v));
        std::set<std::uint16_t> seen;
        for (const std::uint16_t p : layout.Placement) {
            const int x = p >> 8;
            const int y = p & 0xFF;
            ASSERT_LT(x, n);
            ASSERT_LT(y, n);
            EXPECT_FALSE(layout.FunctionMask.Dark(x, y));
            EXPECT_NE(x, 6);
            EXPECT_TRUE(seen.insert(p).second);
        }
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y) EXPECT_EQ(layout.DataColumns[static_cast<std::size_t>(x)].Get(y), !layout.FunctionMask.Dark(x, y));
    }
}

TEST(QRMatrixLayout, PlacementOrderOfVersion1) {
    const TQRVersionLayout& layout = QRVersionLayout(1);
    auto at = [&](std::size_t i) { return std::pair{layout.Placement[i] >> 8, layout.Placement[i] & 0xFF}; };
    EXPECT_EQ(at(0), (std::pair{20, 20}));
    EXPECT_EQ(at(1), (std::pair{19, 20}));
    EXPECT_EQ(at(2), (std::pair{20, 19}));
    EXPECT_EQ(at(23), (std::pair{19, 9}));   // upwards to the format area below row 8
    EXPECT_EQ(at(24), (std::pair{18, 9}));   // then down the next pair
    EXPECT_EQ(at(25), (std::pair{17, 9}));
    // Row 6 belongs to the timing pattern: a column pair above row 9 skips it.
    std::set<int> rowsOfColumn10;
    for (std::size_t i = 0; i < layout.Placement.size(); ++i)
        if (at(i).first == 10) rowsOfColumn10.insert(at(i).second);
    EXPECT_EQ(rowsOfColumn10.count(6), 0u);
    EXPECT_EQ(rowsOfColumn10.count(5), 1u);
    EXPECT_EQ(at(207), (std::pair{0, 12}));  // last bit: the lowest module of the leftmost data pair
}

TEST(QRMask, FormatInformationPlaces) {
    TQRMatrix m(21);
    WriteFormatInformation(m, 1, 0);  // 0x5412 = 101010000010010
    const std::uint16_t word = 0x5412;
    const int rows[8] = {0, 1, 2, 3, 4, 5, 7, 8};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(m.Dark(8, rows[k]), (word >> k & 1) != 0) << k;
        EXPECT_EQ(m.Dark(20 - k, 8), (word >> k & 1) != 0) << k;
    }
    for (int t = 0; t <= 6; ++t) {
        EXPECT_EQ(m.Dark(t <= 5 ? t : 7, 8), (word >> (14 - t) & 1) != 0) << t;
        EXPECT_EQ(m.Dark(8, 20 - t), (word >> (14 - t) & 1) != 0) << t;
    }
    EXPECT_EQ(m.DarkCount(), 2 * std::popcount(word));
}

TEST(QRMask, MaskConditions) {
    EXPECT_TRUE(MaskCondition(0, 0, 0));
    EXPECT_FALSE(MaskCondition(0, 0, 1));
    EXPECT_TRUE(MaskCondition(1, 2, 7));
    EXPECT_TRUE(MaskCondition(2, 5, 3));
    EXPECT_FALSE(MaskCondition(2, 5, 4));
    EXPECT_TRUE(MaskCondition(3, 1, 2));
    EXPECT_TRUE(MaskCondition(4, 2, 3));
    EXPECT_FALSE(MaskCondition(4, 2, 0));
    EXPECT_TRUE(MaskCondition(5, 0, 5));
    EXPECT_FALSE(MaskCondition(5, 1, 1));
    EXPECT_TRUE(MaskCondition(6, 2, 3));   // (0 + 0) mod 2
    EXPECT_FALSE(MaskCondition(6, 1, 3));  // (1 + 0) mod 2
    EXPECT_FALSE(MaskCondition(7, 1, 1));  // (0 + 1) mod 2 = 1
}

TEST(QRMask, WorkedScoresOfNumericExample) {
    const TMaskChoice choice = Construct("01234567", 1);
    const int expected[8] = {297, 533, 397, 452, 570, 637, 419, 406};
    for (int p = 0; p < 8; ++p) EXPECT_EQ(choice.Penalties[static_cast<std::size_t>(p)].Total(), expected[p]) << p;
    EXPECT_EQ(choice.Mask, 0);
    EXPECT_EQ(choice.Penalties[0], (TMaskPenalty{155, 102, 40, 0}));
    EXPECT_EQ(MaskPenalty(choice.Symbol), choice.Penalties[0]);
}

TEST(QRMask, WorkedScoresOfAlphanumericExample) {
    const TMaskChoice choice = Construct("HELLO WORLD", 2);
    EXPECT_EQ(choice.Mask, 6);
    EXPECT_EQ(choice.Penalties[6], (TMaskPenalty{172, 102, 40, 0}));
    EXPECT_EQ(choice.Penalties[0].Total(), 347);
}

TEST(QRMask, FastPenaltyAgreesWithTheRules) {
    std::mt19937 random(7);
    for (const int n : {11, 21, 22, 45, 63, 64, 65, 101, 127, 128, 129, 177}) {
        for (const int darkPercent : {10, 50, 85}) {
            TQRMatrix m(n);
            std::bernoulli_distribution dark(darkPercent / 100.0);
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x) m.Set(x, y, dark(random));
            EXPECT_EQ(MaskPenalty(m), test::NaivePenalty(m)) << n << "/" << darkPercent;
        }
    }
    // Real symbols, every mask of one version each.
    for (const int bytes : {10, 100, 700, 2000}) {
        const TMaskChoice choice = Construct(test::RandomText(static_cast<std::size_t>(bytes), "abcXYZ019", 3), 1);
        EXPECT_EQ(MaskPenalty(choice.Symbol), test::NaivePenalty(choice.Symbol));
        EXPECT_EQ(MaskPenalty(choice.Symbol), choice.Penalties[static_cast<std::size_t>(choice.Mask)]);
    }
}

TEST(QRMask, DarkShareScoresInStepsOfFivePercent) {
    // 20 x 20 = 400 modules, filled in a checkerboard-free order.
    auto withDark = [](int count) {
        TQRMatrix m(20);
        for (int i = 0; i < count; ++i) m.Set(i % 20, i / 20, true);
        return MaskPenalty(m).N4;
    };
    EXPECT_EQ(withDark(200), 0);
    EXPECT_EQ(withDark(219), 0);
    EXPECT_EQ(withDark(220), 10);
    EXPECT_EQ(withDark(181), 0);
    EXPECT_EQ(withDark(180), 10);
    EXPECT_EQ(withDark(0), 100);
    EXPECT_EQ(withDark(400), 100);
}

TEST(QRMask, TiesKeepTheLowestMask) {
    int ties = 0;
    for (std::uint32_t seed = 0; seed < 600 && ties < 3; ++seed) {
        const TMaskChoice choice = Construct(test::RandomText(8, "abcdefgh", seed), 0);
        int best = 0;
        for (int p = 1; p < 8; ++p)
            if (choice.Penalties[static_cast<std::size_t>(p)].Total() < choice.Penalties[static_cast<std::size_t>(best)].Total()) best = p;
        EXPECT_EQ(choice.Mask, best);
        for (int p = best + 1; p < 8; ++p)
            if (choice.Penalties[static_cast<std::size_t>(p)].Total() == choice.Penalties[static_cast<std::size_t>(best)].Total()) ++ties;
    }
    EXPECT_GT(ties, 0) << "no tie found among the sampled symbols";
}

TEST(QRMask, FunctionModulesSurviveEveryMask) {
    const TQRSymbol symbol = EncodeQRBytes("HELLO WORLD 1234567890", 3);
    const TQRVersionLayout& layout = QRVersionLayout(symbol.Version);
    for (int y = 0; y < layout.Size; ++y)
        for (int x = 0; x < layout.Size; ++x) {
            const bool format = (x == 8 && (y <= 8 || y >= layout.Size - 8)) || (y == 8 && (x <= 8 || x >= layout.Size - 8));
            if (layout.FunctionMask.Dark(x, y) && !format) {
                EXPECT_EQ(symbol.Matrix.Dark(x, y), layout.Modules.Dark(x, y)) << x << "," << y;
            }
        }
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// Module pictures ('#' dark, '.' light), one row per line.
std::string Picture(const TQRMatrix& m) {
    std::string text;
    for (int y = 0; y < m.Size(); ++y) {
        for (int x = 0; x < m.Size(); ++x) text += m.Dark(x, y) ? '#' : '.';
        text += '\n';
    }
    return text;
}

std::string ReadReference(const std::string& name) {
    std::ifstream in(std::string(QM_SOURCE_DIR) + "/tests/qr/data/" + name, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Whole symbols against checked-in pictures: the worked examples and a card.
TEST(QRSymbol, MatchesReferencePictures) {
    EXPECT_EQ(Picture(EncodeQRBytes("HELLO WORLD", 2).Matrix), ReadReference("hello_world_1Q.txt"));
    EXPECT_EQ(Picture(EncodeQRBytes("01234567", 1).Matrix), ReadReference("digits_1M.txt"));
    const std::string card = "BEGIN:VCARD\nVERSION:4.0\nN:Müller;Jürgen;;;\nFN:Jürgen Müller\nEND:VCARD\n";
    EXPECT_EQ(Picture(EncodeQRBytes(card, 1).Matrix), ReadReference("card_M.txt"));
}

}  // namespace
}  // namespace qm
