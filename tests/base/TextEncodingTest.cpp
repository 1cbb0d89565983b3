#include <gtest/gtest.h>

#include "UTextEncoding.h"

using namespace qm;

TEST(EncodeUtf8, CodeUnitBoundaries) {
    EXPECT_EQ(EncodeUtf8(u""), "");
    EXPECT_EQ(EncodeUtf8(u"\u007F"), "\x7F");
    EXPECT_EQ(EncodeUtf8(u"\u0080"), "\xC2\x80");
    EXPECT_EQ(EncodeUtf8(u"\u07FF"), "\xDF\xBF");
    EXPECT_EQ(EncodeUtf8(u"\u0800"), "\xE0\xA0\x80");
    EXPECT_EQ(EncodeUtf8(u"\uFFFF"), "\xEF\xBF\xBF");
    EXPECT_EQ(EncodeUtf8(u"M\u00fcller \u20ac"), "M\xC3\xBCller \xE2\x82\xAC");
}

TEST(EncodeUtf8, SurrogatePairsJoinAndLoneHalvesAreReplaced) {
    EXPECT_EQ(EncodeUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    const char16_t lone_high[] = {u'a', 0xD83D, u'b', 0};
    EXPECT_EQ(EncodeUtf8(lone_high), "a\xEF\xBF\xBD" "b");
    const char16_t lone_low[] = {0xDE00, 0};
    EXPECT_EQ(EncodeUtf8(lone_low), "\xEF\xBF\xBD");
    const char16_t reversed[] = {0xDE00, 0xD83D, 0};
    EXPECT_EQ(EncodeUtf8(reversed), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Utf8Decoding, RejectsOverlongSurrogateAndTruncatedForms) {
    for (std::string_view bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80"}) {
        const TDecodedChar d = DecodeUtf8Char(bad);
        EXPECT_EQ(d.Length, 1u) << bad;
        EXPECT_TRUE(IsEscapedByte(d.CodePoint));
    }
    EXPECT_EQ(DecodeUtf8Char("\xF4\x8F\xBF\xBF").CodePoint, 0x10FFFFu);
}

TEST(Utf16LE, RoundTripsThroughPipeBytes) {
    const std::string text = "D\xC3\xBCsseldorf \xF0\x9F\x98\x80";
    const std::string bytes = Utf8ToUtf16LEBytes(text);
    EXPECT_EQ(bytes.substr(0, 4), std::string("D\0\xFC\0", 4));
    EXPECT_EQ(bytes.size(), 2u * (11 + 2));
    EXPECT_EQ(Utf16LEBytesToUtf8(bytes), text);
    EXPECT_EQ(Utf16LEBytesToUtf8(bytes + "x"), text);  // odd trailing byte ignored
}

TEST(Windows1252, MapsHighRangeAndReplacesTheRest) {
    EXPECT_EQ(Cp1252ToUnicode(0x80), 0x20ACu);
    EXPECT_EQ(Cp1252ToUnicode(0x9F), 0x0178u);
    EXPECT_EQ(Cp1252ToUnicode(0x81), 0x81u);
    EXPECT_EQ(Cp1252ToUnicode(0xE4), 0xE4u);
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC \xC3\xA4 \xC5\x81 \xF0\x9F\x98\x80"), "\x80 \xE4 ? ?");
    EXPECT_EQ(Cp1252ToUtf8("\x80\xE4"), "\xE2\x82\xAC\xC3\xA4");
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(UnicodeToCp1252(Cp1252ToUnicode(static_cast<std::uint8_t>(b))), b);
    }
}
