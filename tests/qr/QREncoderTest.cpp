// Tables, bit stream, data codewords and Reed-Solomon codewords of the
// encoder, against ISO/IEC 18004's worked values and generating rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "QRTestSupport.h"
#include "UErrors.h"
#include "UQRBitStream.h"
#include "UQREncoder.h"
#include "UQRReedSolomon.h"
#include "UQRTables.h"

namespace qm {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Raw data modules of a version, ISO/IEC 18004 clause 6.4.10 counted out:
// all modules less finders, separators, timing, alignment, format and
// version areas and the dark module.
int RawDataModules(int v) {
    int result = (16 * v + 128) * v + 64;
    if (v >= 2) {
        const int align = v / 7 + 2;
        result -= (25 * align - 10) * align - 55;
        if (v >= 7) result -= 36;
    }
    return result;
}

// Remainder of value * x^degree by `poly` over GF(2): a BCH check word.
std::uint32_t BchRemainder(std::uint32_t value, std::uint32_t poly, int degree) {
    std::uint32_t r = value << degree;
    const int top = 31 - __builtin_clz(poly);
    for (int bit = 31; bit >= top; --bit)
        if (r >> bit & 1) r ^= poly << (bit - top);
    return r;
}

TEST(QRTables, CheckValuesOfDataCodewordsAndBlocks) {
    EXPECT_EQ(DataCodewords(0, 1), 19);
    EXPECT_EQ(DataCodewords(1, 1), 16);
    EXPECT_EQ(DataCodewords(2, 1), 13);
    EXPECT_EQ(DataCodewords(3, 1), 9);
    EXPECT_EQ(DataCodewords(0, 40), 2956);
    EXPECT_EQ(DataCodewords(1, 40), 2334);
    EXPECT_EQ(DataCodewords(2, 40), 1666);
    EXPECT_EQ(DataCodewords(3, 40), 1276);
    for (int level = 0; level < 4; ++level) EXPECT_EQ(BlockCount(level, 1), 1);
    EXPECT_EQ(BlockCount(0, 40), 25);
    EXPECT_EQ(BlockCount(1, 40), 49);
    EXPECT_EQ(BlockCount(2, 40), 68);
    EXPECT_EQ(BlockCount(3, 40), 81);
    EXPECT_EQ(TotalCodewords(1), 26);
    EXPECT_EQ(TotalCodewords(2), 44);
    EXPECT_EQ(TotalCodewords(3), 70);
    EXPECT_EQ(TotalCodewords(4), 100);
    EXPECT_EQ(TotalCodewords(40), 3706);
}

TEST(QRTables, TotalCodewordsFillTheDataModules) {
    for (int v = 1; v <= 40; ++v) EXPECT_EQ(TotalCodewords(v), RawDataModules(v) / 8) << "version " << v;
}

TEST(QRTables, BlockStructureIsConsistentForEveryVersionAndLevel) {
    for (int level = 0; level < 4; ++level) {
        for (int v = 1; v <= 40; ++v) {
            const TQRBlockLayout b = BlockLayout(level, v);
            EXPECT_TRUE(std::find(kQRECDegrees.begin(), kQRECDegrees.end(), b.ECPerBlock) != kQRECDegrees.end())
                << level << "/" << v;
            // Data and error correction of all blocks add up to both tables.
            EXPECT_EQ(b.Blocks * b.ShortDataLength + b.LongBlocks, DataCodewords(level, v));
            EXPECT_EQ(b.Blocks * (b.ShortDataLength + b.ECPerBlock) + b.LongBlocks, TotalCodewords(v));
            EXPECT_LE(b.ShortDataLength + 1 + b.ECPerBlock, 153);
            // Levels protect more from L to H.
            if (level > 0) {
                EXPECT_LT(DataCodewords(level, v), DataCodewords(level - 1, v));
            }
        }
    }
}

TEST(QRTables, KnownBlockStructures) {
    const TQRBlockLayout v5q = BlockLayout(2, 5);
    EXPECT_EQ(v5q.Blocks, 4);
    EXPECT_EQ(v5q.LongBlocks, 2);
    EXPECT_EQ(v5q.ShortDataLength, 15);
    EXPECT_EQ(v5q.ECPerBlock, 18);
    const TQRBlockLayout v27l = BlockLayout(0, 27);
    EXPECT_EQ(v27l.Blocks, 12);
    EXPECT_EQ(v27l.LongBlocks, 4);
    EXPECT_EQ(v27l.ShortDataLength, 122);
    EXPECT_EQ(v27l.ECPerBlock, 30);
    const TQRBlockLayout v1m = BlockLayout(1, 1);
    EXPECT_EQ(v1m.ECPerBlock, 10);
    EXPECT_EQ(v1m.ShortDataLength, 16);
}

TEST(QRTables, VersionWordsAreTheBchCode) {
    EXPECT_EQ(VersionWord(7), 0x07C94u);
    EXPECT_EQ(VersionWord(40), 0x28C69u);
    for (int v = 7; v <= 40; ++v)
        EXPECT_EQ(VersionWord(v), static_cast<std::uint32_t>(v) << 12 | BchRemainder(static_cast<std::uint32_t>(v), 0x1F25, 12))
            << v;
}

TEST(QRTables, FormatWordsAreTheMaskedBchCode) {
    EXPECT_EQ(FormatWord(0, 0), 0x77C4);
    EXPECT_EQ(FormatWord(1, 0), 0x5412);
    EXPECT_EQ(FormatWord(3, 7), 0x083B);
    constexpr std::uint32_t kLevelBits[4] = {0b01, 0b00, 0b11, 0b10};
    for (int level = 0; level < 4; ++level)
        for (int mask = 0; mask < 8; ++mask) {
            const std::uint32_t data = kLevelBits[level] << 3 | static_cast<std::uint32_t>(mask);
            EXPECT_EQ(FormatWord(level, mask), (data << 10 | BchRemainder(data, 0x537, 10)) ^ 0x5412);
        }
}

TEST(QRTables, AlignmentCentresFollowTheSpacingRule) {
    EXPECT_TRUE(AlignmentCentres(1).empty());
    for (int v = 2; v <= 40; ++v) {
        const auto centres = AlignmentCentres(v);
        const int n = QRSymbolSize(v);
        ASSERT_EQ(static_cast<int>(centres.size()), v / 7 + 2) << v;
        EXPECT_EQ(centres.front(), 6);
        EXPECT_EQ(centres.back(), n - 7);
        // Equal even steps from the far end (26 for version 32, else the
        // smallest even step that spreads the patterns); the first step takes
        // the rest.
        const int count = static_cast<int>(centres.size());
        const int step = v == 32 ? 26 : (4 * v + 4 + 2 * count - 3) / (2 * count - 2) * 2;
        for (int i = 1; i < count; ++i) EXPECT_EQ(centres[static_cast<std::size_t>(i)], n - 7 - (count - 1 - i) * step) << v;
    }
    const std::vector<std::uint8_t> v40(AlignmentCentres(40).begin(), AlignmentCentres(40).end());
    EXPECT_EQ(v40, (std::vector<std::uint8_t>{6, 30, 58, 86, 114, 142, 170}));
    const std::vector<std::uint8_t> v7(AlignmentCentres(7).begin(), AlignmentCentres(7).end());
    EXPECT_EQ(v7, (std::vector<std::uint8_t>{6, 22, 38}));
}

TEST(QRTables, AlphanumericValuesAndCountBits) {
    EXPECT_EQ(AlphanumericValue('0'), 0);
    EXPECT_EQ(AlphanumericValue('9'), 9);
    EXPECT_EQ(AlphanumericValue('A'), 10);
    EXPECT_EQ(AlphanumericValue('Z'), 35);
    EXPECT_EQ(AlphanumericValue(' '), 36);
    EXPECT_EQ(AlphanumericValue(':'), 44);
    EXPECT_EQ(AlphanumericValue('a'), -1);
    EXPECT_EQ(AlphanumericValue(0xC4), -1);
    int count = 0;
    for (int b = 0; b < 256; ++b) count += AlphanumericValue(static_cast<std::uint8_t>(b)) >= 0;
    EXPECT_EQ(count, 45);
    EXPECT_EQ(CharCountBits(TQRMode::qmNumeric, 9), 10);
    EXPECT_EQ(CharCountBits(TQRMode::qmNumeric, 10), 12);
    EXPECT_EQ(CharCountBits(TQRMode::qmAlphanumeric, 26), 11);
    EXPECT_EQ(CharCountBits(TQRMode::qmAlphanumeric, 27), 13);
    EXPECT_EQ(CharCountBits(TQRMode::qmByte, 9), 8);
    EXPECT_EQ(CharCountBits(TQRMode::qmByte, 40), 16);
}

TEST(QRBitStream, ListsGrowInStepsOfFifty) {
    TListBool bits;
    EXPECT_EQ(bits.Capacity(), 50);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(bits.Add(i % 3 == 0), i);
    EXPECT_EQ(bits.Capacity(), 50);
    bits.Add(true);
    EXPECT_EQ(bits.Capacity(), 100);
    EXPECT_EQ(bits.Count(), 51);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(bits.Items(i), i % 3 == 0) << i;
    EXPECT_TRUE(bits.Items(50));

    TListByte bytes;
    EXPECT_EQ(bytes.Capacity(), 50);
    bytes.SetCapacity(3706);
    EXPECT_EQ(bytes.Capacity(), 3706);
    EXPECT_EQ(bytes.Count(), 0);
    for (int i = 0; i < 3707; ++i) bytes.Add(static_cast<std::uint8_t>(i));
    EXPECT_EQ(bytes.Capacity(), 3756);
    EXPECT_EQ(bytes.Items(3706), static_cast<std::uint8_t>(3706));
}

TEST(QRBitStream, AppendBitsWritesMostSignificantFirst) {
    TListBool bits;
    bits.AppendBits(0b0001, 4);
    bits.AppendBits(8, 10);
    bits.AppendBits(0x1ABC, 13);
    const std::string expected = "0001" "0000001000" "1101010111100";
    ASSERT_EQ(bits.Count(), static_cast<int>(expected.size()));
    for (int i = 0; i < bits.Count(); ++i) EXPECT_EQ(bits.Items(i), expected[static_cast<std::size_t>(i)] == '1') << i;
    EXPECT_EQ(bits.Bytes()[0], 0x10);
    EXPECT_EQ(bits.Bytes()[1], 0x23);
}

TEST(QRBitStream, ModeChoice) {
    EXPECT_EQ(ChooseMode("12345"), TQRMode::qmNumeric);
    EXPECT_EQ(ChooseMode(""), TQRMode::qmNumeric);
    EXPECT_EQ(ChooseMode("HELLO WORLD"), TQRMode::qmAlphanumeric);
    EXPECT_EQ(ChooseMode("ABC:/1"), TQRMode::qmAlphanumeric);
    EXPECT_EQ(ChooseMode("Hello"), TQRMode::qmByte);
    EXPECT_EQ(ChooseMode("123a"), TQRMode::qmByte);
    EXPECT_EQ(ChooseMode("\xC3\xB6"), TQRMode::qmByte);
}

TEST(QRBitStream, CapacitiesAtTheBoundaries) {
    EXPECT_EQ(QRCapacity(0, 1, TQRMode::qmNumeric), 41);
    EXPECT_EQ(QRCapacity(0, 1, TQRMode::qmAlphanumeric), 25);
    EXPECT_EQ(QRCapacity(0, 1, TQRMode::qmByte), 17);
    EXPECT_EQ(QRCapacity(1, 1, TQRMode::qmByte), 14);
    EXPECT_EQ(QRCapacity(1, 40, TQRMode::qmByte), 2331);
    EXPECT_EQ(QRCapacity(0, 40, TQRMode::qmNumeric), 7089);
    EXPECT_EQ(QRCapacity(0, 40, TQRMode::qmAlphanumeric), 4296);
    EXPECT_EQ(QRCapacity(3, 40, TQRMode::qmByte), 1273);
    EXPECT_EQ(ChooseVersion(1, TQRMode::qmByte, 14), 1);
    EXPECT_EQ(ChooseVersion(1, TQRMode::qmByte, 15), 2);
    EXPECT_EQ(ChooseVersion(1, TQRMode::qmByte, 2331), 40);
    EXPECT_EQ(ChooseVersion(1, TQRMode::qmByte, 2332), 0);
    EXPECT_EQ(ChooseVersion(0, TQRMode::qmNumeric, 41), 1);
    EXPECT_EQ(ChooseVersion(0, TQRMode::qmNumeric, 42), 2);
    EXPECT_EQ(ChooseVersion(0, TQRMode::qmAlphanumeric, 26), 2);
    EXPECT_EQ(ChooseVersion(2, TQRMode::qmNumeric, 0), 1);
}

TEST(QRBitStream, DataCodewordsOfTheWorkedExample) {
    EXPECT_EQ(BuildDataCodewords("01234567", TQRMode::qmNumeric, 1, 1),
              (Bytes{0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11}));
}

TEST(QRBitStream, NumericAndAlphanumericGroups) {
    // 0001 | count 3 in 10 bits | "012" as 12 in 10 bits | terminator | fill.
    EXPECT_EQ(BuildDataCodewords("012", TQRMode::qmNumeric, 3, 1),
              (Bytes{0x10, 0x0C, 0x0C, 0x00, 0xEC, 0x11, 0xEC, 0x11, 0xEC}));
    // "AC-42" at Q: 0010 | count 5 in 9 bits | "AC" 462 and "-4" 1849 in 11
    // bits | "2" in 6 bits | terminator | fill.
    const Bytes data = BuildDataCodewords("AC-42", TQRMode::qmAlphanumeric, 2, 1);
    EXPECT_EQ((Bytes{data.begin(), data.begin() + 6}), (Bytes{0x20, 0x29, 0xCE, 0xE7, 0x21, 0x00}));
    // Empty text: mode and a zero count only.
    EXPECT_EQ(BuildDataCodewords("", TQRMode::qmNumeric, 0, 1)[0], 0x10);
    EXPECT_EQ(BuildDataCodewords("", TQRMode::qmNumeric, 0, 1)[1], 0x00);
}

TEST(QRBitStream, TerminatorOnlyWhenItFits) {
    // 17 bytes at 1-L end exactly 4 bits short (4 + 8 + 136 = 148 of 152):
    // the terminator fills them and no pad follows.
    const Bytes full = BuildDataCodewords(std::string(17, 'a'), TQRMode::qmByte, 0, 1);
    ASSERT_EQ(full.size(), 19u);
    EXPECT_EQ(full.back(), 0x10);  // low nibble of 'a' then the terminator
    // 41 digits at 1-L: 4 + 10 + 13 x 10 + 7 = 151 bits, one short of the
    // capacity: no terminator, one fill bit, no pad codeword.
    const Bytes full41 = BuildDataCodewords(std::string(41, '9'), TQRMode::qmNumeric, 0, 1);
    ASSERT_EQ(full41.size(), 19u);
    EXPECT_EQ(full41.back() & 1, 0);  // the single free bit is a fill bit
}

TEST(QRBitStream, PayloadConversion) {
    EXPECT_EQ(QRPayloadBytes("Grö\xC3\x9F" "e", true), "Grö\xC3\x9F" "e");
    EXPECT_EQ(QRPayloadBytes("\xC3\xB6", true), "\xC3\xB6");
    EXPECT_EQ(QRPayloadBytes("\xC3\xB6", false), "\xF6");
    EXPECT_EQ(QRPayloadBytes("\xE2\x82\xAC", false), "\x80");  // euro sign in Windows-1252
    EXPECT_EQ(QRPayloadBytes("\xE4\xB8\xAD", false), "?");     // not in Windows-1252
    EXPECT_EQ(QRPayloadBytes("a\xFF" "b", true), "a\xEF\xBF\xBD" "b");
}

TEST(QRReedSolomon, GaloisFieldTables) {
    EXPECT_EQ(GFExp(0), 1);
    EXPECT_EQ(GFExp(8), 0x1D);
    EXPECT_EQ(GFExp(255), 1);
    for (int v = 1; v < 256; ++v) EXPECT_EQ(GFExp(GFLog(static_cast<std::uint8_t>(v))), v);
    EXPECT_EQ(GFMultiply(0, 7), 0);
    EXPECT_EQ(GFMultiply(0x80, 2), 0x1D);
}

TEST(QRReedSolomon, GeneratorPolynomials) {
    const auto g7 = GeneratorExponents(7);
    EXPECT_EQ((Bytes{g7.begin(), g7.end()}), (Bytes{0, 87, 229, 146, 149, 238, 102, 21}));
    const auto g10 = GeneratorExponents(10);
    EXPECT_EQ((Bytes{g10.begin(), g10.end()}), (Bytes{0, 251, 67, 46, 61, 118, 70, 64, 94, 32, 45}));
    // Every generator vanishes at its roots 2^0 .. 2^(e-1).
    for (const int e : kQRECDegrees) {
        const auto g = GeneratorExponents(e);
        ASSERT_EQ(static_cast<int>(g.size()), e + 1);
        for (int root = 0; root < e; ++root) {
            std::uint8_t value = 0;
            for (int k = 0; k <= e; ++k)
                value ^= GFExp(g[static_cast<std::size_t>(k)] + root * (e - k));
            EXPECT_EQ(value, 0) << "degree " << e << " root " << root;
        }
    }
}

TEST(QRReedSolomon, WorkedExampleAndErrors) {
    const Bytes data{0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11};
    EXPECT_EQ(ReedSolomonCodewords(data, 10), (Bytes{0xA5, 0x24, 0xD4, 0xC1, 0xED, 0x36, 0xC7, 0x87, 0x2C, 0x55}));
    EXPECT_EQ(ReedSolomonCodewords(Bytes(20, 0), 22), Bytes(22, 0));
    for (const int degree : {0, 6, 8, 29, 31, 68}) {
        try {
            ReedSolomonCodewords(data, degree);
            ADD_FAILURE() << degree;
        } catch (const EQuillmarkError& e) {
            EXPECT_STREQ(e.what(), "Ungültiges Stream-Format");
        }
    }
}

TEST(QRReedSolomon, CodewordsAreACodeword) {
    // data followed by its EC codewords, as a polynomial, is divisible by the
    // generator: it vanishes at every root.
    for (const int e : kQRECDegrees) {
        const std::string text = test::RandomText(static_cast<std::size_t>(e) * 3, "abcdefghij\x01\xFF", static_cast<std::uint32_t>(e));
        Bytes block(text.begin(), text.end());
        const Bytes ec = ReedSolomonCodewords(block, e);
        block.insert(block.end(), ec.begin(), ec.end());
        for (int root = 0; root < e; ++root) {
            std::uint8_t value = 0;
            for (const std::uint8_t c : block) value = GFMultiply(value, GFExp(root)) ^ c;
            EXPECT_EQ(value, 0) << e << "/" << root;
        }
    }
}

TEST(QRReedSolomon, InterleavingOrder) {
    Bytes data(62);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
    const TListByte sequence = InterleaveCodewords(data, 2, 5);  // 5-Q: 15, 15, 16, 16 data codewords
    ASSERT_EQ(sequence.Count(), 134);
    EXPECT_EQ(sequence.Items(0), 0);
    EXPECT_EQ(sequence.Items(1), 15);
    EXPECT_EQ(sequence.Items(2), 30);
    EXPECT_EQ(sequence.Items(3), 46);
    EXPECT_EQ(sequence.Items(4), 1);
    EXPECT_EQ(sequence.Items(59), 46 + 14);  // codeword 14 of block 4
    EXPECT_EQ(sequence.Items(60), 45);  // the extra codewords of the long blocks
    EXPECT_EQ(sequence.Items(61), 61);
    const Bytes ec1 = ReedSolomonCodewords(std::span(data).subspan(0, 15), 18);
    const Bytes ec4 = ReedSolomonCodewords(std::span(data).subspan(46, 16), 18);
    EXPECT_EQ(sequence.Items(62), ec1[0]);
    EXPECT_EQ(sequence.Items(65), ec4[0]);
    EXPECT_EQ(sequence.Items(133), ec4[17]);
}

TEST(QRReedSolomon, EveryVersionAndLevelGivesTotalCodewords) {
    for (int level = 0; level < 4; ++level)
        for (int v = 1; v <= 40; ++v) {
            const TListByte sequence = InterleaveCodewords(Bytes(DataCodewords(level, v), 0x5A), level, v);
            EXPECT_EQ(sequence.Count(), TotalCodewords(v));
            EXPECT_EQ(sequence.Capacity(), TotalCodewords(v));
        }
}

TEST(QREncoder, TooLongAndInvalidLevel) {
    EXPECT_EQ(EncodeQRBytes(std::string(2331, 'x'), 1).Version, 40);
    try {
        EncodeQRBytes(std::string(2332, 'x'), 1);
        ADD_FAILURE();
    } catch (const EQuillmarkError& e) {
        EXPECT_STREQ(e.what(), "Zu viele Einträge in der Liste (2332)");
    }
    EXPECT_THROW(EncodeQRBytes("1", 4), EQuillmarkError);
    EXPECT_THROW(EncodeQRBytes("1", -1), EQuillmarkError);
    EXPECT_EQ(EncodeQRBytes(std::string(7089, '1'), 0).Version, 40);
    EXPECT_THROW(EncodeQRBytes(std::string(7090, '1'), 0), EQuillmarkError);
}

}  // namespace
}  // namespace qm
