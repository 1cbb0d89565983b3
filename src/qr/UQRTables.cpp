// Constant tables of the QR Code symbology, transcribed from ISO/IEC 18004
// and cross-checked by the tests against the generating rules of the
// standard (codeword capacity formula, BCH codes, alignment spacing).
#include "UQRTables.h"

namespace qm {

namespace {

// ISO/IEC 18004 table 1: total number of codewords per version.
// versions 1..10 | 11..20 | 21..30 | 31..40, ten per row
constexpr std::array<std::uint16_t, 40> kTotalCodewords{
    26,   44,   70,   100,  134,  172,  196,  242,  292,  346,
    404,  466,  532,  581,  655,  733,  815,  901,  991,  1085,
    1156, 1258, 1364, 1474, 1588, 1706, 1828, 1921, 2051, 2185,
    2323, 2465, 2611, 2761, 2876, 3034, 3196, 3362, 3532, 3706,
};

// ISO/IEC 18004 table 7: number of data codewords per level and version.
// level (L, M, Q, H) x versions 1..40, ten per row
constexpr std::array<std::array<std::uint16_t, 40>, 4> kDataCodewords{{
  {  // L
    19,   34,   55,   80,   108,  136,  156,  194,  232,  274,
    324,  370,  428,  461,  523,  589,  647,  721,  795,  861,
    932,  1006, 1094, 1174, 1276, 1370, 1468, 1531, 1631, 1735,
    1843, 1955, 2071, 2191, 2306, 2434, 2566, 2702, 2812, 2956,
  },
  {  // M
    16,   28,   44,   64,   86,   108,  124,  154,  182,  216,
    254,  290,  334,  365,  415,  453,  507,  563,  627,  669,
    714,  782,  860,  914,  1000, 1062, 1128, 1193, 1267, 1373,
    1455, 1541, 1631, 1725, 1812, 1914, 1992, 2102, 2216, 2334,
  },
  {  // Q
    13,   22,   34,   48,   62,   76,   88,   110,  132,  154,
    180,  206,  244,  261,  295,  325,  367,  397,  445,  485,
    512,  568,  614,  664,  718,  754,  808,  871,  911,  985,
    1033, 1115, 1171, 1231, 1286, 1354, 1426, 1502, 1582, 1666,
  },
  {  // H
    9,    16,   26,   36,   46,   60,   66,   86,   100,  122,
    140,  158,  180,  197,  223,  253,  283,  313,  341,  385,
    406,  442,  464,  514,  538,  596,  628,  661,  701,  745,
    793,  845,  901,  961,  986,  1054, 1096, 1142, 1222, 1276,
  },
}};

// ISO/IEC 18004 table 9: number of error correction blocks (both kinds)
// per level and version.
// level (L, M, Q, H) x versions 1..40, ten per row
constexpr std::array<std::array<std::uint8_t, 40>, 4> kBlockCount{{
  {  // L
    1,  1,  1,  1,  1,  2,  2,  2,  2,  4,
    4,  4,  4,  4,  6,  6,  6,  6,  7,  8,
    8,  9,  9,  10, 12, 12, 12, 13, 14, 15,
    16, 17, 18, 19, 19, 20, 21, 22, 24, 25,
  },
  {  // M
    1,  1,  1,  2,  2,  4,  4,  4,  5,  5,
    5,  8,  9,  9,  10, 10, 11, 13, 14, 16,
    17, 17, 18, 20, 21, 23, 25, 26, 28, 29,
    31, 33, 35, 37, 38, 40, 43, 45, 47, 49,
  },
  {  // Q
    1,  1,  2,  2,  4,  4,  6,  6,  8,  8,
    8,  10, 12, 16, 12, 17, 16, 18, 21, 20,
    23, 23, 25, 27, 29, 34, 34, 35, 38, 40,
    43, 45, 48, 51, 53, 56, 59, 62, 65, 68,
  },
  {  // H
    1,  1,  2,  4,  4,  4,  5,  6,  8,  8,
    11, 11, 16, 16, 18, 16, 19, 21, 25, 25,
    25, 34, 30, 32, 35, 37, 40, 42, 45, 48,
    51, 54, 57, 60, 63, 66, 70, 74, 77, 81,
  },
}};

// ISO/IEC 18004 annex E, table E.1: row/column coordinates of the
// alignment pattern centres.
// version: centre coordinates
struct TAlignmentRow {
    std::uint8_t Count;
    std::array<std::uint8_t, 7> Centres;
};
constexpr std::array<TAlignmentRow, 40> kAlignmentCentres{{
    {0, {}},  // 1
    {2, {6, 18}},  // 2
    {2, {6, 22}},  // 3
    {2, {6, 26}},  // 4
    {2, {6, 30}},  // 5
    {2, {6, 34}},  // 6
    {3, {6, 22, 38}},  // 7
    {3, {6, 24, 42}},  // 8
    {3, {6, 26, 46}},  // 9
    {3, {6, 28, 50}},  // 10
    {3, {6, 30, 54}},  // 11
    {3, {6, 32, 58}},  // 12
    {3, {6, 34, 62}},  // 13
    {4, {6, 26, 46, 66}},  // 14
    {4, {6, 26, 48, 70}},  // 15
    {4, {6, 26, 50, 74}},  // 16
    {4, {6, 30, 54, 78}},  // 17
    {4, {6, 30, 56, 82}},  // 18
    {4, {6, 30, 58, 86}},  // 19
    {4, {6, 34, 62, 90}},  // 20
    {5, {6, 28, 50, 72, 94}},  // 21
    {5, {6, 26, 50, 74, 98}},  // 22
    {5, {6, 30, 54, 78, 102}},  // 23
    {5, {6, 28, 54, 80, 106}},  // 24
    {5, {6, 32, 58, 84, 110}},  // 25
    {5, {6, 30, 58, 86, 114}},  // 26
    {5, {6, 34, 62, 90, 118}},  // 27
    {6, {6, 26, 50, 74, 98, 122}},  // 28
    {6, {6, 30, 54, 78, 102, 126}},  // 29
    {6, {6, 26, 52, 78, 104, 130}},  // 30
    {6, {6, 30, 56, 82, 108, 134}},  // 31
    {6, {6, 34, 60, 86, 112, 138}},  // 32
    {6, {6, 30, 58, 86, 114, 142}},  // 33
    {6, {6, 34, 62, 90, 118, 146}},  // 34
    {7, {6, 30, 54, 78, 102, 126, 150}},  // 35
    {7, {6, 24, 50, 76, 102, 128, 154}},  // 36
    {7, {6, 28, 54, 80, 106, 132, 158}},  // 37
    {7, {6, 32, 58, 84, 110, 136, 162}},  // 38
    {7, {6, 26, 54, 82, 110, 138, 166}},  // 39
    {7, {6, 30, 58, 86, 114, 142, 170}},  // 40
}};

// ISO/IEC 18004 annex D, table D.1: version information words.
// versions 7..40, six per row
constexpr std::array<std::uint32_t, 34> kVersionWords{
    0x07C94, 0x085BC, 0x09A99, 0x0A4D3, 0x0BBF6, 0x0C762,
    0x0D847, 0x0E60D, 0x0F928, 0x10B78, 0x1145D, 0x12A17,
    0x13532, 0x149A6, 0x15683, 0x168C9, 0x177EC, 0x18EC4,
    0x191E1, 0x1AFAB, 0x1B08E, 0x1CC1A, 0x1D33F, 0x1ED75,
    0x1F250, 0x209D5, 0x216F0, 0x228BA, 0x2379F, 0x24B0B,
    0x2542E, 0x26A64, 0x27541, 0x28C69,
};

// ISO/IEC 18004 annex C, table C.1: format information words after the
// XOR with 0x5412.
// level (L, M, Q, H) x mask references 0..7
constexpr std::array<std::array<std::uint16_t, 8>, 4> kFormatWords{{
    {0x77C4, 0x72F3, 0x7DAA, 0x789D, 0x662F, 0x6318, 0x6C41, 0x6976},  // L
    {0x5412, 0x5125, 0x5E7C, 0x5B4B, 0x45F9, 0x40CE, 0x4F97, 0x4AA0},  // M
    {0x355F, 0x3068, 0x3F31, 0x3A06, 0x24B4, 0x2183, 0x2EDA, 0x2BED},  // Q
    {0x1689, 0x13BE, 0x1CE7, 0x19D0, 0x0762, 0x0255, 0x0D0C, 0x083B},  // H
}};

// ISO/IEC 18004 table 5: the 45 characters of the alphanumeric set, in
// value order.
constexpr std::string_view kAlphanumericSet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";

constexpr std::array<std::int8_t, 256> MakeAlphanumericValues() {
    std::array<std::int8_t, 256> values{};
    values.fill(-1);
    for (std::size_t i = 0; i < kAlphanumericSet.size(); ++i)
        values[static_cast<std::uint8_t>(kAlphanumericSet[i])] = static_cast<std::int8_t>(i);
    return values;
}
constexpr std::array<std::int8_t, 256> kAlphanumericValues = MakeAlphanumericValues();

}  // namespace

std::uint16_t TotalCodewords(int version) noexcept { return kTotalCodewords[version - 1]; }

std::uint16_t DataCodewords(int level, int version) noexcept {
    return kDataCodewords[level][version - 1];
}

std::uint8_t BlockCount(int level, int version) noexcept { return kBlockCount[level][version - 1]; }

std::span<const std::uint8_t> AlignmentCentres(int version) noexcept {
    const TAlignmentRow& row = kAlignmentCentres[version - 1];
    return {row.Centres.data(), row.Count};
}

std::uint32_t VersionWord(int version) noexcept { return kVersionWords[version - 7]; }

std::uint16_t FormatWord(int level, int mask) noexcept { return kFormatWords[level][mask]; }

int CharCountBits(TQRMode mode, int version) noexcept {
    // ISO/IEC 18004 table 3: character count indicator bits.
    // mode | versions 1-9 | 10-26 | 27-40
    static constexpr int kBits[3][3] = {
        {10, 12, 14},  // numeric
        {9, 11, 13},   // alphanumeric
        {8, 16, 16},   // byte
    };
    const int row = mode == TQRMode::qmNumeric ? 0 : mode == TQRMode::qmAlphanumeric ? 1 : 2;
    const int column = version <= 9 ? 0 : version <= 26 ? 1 : 2;
    return kBits[row][column];
}

int AlphanumericValue(std::uint8_t byte) noexcept { return kAlphanumericValues[byte]; }

}  // namespace qm
