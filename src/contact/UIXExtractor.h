// Picks the e-mail addresses and telephone numbers out of the host's free-text
// communication field "IX" by simple word rules.
#pragma once

#include <string_view>

#include "UStringList.h"

namespace qm {

// Least number of entries in each list SplitCommunicationField returns;
// missing entries are empty strings.
inline constexpr std::size_t kCommunicationListMinimum = 50;

// Clears both lists and fills them from `text` (UTF-8, any length):
// - words are cut at every space (code 32 only); words of 3 characters or
//   fewer are skipped;
// - a word with "@" of at least 6 characters is an e-mail address, kept once
//   (compared ignoring letter case, the first spelling wins);
// - a word of at least 9 digits only that begins with "0" is a telephone
//   number, kept once;
// - each list is padded with empty strings to kCommunicationListMinimum
//   entries and sorted by CompareNatural (empty entries first).
// Raises nothing of its own.
void SplitCommunicationField(std::string_view text, TStringList& emails, TStringList& phones);

// Natural order: negative, zero or positive as `a` sorts before, with or
// after `b`. Strings equal ignoring letter case compare equal; an empty
// string sorts before any other; otherwise both are cut into maximal runs of
// digits and of other characters and compared run by run: two digit runs as
// integers when both strings are shorter than 10 characters, everything else
// as text ignoring letter case. The walk ends with the shorter string, so
// "a1", "a01" and "a1b" all equal each other: this is not a strict weak
// ordering and must not be used with std::sort.
int CompareNatural(std::string_view a, std::string_view b);

// Sorts `list` by CompareNatural with a quicksort that stays inside the list
// for any comparison that answers 0 for an entry compared with itself.
// Entries that compare equal end in no defined order.
void SortNatural(TStringList& list);

}  // namespace qm
