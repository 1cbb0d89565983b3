// The communication field extractor and its natural order.
#include "UIXExtractor.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qm {
namespace {

// `found` after (50 - found.size()) empty strings, or just `found` when it
// holds 50 entries or more.
std::vector<std::string> Padded(std::vector<std::string> found) {
    std::vector<std::string> out;
    if (found.size() < kCommunicationListMinimum) out.resize(kCommunicationListMinimum - found.size());
    out.insert(out.end(), found.begin(), found.end());
    return out;
}

struct TSplit {
    TStringList Emails;
    TStringList Phones;
};

TSplit Split(std::string_view text) {
    TSplit s;
    s.Emails.Add("stale");
    s.Phones.Add("stale");
    SplitCommunicationField(text, s.Emails, s.Phones);
    return s;
}

TEST(IXExtractorTest, EmptyTextGivesFiftyEmptyEntriesEach) {
    const TSplit s = Split("");
    EXPECT_EQ(s.Emails.Items, Padded({}));
    EXPECT_EQ(s.Phones.Items, Padded({}));
}

TEST(IXExtractorTest, TypicalFieldGivesPhonesAndEmails) {
    const TSplit s = Split("Tel. 0111111111 Fax 0122222222 mobil 0133/3333333 abc@de");
    EXPECT_EQ(s.Phones.Items, Padded({"0111111111", "0122222222"}));
    EXPECT_EQ(s.Emails.Items, Padded({"abc@de"}));
}

TEST(IXExtractorTest, OnlySpacesSeparateWords) {
    EXPECT_EQ(Split("0111111111,0122222222").Phones.Items, Padded({}));
    EXPECT_EQ(Split("0111111111\t0122222222").Phones.Items, Padded({}));
    EXPECT_EQ(Split("a@bcde;x@yzzz").Emails.Items, Padded({"a@bcde;x@yzzz"}));
    EXPECT_EQ(Split("  0111111111   0122222222 ").Phones.Items, Padded({"0111111111", "0122222222"}));
}

TEST(IXExtractorTest, NumbersMustBeDigitsOnlyStartWithZeroAndHaveNineDigits) {
    EXPECT_EQ(Split("011 1111111").Phones.Items, Padded({}));
    EXPECT_EQ(Split("+49111111111").Phones.Items, Padded({}));
    EXPECT_EQ(Split("01111111").Phones.Items, Padded({}));
    EXPECT_EQ(Split("011111111").Phones.Items, Padded({"011111111"}));
    EXPECT_EQ(Split("1111111111").Phones.Items, Padded({}));
    EXPECT_EQ(Split("0111-111111 (0111)111111").Phones.Items, Padded({}));
}

TEST(IXExtractorTest, EmailsNeedSixCharactersAndAnAt) {
    EXPECT_EQ(Split("ab@c").Emails.Items, Padded({}));
    EXPECT_EQ(Split("ab@cd").Emails.Items, Padded({}));
    EXPECT_EQ(Split("abc@de").Emails.Items, Padded({"abc@de"}));
    EXPECT_EQ(Split("@@@@@@").Emails.Items, Padded({"@@@@@@"}));
    // Characters, not bytes: "ä@bc" is 4 characters in 5 bytes.
    EXPECT_EQ(Split("ä@bcd").Emails.Items, Padded({}));
    EXPECT_EQ(Split("ä@bcde").Emails.Items, Padded({"ä@bcde"}));
}

TEST(IXExtractorTest, RepeatsAreKeptOnce) {
    EXPECT_EQ(Split("Abc@De abc@de ABC@DE").Emails.Items, Padded({"Abc@De"}));
    EXPECT_EQ(Split("Müller@x.de MÜLLER@X.DE").Emails.Items, Padded({"Müller@x.de"}));
    EXPECT_EQ(Split("0111111111 0111111111").Phones.Items, Padded({"0111111111"}));
}

TEST(IXExtractorTest, ListsAreInNaturalOrder) {
    const TSplit s = Split("z@example.org 0999999999 0100000000 B@example.org a@example.org 012345678");
    EXPECT_EQ(s.Emails.Items, Padded({"a@example.org", "B@example.org", "z@example.org"}));
    // 10-digit numbers make the digit runs compare as text.
    EXPECT_EQ(s.Phones.Items, Padded({"0100000000", "012345678", "0999999999"}));
}

TEST(IXExtractorTest, SixtyNumbersGiveSixtyEntriesWithoutFiller) {
    std::vector<std::string> expected;
    for (int i = 0; i < 60; ++i) expected.push_back("0" + std::to_string(100000000 + i * 7919));
    std::shuffle(expected.begin(), expected.end(), std::mt19937(7));
    std::string text;
    for (const auto& n : expected) text += n + " ";
    std::sort(expected.begin(), expected.end());
    const TSplit s = Split(text);
    EXPECT_EQ(s.Phones.Items, expected);
    EXPECT_EQ(s.Emails.Items, Padded({}));
}

TEST(NaturalOrderTest, ComparesDigitRunsByValueInShortStrings) {
    EXPECT_LT(CompareNatural("a2", "a10"), 0);
    EXPECT_GT(CompareNatural("a10", "a2"), 0);
    EXPECT_LT(CompareNatural("x9y", "x10y"), 0);
    // From 10 characters on, digit runs compare as text.
    EXPECT_GT(CompareNatural("abcdefgh2", "abcdefgh10"), 0);
    EXPECT_LT(CompareNatural("abc", "abd"), 0);
    EXPECT_LT(CompareNatural("1abc", "abc"), 0);
}

TEST(NaturalOrderTest, IgnoresLetterCaseAndEndsWithTheShorterString) {
    EXPECT_EQ(CompareNatural("ABC", "abc"), 0);
    EXPECT_EQ(CompareNatural("Ärger", "ärger"), 0);
    EXPECT_EQ(CompareNatural("a1", "a01"), 0);
    EXPECT_EQ(CompareNatural("a1", "a1b"), 0);
    // Not transitive: both equal "a1", yet they differ from each other.
    EXPECT_EQ(CompareNatural("a1", "a01c"), 0);
    EXPECT_LT(CompareNatural("a1b", "a01c"), 0);
    EXPECT_LT(CompareNatural("", "a"), 0);
    EXPECT_GT(CompareNatural("a", ""), 0);
    EXPECT_EQ(CompareNatural("", ""), 0);
}

// The natural order is not a strict weak ordering; the sort must still stay
// inside the list and leave a permutation of it, sorted where the order is
// consistent.
TEST(NaturalOrderTest, SortSurvivesTheInconsistentOrder) {
    std::mt19937 rng(42);
    const char* parts[] = {"a", "A", "1", "01", "001", "b", "10", "2", "", "a1b", "z"};
    for (int round = 0; round < 300; ++round) {
        TStringList list;
        const int n = static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i) {
            std::string s;
            for (int k = static_cast<int>(rng() % 4); k > 0; --k) s += parts[rng() % std::size(parts)];
            list.Add(s);
        }
        std::vector<std::string> before = list.Items;
        SortNatural(list);
        std::vector<std::string> after = list.Items;
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        ASSERT_EQ(before, after);
    }
    TStringList digits{"0300000000", "0100000000", "", "0200000000", "", "010000000"};
    SortNatural(digits);
    EXPECT_EQ(digits.Items,
              (std::vector<std::string>{"", "", "010000000", "0100000000", "0200000000", "0300000000"}));
}

}  // namespace
}  // namespace qm
