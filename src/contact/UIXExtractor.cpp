#include "UIXExtractor.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "UStringUtil.h"
#include "UTextEncoding.h"

namespace qm {

namespace {

// Shortest word that is looked at (characters), and shortest e-mail address
// or telephone candidate.
constexpr std::size_t kMinWordLength = 4;
constexpr std::size_t kMinEntryLength = 6;
// A telephone number has more digits than this.
constexpr std::size_t kMaxShortNumberLength = 8;
// Digit runs compare as integers only while both strings are shorter.
constexpr std::size_t kNumericCompareLength = 10;

constexpr bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

std::size_t CharacterCount(std::string_view s) noexcept {
    return static_cast<std::size_t>(
        std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool AllDigits(std::string_view s) noexcept { return std::all_of(s.begin(), s.end(), IsDigit); }

// Text order ignoring letter case: folded code points, then length.
int CompareTextIgnoreCase(std::string_view a, std::string_view b) noexcept {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const TDecodedChar ca = DecodeUtf8Char(a.substr(i));
        const TDecodedChar cb = DecodeUtf8Char(b.substr(j));
        const char32_t fa = FoldCase(ca.CodePoint);
        const char32_t fb = FoldCase(cb.CodePoint);
        if (fa != fb) return fa < fb ? -1 : 1;
        i += ca.Length;
        j += cb.Length;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

// The maximal run of digits or of other characters that starts at `pos`.
std::string_view NextChunk(std::string_view s, std::size_t pos) noexcept {
    const bool digits = IsDigit(s[pos]);
    std::size_t end = pos + 1;
    while (end < s.size() && IsDigit(s[end]) == digits) ++end;
    return s.substr(pos, end - pos);
}

// Digit runs of at most 9 digits (both strings are shorter than 10
// characters), compared by value.
int CompareDigitRuns(std::string_view a, std::string_view b) noexcept {
    std::int64_t va = 0;
    std::int64_t vb = 0;
    for (char c : a) va = va * 10 + (c - '0');
    for (char c : b) vb = vb * 10 + (c - '0');
    return va < vb ? -1 : (va > vb ? 1 : 0);
}

// Hoare partitioning around the middle entry, tracking the pivot's position
// through swaps. Each scan stops at the pivot at the latest (an entry
// compares 0 with itself), and behind it at an entry already placed on the
// right side, so no comparison result can lead it out of [l, r]. Recurses
// into the smaller part only, keeping the stack depth logarithmic.
void QuickSortNatural(std::vector<std::string>& v, std::ptrdiff_t l, std::ptrdiff_t r) {
    while (l < r) {
        std::ptrdiff_t i = l;
        std::ptrdiff_t j = r;
        std::ptrdiff_t p = l + (r - l) / 2;
        do {
            while (CompareNatural(v[static_cast<std::size_t>(i)], v[static_cast<std::size_t>(p)]) < 0) ++i;
            while (CompareNatural(v[static_cast<std::size_t>(j)], v[static_cast<std::size_t>(p)]) > 0) --j;
            if (i <= j) {
                if (i != j) std::swap(v[static_cast<std::size_t>(i)], v[static_cast<std::size_t>(j)]);
                if (p == i) p = j;
                else if (p == j) p = i;
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - l < r - i) {
            if (l < j) QuickSortNatural(v, l, j);
            l = i;
        } else {
            if (i < r) QuickSortNatural(v, i, r);
            r = j;
        }
    }
}

// Sorted by `less`, the first of each run of entries equal by `equal` kept.
template <class Less, class Equal>
void SortUnique(std::vector<std::string>& v, Less less, Equal equal) {
    std::stable_sort(v.begin(), v.end(), less);
    v.erase(std::unique(v.begin(), v.end(), equal), v.end());
}

void PadAndSort(TStringList& list) {
    if (list.Count() < kCommunicationListMinimum) list.Items.resize(kCommunicationListMinimum);
    SortNatural(list);
}

}  // namespace

int CompareNatural(std::string_view a, std::string_view b) {
    if (SameTextIgnoreCase(a, b)) return 0;
    if (a.empty()) return -1;
    if (b.empty()) return 1;
    const bool numeric = CharacterCount(a) < kNumericCompareLength && CharacterCount(b) < kNumericCompareLength;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const std::string_view ca = NextChunk(a, i);
        const std::string_view cb = NextChunk(b, j);
        const int c = (numeric && IsDigit(ca[0]) && IsDigit(cb[0])) ? CompareDigitRuns(ca, cb)
                                                                     : CompareTextIgnoreCase(ca, cb);
        if (c != 0) return c;
        i += ca.size();
        j += cb.size();
    }
    return 0;
}

void SortNatural(TStringList& list) {
    if (list.Count() > 1) QuickSortNatural(list.Items, 0, static_cast<std::ptrdiff_t>(list.Count()) - 1);
}

void SplitCommunicationField(std::string_view text, TStringList& emails, TStringList& phones) {
    emails.Clear();
    phones.Clear();
    std::vector<std::string> numbers;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t space = text.find(' ', start);
        const std::size_t end = space == std::string_view::npos ? text.size() : space;
        const std::string_view word = text.substr(start, end - start);
        start = end + 1;

        const std::size_t length = CharacterCount(word);
        if (length < kMinWordLength) continue;
        const bool hasAt = word.find('@') != std::string_view::npos;
        if (!hasAt && !AllDigits(word)) continue;
        if (length < kMinEntryLength) continue;
        if (hasAt)
            emails.Add(std::string(word));
        else if (word.front() == '0')
            numbers.emplace_back(word);
    }

    SortUnique(
        emails.Items, [](const std::string& a, const std::string& b) { return CompareTextIgnoreCase(a, b) < 0; },
        [](const std::string& a, const std::string& b) { return SameTextIgnoreCase(a, b); });
    SortUnique(numbers, std::less<>(), std::equal_to<>());
    for (std::string& n : numbers)
        if (n.size() > kMaxShortNumberLength) phones.Add(std::move(n));

    PadAndSort(emails);
    PadAndSort(phones);
}

}  // namespace qm
