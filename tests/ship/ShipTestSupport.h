// Reading the shipped documents in tests: fenced blocks marked by a
// comment, hex dumps, and the option names of a help text or manual page.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qm::test {

// The text of the fenced code block that follows the line
// "<!-- `marker` -->" in the Markdown `document`; raises std::runtime_error
// when there is none.
std::string MarkedBlock(const std::string& document, std::string_view marker);

// The bytes of a hex dump: lines that begin with a letter start a new
// write; other lines are "+OFFSET", hex byte pairs separated by one blank,
// and after two blanks or more a comment. OFFSET (decimal) must equal the
// number of bytes of the write before that line; raises
// std::runtime_error otherwise.
std::vector<std::string> HexDumpWrites(const std::string& block);

// The option names ("-v", "--verbose") of the option lines of a --help text:
// lines that begin with two blanks and a "-"; only the part before the
// description (two blanks or more) counts.
std::set<std::string> HelpOptions(const std::string& help);

// The option names of a manual page: the tag lines after ".TP", troff
// escapes removed.
std::set<std::string> ManPageOptions(const std::string& page);

}  // namespace qm::test
