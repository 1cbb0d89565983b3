// quillmark-card's two parsers of outside text: the command line, and the
// base names records bring along. The input is split at zero bytes into
// arguments (first byte even) or names (first byte odd).
//   Command line: an accepted one keeps every value in its range and parses
//   to the same options again when written back as arguments.
//   Names: the unique names differ pairwise ignoring case, stay within the
//   limit, and the first of each name keeps it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "UCardBatch.h"
#include "UErrors.h"
#include "UStringUtil.h"

namespace {

std::vector<std::string> SplitAtZero(std::string_view text, std::size_t most) {
    std::vector<std::string> parts;
    while (parts.size() < most) {
        const std::size_t end = text.find('\0');
        parts.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return parts;
}

bool Same(const qm::TCardToolOptions& a, const qm::TCardToolOptions& b) {
    return a.Settings.SizeMM == b.Settings.SizeMM && a.Settings.PixelsPerInch == b.Settings.PixelsPerInch &&
           a.Settings.MarginIndex == b.Settings.MarginIndex && a.Settings.ECLevel == b.Settings.ECLevel &&
           a.OutDir == b.OutDir && a.Jobs == b.Jobs && a.ToStdout == b.ToStdout && a.Testcase == b.Testcase &&
           a.Help == b.Help && a.ShowVersion == b.ShowVersion && a.Version == b.Version && a.Records == b.Records;
}

void CommandLine(const std::vector<std::string>& args) {
    qm::TCardToolOptions o;
    try {
        o = qm::ParseCardToolArgs(args);
    } catch (const qm::EQuillmarkError&) {
        return;
    }
    if (o.Help || o.ShowVersion) return;
    const auto& s = o.Settings;
    if (s.SizeMM < 10 || s.SizeMM > 200 || s.PixelsPerInch < 24 || s.PixelsPerInch > 1200 || s.MarginIndex < 0 ||
        s.MarginIndex > 2 || s.ECLevel < 0 || s.ECLevel > 3 || o.Jobs < 1 || o.Jobs > 256 || o.Records.empty() ||
        (o.ToStdout && o.Records.size() != 1) ||
        (o.Version != qm::TvCardVersion::vv21 && o.Version != qm::TvCardVersion::vv30 &&
         o.Version != qm::TvCardVersion::vv40)) {
        std::abort();
    }
    std::vector<std::string> again = {"--size", std::to_string(s.SizeMM), "--ppi", std::to_string(s.PixelsPerInch),
                                      "--margin", std::to_string(s.MarginIndex), "--level",
                                      std::string(1, "LMQH"[s.ECLevel]), "--out", o.OutDir, "--jobs",
                                      std::to_string(o.Jobs), "--vcard",
                                      o.Version == qm::TvCardVersion::vv21   ? "2.1"
                                      : o.Version == qm::TvCardVersion::vv30 ? "3.0"
                                                                             : "4.0"};
    if (o.ToStdout) again.push_back("--stdout");
    if (o.Testcase) again.push_back("--testcase");
    again.push_back("--");
    again.insert(again.end(), o.Records.begin(), o.Records.end());
    if (!Same(qm::ParseCardToolArgs(again), o)) std::abort();
}

void Names(const std::vector<std::string>& names, std::size_t limit) {
    const auto unique = qm::UniqueBaseNames(names, limit);
    if (unique.size() != names.size()) std::abort();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i].empty() != unique[i].empty()) std::abort();
        if (unique[i].size() > std::max(limit, names[i].size())) std::abort();
        bool first = true;
        for (std::size_t j = 0; j < i; ++j) first = first && !qm::SameTextIgnoreCase(names[j], names[i]);
        if (first && unique[i] != names[i]) std::abort();
        for (std::size_t j = 0; j < i; ++j) {
            if (!unique[i].empty() && qm::SameTextIgnoreCase(unique[i], unique[j])) std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    if (data[0] % 2 == 0) {
        CommandLine(SplitAtZero(rest, 64));
    } else {
        Names(SplitAtZero(rest, 48), 16 + data[1]);
    }
    return 0;
}
