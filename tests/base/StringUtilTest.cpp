#include <gtest/gtest.h>

#include "UStringList.h"
#include "UStringUtil.h"

using namespace qm;
using V = std::vector<std::string>;

TEST(MakeSafeFileName, RemovesForbiddenAndControlCharactersAndTrims) {
    EXPECT_EQ(MakeSafeFileName("M\xC3\xBCller / Partner: \"B\xC3\xBCro\""), "M\xC3\xBCller  Partner B\xC3\xBCro");
    EXPECT_EQ(MakeSafeFileName("  Max  Muster  "), "Max  Muster");
    EXPECT_EQ(MakeSafeFileName("  Max  Muster  ", true), "MaxMuster");
    EXPECT_EQ(MakeSafeFileName("\\?|><:/*\""), "");
    EXPECT_EQ(MakeSafeFileName("a\tb\nc\x01" "d"), "abcd");
    EXPECT_EQ(MakeSafeFileName(std::string("An\0na Berg", 10)), "Anna Berg");  // a NUL would end the path
    EXPECT_EQ(MakeSafeFileName("O'Brien & S\xC3\xB6hne, Inc. #1"), "O'Brien & S\xC3\xB6hne, Inc. #1");
}

TEST(MakeSafeFileName, CutsLongNamesAtCharacterBoundary) {
    std::string longName;
    for (int i = 0; i < 200; ++i) longName += "\xC3\xA4";  // 400 bytes of "ä"
    const std::string safe = MakeSafeFileName(longName);
    EXPECT_LE(safe.size() + 4, 255u);
    EXPECT_EQ(safe.size(), 250u);  // 251 would split a two-byte character
    EXPECT_EQ(safe, longName.substr(0, 250));
    // A cut that leaves a trailing space trims it.
    EXPECT_EQ(MakeSafeFileName(std::string(250, 'a') + " bcd"), std::string(250, 'a'));
}

TEST(CutAtCharBoundary, NeverSplitsACharacter) {
    EXPECT_EQ(CutAtCharBoundary("Weiß", 10), 5u);
    EXPECT_EQ(CutAtCharBoundary("Weiß", 5), 5u);
    EXPECT_EQ(CutAtCharBoundary("Weiß", 4), 3u);
    EXPECT_EQ(CutAtCharBoundary("\xF0\x9F\x98\x80x", 3), 0u);
    EXPECT_EQ(CutAtCharBoundary("a\xFF\xFF" "b", 2), 2u);  // invalid bytes count one each
    EXPECT_EQ(CutAtCharBoundary("", 0), 0u);
}

TEST(TrailingBackslash, FollowsWindowsPathRules) {
    EXPECT_EQ(AddTrailingBackslash(""), "");
    EXPECT_EQ(AddTrailingBackslash("D"), "D:\\");
    EXPECT_EQ(AddTrailingBackslash("d"), "d:\\");
    EXPECT_EQ(AddTrailingBackslash("1"), "1\\");
    EXPECT_EQ(AddTrailingBackslash("D:"), "D:");
    EXPECT_EQ(AddTrailingBackslash("C:\\Temp\\"), "C:\\Temp\\");
    EXPECT_EQ(AddTrailingBackslash("\\\\server\\share"), "\\\\server\\share\\");
    EXPECT_EQ(RemoveTrailingBackslash("C:\\Temp\\"), "C:\\Temp");
    EXPECT_EQ(RemoveTrailingBackslash("C:\\Temp\\\\"), "C:\\Temp\\");
    EXPECT_EQ(RemoveTrailingBackslash(""), "");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp"), std::string("/tmp") + kPathDelimiter);
    EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp/"), "/tmp/");
    EXPECT_EQ(IncludeTrailingPathDelimiter(""), "");
}

#ifdef _WIN32
TEST(PathDelimiter, WindowsSplitsAtBackslashSlashAndDrive) {
    EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\Temp"), "C:\\Temp\\");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("C:\\Temp\\"), "C:\\Temp");
    EXPECT_EQ(ExtractFilePath("C:\\Temp/a\\card.vcf"), "C:\\Temp/a\\");
    EXPECT_EQ(ExtractFileName("C:\\Temp/a\\card.vcf"), "card.vcf");
    EXPECT_EQ(ExtractFileName("D:card.vcf"), "card.vcf");
}
#endif

TEST(SplitString, PiecesMaximumAndPadding) {
    EXPECT_EQ(SplitString(",", "10,20,30,40,50", 4, 4), (V{"10", "20", "30", "40,50"}));
    EXPECT_EQ(SplitString(",", ",80", 4, 4), (V{"", "80", "", ""}));
    EXPECT_EQ(SplitString(",", "", 4, 4), V{});
    EXPECT_EQ(SplitString(",", "a,b", -1, 4), V{});
    EXPECT_EQ(SplitString("", "a,b", 0, 0), V{"a,b"});
    EXPECT_EQ(SplitString(",", "a,b,", 0, 0), (V{"a", "b"}));
    EXPECT_EQ(SplitString(",", "a,,b", 0, 0), (V{"a", "", "b"}));
    EXPECT_EQ(SplitString(",", "a,b,c", 0, 2), (V{"a", "b"}));
    EXPECT_EQ(SplitString("\r\n", "one\r\ntwo", 0, 0), (V{"one", "two"}));
    EXPECT_EQ(SplitString(",", ",", 0, 0), V{""});
    EXPECT_EQ(SplitString(",", "100,200,300,400", 4, 4), (V{"100", "200", "300", "400"}));
}

TEST(ReplaceAllIgnoreCase, FoldsAsciiAndWindows1252Letters) {
    auto r = [](std::string text, std::string_view o, std::string_view n) {
        ReplaceAllIgnoreCase(text, o, n);
        return text;
    };
    EXPECT_EQ(r("Stra\xC3\x9F" "e STRASSE", "strasse", "Str."), "Stra\xC3\x9F" "e Str.");
    EXPECT_EQ(r("    ", "  ", " "), "  ");
    EXPECT_EQ(r("\xC3\x84pfel \xC3\xA4PFEL", "\xC3\xA4pfel", "x"), "x x");
    EXPECT_EQ(r("\xC5\xA0koda \xC5\xA1KODA", "\xC5\xA1koda", "S"), "S S");        // Š / š
    EXPECT_EQ(r("\xC5\xB8 \xC3\xBF", "\xC3\xBF", "y"), "y y");                     // Ÿ / ÿ
    EXPECT_EQ(r("\xC3\x97\xC3\xB7", "\xC3\xB7", "d"), "\xC3\x97" "d");           // × is not ÷
    EXPECT_EQ(r("abc", "", "x"), "abc");
    EXPECT_EQ(r("", "a", "x"), "");
    EXPECT_EQ(r("ab", "abc", "x"), "ab");
    EXPECT_EQ(r("aXa", "x", "xx"), "axxa");  // replaced text is not scanned again
    // Invalid bytes match only themselves and are kept.
    EXPECT_EQ(r("a\xFF" "b\xFE", "\xFF" "B", "-"), "a-\xFE");
}

TEST(StringList, TextRoundTripsWithAnyLineBreak) {
    TStringList l;
    l.SetText("a\r\nb\nc\rd\r\n");
    EXPECT_EQ(l.Items, (V{"a", "b", "c", "d"}));
    EXPECT_EQ(l.Text(), "a\r\nb\r\nc\r\nd\r\n");
    l.SetText("");
    EXPECT_TRUE(l.Empty());
    l.SetText("\n\nx");
    EXPECT_EQ(l.Items, (V{"", "", "x"}));
    l.SetText("x\r\r\n");
    EXPECT_EQ(l.Items, (V{"x", ""}));
}

// Names Windows takes for devices get "_" in front on every platform, so the
// same record gives the same file name on both.
TEST(StringUtil, ReservedDeviceNamesBecomeFiles) {
    const std::pair<std::string, std::string> cases[] = {
        {"Con.Tec GmbH", "_Con.Tec GmbH"}, {"Aux.Mobil AG", "_Aux.Mobil AG"}, {"Prn.Service", "_Prn.Service"},
        {"Nul", "_Nul"},                   {"nul.service", "_nul.service"}, {"COM1", "_COM1"},
        {"lpt9.txt", "_lpt9.txt"},         {"COM\xC2\xB9", "_COM\xC2\xB9"}, {"conin$", "_conin$"},
        {"CON .x", "_CON .x"},             {"Console", "Console"},         {"COM10", "COM10"},
        {"Anna Con", "Anna Con"},          {"LPT", "LPT"},                 {"AUX1", "AUX1"},
        {"COM0", "_COM0"},                 {"lpt0.log", "_lpt0.log"},      {"COMA", "COMA"},
    };
    for (const auto& [name, safe] : cases) EXPECT_EQ(MakeSafeFileName(name), safe) << name;
}

TEST(StringUtil, ControlCharactersAreShownAsEscapes) {
    const std::pair<std::string, std::string> cases[] = {
        {"MAIN\b", "MAIN\\x08"},
        {std::string("a\0b", 3), "a\\x00b"},
        {"\x1B[2J\t\r\n\x7F", "\\x1B[2J\\x09\\x0D\\x0A\\x7F"},
        {"\xC2\x9B" "31m", "\\u009B31m"},                // CSI as one C1 character
        {"C:\\db\\J\xC3\xBCrgen \xC2\xA0", "C:\\db\\J\xC3\xBCrgen \xC2\xA0"},  // no control: unchanged
        {"\xC2", "\xC2"},                                 // a cut sequence stays
    };
    for (const auto& [text, shown] : cases) EXPECT_EQ(EscapeControlCharacters(text), shown) << text;
}

TEST(StringUtil, BaseNamesAreCutToFitThePathLimitAtACharacterBoundary) {
    const std::string folder = std::string(240, 'f');  // 240 characters
    EXPECT_EQ(FitBaseNameToPath("Anna", folder, 4, 259), "Anna");
    // 15 characters of room: "Jürgen Müller " is 14, the next "ß" still fits.
    EXPECT_EQ(FitBaseNameToPath("J\xC3\xBCrgen M\xC3\xBCller \xC3\x9F\xC3\x9F", folder, 4, 259),
              "J\xC3\xBCrgen M\xC3\xBCller \xC3\x9F");
    // A character outside the basic plane takes two UTF-16 units.
    EXPECT_EQ(FitBaseNameToPath("ab\xF0\x9F\x98\x80", std::string(253, 'f'), 4, 259), "ab");
    EXPECT_EQ(FitBaseNameToPath("Anna", std::string(256, 'f'), 4, 259), "");
}
