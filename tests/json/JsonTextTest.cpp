// Text rules of the JSON document: splitting, classifying, numbers, escapes.
#include "UJsonText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm {
namespace {

std::vector<std::string> Split(std::string_view text, char sep) {
    std::vector<std::string> out;
    TTopLevelSplitter s(text, sep);
    for (std::string_view piece; s.Next(piece);) out.emplace_back(piece);
    return out;
}

using ::testing::ElementsAre;

TEST(JsonSplitTest, CutsAtTopLevelSeparatorsAndTrims) {
    EXPECT_THAT(Split("a, b ,c", ','), ElementsAre("a", "b", "c"));
    EXPECT_THAT(Split("\t a \n,\r b \x01", ','), ElementsAre("a", "b"));
    EXPECT_THAT(Split("", ','), ElementsAre());
    EXPECT_THAT(Split("   ", ','), ElementsAre());
}

TEST(JsonSplitTest, PiecesCutAtSeparatorStayEvenWhenEmptyTheLastOnlyWhenNot) {
    EXPECT_THAT(Split("a,", ','), ElementsAre("a"));
    EXPECT_THAT(Split(",a", ','), ElementsAre("", "a"));
    EXPECT_THAT(Split("a,,b", ','), ElementsAre("a", "", "b"));
    EXPECT_THAT(Split(",", ','), ElementsAre(""));
    EXPECT_THAT(Split("a, ", ','), ElementsAre("a"));
}

TEST(JsonSplitTest, SkipsQuotedAndBracketedRegions) {
    EXPECT_THAT(Split(R"("x,y",[1,2],{"a":1,"b":2})", ','), ElementsAre(R"("x,y")", "[1,2]", R"({"a":1,"b":2})"));
    EXPECT_THAT(Split(R"("a":"x:y,z")", ':'), ElementsAre(R"("a")", R"("x:y,z")"));
    // A backslash inside quotes hides the next character.
    EXPECT_THAT(Split(R"("a\",b",c)", ','), ElementsAre(R"("a\",b")", "c"));
    EXPECT_THAT(Split(R"("a\\",b)", ','), ElementsAre(R"("a\\")", "b"));
    // Quotes and brackets nest inside brackets.
    EXPECT_THAT(Split(R"([ "]", {"x":[1,2]} ],3)", ','), ElementsAre(R"([ "]", {"x":[1,2]} ])", "3"));
}

TEST(JsonSplitTest, RegionsLookOnlyForTheirOwnCloser) {
    EXPECT_THAT(Split("[1,},2],3", ','), ElementsAre("[1,},2]", "3"));
    // "]" inside the "{" region is ignored; "}" closes it, then "]" the array.
    EXPECT_THAT(Split("[{],}],3", ','), ElementsAre("[{],}]", "3"));
}

TEST(JsonSplitTest, UnclosedRegionRunsToTheEnd) {
    EXPECT_THAT(Split("a,[1,2", ','), ElementsAre("a", "[1,2"));
    EXPECT_THAT(Split(R"("abc,def)", ','), ElementsAre(R"("abc,def)"));
    EXPECT_THAT(Split(R"(x,"ab\)", ','), ElementsAre("x", R"("ab\)"));
}

TEST(JsonClassifyTest, DecidesByFirstAndLastCharacters) {
    struct Case {
        const char* text;
        TJsonKind kind;
    };
    const Case cases[] = {
        {"{}", TJsonKind::jvObject},     {"{ x }", TJsonKind::jvObject},  {"[]", TJsonKind::jvArray},
        {"[x]", TJsonKind::jvArray},     {R"("")", TJsonKind::jvString},  {R"("a"b")", TJsonKind::jvString},
        {"null", TJsonKind::jvNull},     {"NULL", TJsonKind::jvNull},     {"True", TJsonKind::jvBoolean},
        {"fALSE", TJsonKind::jvBoolean}, {"5", TJsonKind::jvNumber},      {"-1.5e3", TJsonKind::jvNumber},
        {"\"", TJsonKind::jvNone},       {"{", TJsonKind::jvNone},        {"nul", TJsonKind::jvNone},
        {"{]", TJsonKind::jvNone},       {R"("abc)", TJsonKind::jvNone},  {"", TJsonKind::jvNone},
        {"abc", TJsonKind::jvNone},      {"truex", TJsonKind::jvNone},
    };
    for (const Case& c : cases) {
        long double n = 0;
        EXPECT_EQ(ClassifyJsonText(c.text, n), c.kind) << c.text;
    }
    long double n = 0;
    ASSERT_EQ(ClassifyJsonText("-2.5", n), TJsonKind::jvNumber);
    EXPECT_EQ(n, -2.5L);
}

TEST(JsonNumberTest, AcceptsSignDigitsFractionExponent) {
    struct Case {
        const char* text;
        long double value;
    };
    const Case cases[] = {{"0", 0}, {"-0", -0.0L}, {"1.5", 1.5L}, {"+1", 1}, {"1e5", 1e5L}, {"1E+2", 100},
                          {"1.", 1}, {".5", 0.5L}, {"-.5e-3", -0.5e-3L}, {"00012", 12}, {"1e4000", 1e4000L}};
    for (const Case& c : cases) {
        long double v = -99;
        ASSERT_TRUE(ParseJsonNumber(c.text, v)) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

TEST(JsonNumberTest, RejectsEverythingElse) {
    for (const char* text : {"", "-", "+", ".", "e5", "1e", "1e+", "0x10", "inf", "-inf", "nan", "infinity", "1,5",
                             " 1", "1 ", "--1", "+-1", "1..2", "1e5.5", "1e99999", "1e-99999", "\xEF\xBC\x91"}) {
        long double v = 0;
        EXPECT_FALSE(ParseJsonNumber(text, v)) << text;
    }
}

TEST(JsonNumberTest, WritesUpToFifteenSignificantDigitsWithADot) {
    EXPECT_EQ(FormatJsonNumber(1.5L), "1.5");
    EXPECT_EQ(FormatJsonNumber(100), "100");
    EXPECT_EQ(FormatJsonNumber(0.1L), "0.1");
    EXPECT_EQ(FormatJsonNumber(-0.0L), "-0");
    EXPECT_EQ(FormatJsonNumber(123456789012345.0L), "123456789012345");
    EXPECT_EQ(FormatJsonNumber(1234567890123456.0L), "1.23456789012346e+15");
    EXPECT_EQ(FormatJsonNumber(1e20L), "1e+20");
    EXPECT_EQ(FormatJsonNumber(0.0001L), "0.0001");
    EXPECT_EQ(FormatJsonNumber(0.00001L), "1e-05");
    EXPECT_EQ(FormatJsonNumber(2.0L / 3.0L), "0.666666666666667");
}

std::string Decode(std::string_view inner) {
    std::string s;
    AppendDecodedJsonString(s, inner);
    return s;
}

std::string Encode(std::string_view text) {
    std::string s;
    AppendEncodedJsonString(s, text);
    return s;
}

TEST(JsonStringTest, DecodesTheShortEscapes) {
    EXPECT_EQ(Decode(R"(a\"b\/c\\d\be\ff\ng\rh\ti)"), "a\"b/c\\d\be\ff\ng\rh\ti");
    EXPECT_EQ(Decode(R"(\q\')"), "q'");
    EXPECT_EQ(Decode("abc\\"), "abc");
    EXPECT_EQ(Decode(""), "");
}

TEST(JsonStringTest, DecodesUnicodeEscapesToCharacters) {
    EXPECT_EQ(Decode(R"(\u00e4\u00C4)"), "ä" "Ä");
    EXPECT_EQ(Decode(R"(\u20ac)"), "€");
    EXPECT_EQ(Decode(R"(\u0141)"), "Ł");
    EXPECT_EQ(Decode(R"(\u0041\u0000z)"), std::string("A\0z", 3));
    // Hosts write Windows-1252 bytes 0x80..0x9F as byte escapes.
    EXPECT_EQ(Decode(R"(\u0080\u009a\u0081)"), "€" "š" "\u0081");
    // Surrogate pairs combine; lone halves become U+FFFD.
    EXPECT_EQ(Decode(R"(\ud83d\ude00)"), "😀");
    EXPECT_EQ(Decode(R"(\uD83D\uDE00x)"), "😀x");
    EXPECT_EQ(Decode(R"(\ud800)"), "\uFFFD");
    EXPECT_EQ(Decode(R"(\ud800\u0041)"), "\uFFFD" "A");
    EXPECT_EQ(Decode(R"(\ude00\ud83d)"), "\uFFFD" "\uFFFD");
}

TEST(JsonStringTest, ShortUnicodeEscapeStaysText) {
    EXPECT_EQ(Decode(R"(\u12)"), "u12");
    EXPECT_EQ(Decode(R"(x\u)"), "xu");
}

TEST(JsonStringTest, NonHexDigitRaisesInvalidHexNumber) {
    for (const char* inner : {R"(\uZZ12)", R"(\u12G4)", R"(ab\u-123)", R"(\ud83d\uZZZZ)"}) {
        try {
            Decode(inner);
            ADD_FAILURE() << inner;
        } catch (const EJsonError& e) {
            EXPECT_STREQ(e.what(), "InvalidHexNumber");
        }
    }
}

TEST(JsonStringTest, RawBytesThatAreNotUtf8ReadAsWindows1252) {
    EXPECT_EQ(Decode("Stra\xDF" "e \x80"), "Straße €");
    EXPECT_EQ(Decode("Stra\xC3\x9F" "e"), "Straße");
    // A raw C1 control reads like its escape, so that written text reads back the same.
    EXPECT_EQ(Decode("\xC2\x9B\xC2\x80\xC2\x81"), "›€\u0081");
    EXPECT_EQ(Decode(Encode(Decode("\xC2\x9B"))), Decode("\xC2\x9B"));
}

TEST(JsonStringTest, BackslashBeforeANonAsciiCharacterKeepsTheWholeCharacter) {
    EXPECT_EQ(Decode("a\\ä"), "aä");
    EXPECT_EQ(Decode("\\😀\\€"), "😀€");
    // A byte that is not UTF-8 after a backslash is read as Windows-1252, as anywhere else.
    EXPECT_EQ(Decode("J\\\xFC" "rgen \\\x80"), "Jürgen €");
}

TEST(JsonStringTest, EncodesToPureAscii) {
    EXPECT_EQ(Encode("plain text 123"), "plain text 123");
    EXPECT_EQ(Encode("\b\t\n\f\r\"/\\"), R"(\b\t\n\f\r\"\/\\)");
    EXPECT_EQ(Encode(std::string("\x01\x1f\x00\x7f", 4)), "\\u0001\\u001f\\u0000\x7f");
    EXPECT_EQ(Encode("ä€Ł"), R"(\u00e4\u20ac\u0141)");
    EXPECT_EQ(Encode("😀"), R"(\ud83d\ude00)");
    EXPECT_EQ(Encode("Stra\xDF" "e"), R"(Stra\u00dfe)");
    EXPECT_EQ(Encode("\x80"), R"(\u20ac)");
}

TEST(JsonStringTest, EncodeThenDecodeGivesTheText) {
    for (const char* text : {"", "abc", "Müller & Söhne \"GmbH\"", "a/b\\c\r\n\t", "€ 😀 Ł ÿ", "\x7f\x01"}) {
        EXPECT_EQ(Decode(Encode(text)), text) << text;
    }
}

}  // namespace
}  // namespace qm
