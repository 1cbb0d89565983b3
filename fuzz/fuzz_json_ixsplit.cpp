// Arbitrary bytes as the communication field: both lists keep their stated
// properties, and the natural order answers consistently for each pair.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "UIXExtractor.h"
#include "UStringUtil.h"

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

bool AllDigits(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    qm::TStringList emails;
    qm::TStringList phones;
    qm::SplitCommunicationField(text, emails, phones);
    if (emails.Count() < qm::kCommunicationListMinimum || phones.Count() < qm::kCommunicationListMinimum) std::abort();

    std::size_t emptyEmails = 0;
    for (std::size_t i = 0; i < emails.Count(); ++i) {
        const std::string& e = emails[i];
        if (e.empty()) {
            ++emptyEmails;
            continue;
        }
        if (e.find('@') == std::string::npos || e.find(' ') != std::string::npos) std::abort();
        if (text.find(e) == std::string_view::npos) std::abort();
        for (std::size_t j = i + 1; j < emails.Count(); ++j)
            if (qm::SameTextIgnoreCase(e, emails[j])) std::abort();
    }
    if (emails.Count() > qm::kCommunicationListMinimum && emptyEmails != 0) std::abort();
    for (std::size_t i = 0; i < phones.Count(); ++i) {
        const std::string& p = phones[i];
        if (p.empty()) continue;
        if (p.size() < 9 || p[0] != '0' || !AllDigits(p) || text.find(p) == std::string_view::npos) std::abort();
        if (i > 0 && !phones[i - 1].empty() && qm::CompareNatural(phones[i - 1], p) > 0) std::abort();
        for (std::size_t j = i + 1; j < phones.Count(); ++j)
            if (phones[j] == p) std::abort();
    }
    // Empty filler entries come first.
    for (const qm::TStringList* list : {&emails, &phones})
        for (std::size_t i = 1; i < list->Count(); ++i)
            if ((*list)[i].empty() && !(*list)[i - 1].empty()) std::abort();

    // The comparison is reflexive and antisymmetric on any two pieces.
    const std::string_view a = text.substr(0, size / 2);
    const std::string_view b = text.substr(size / 2);
    if (qm::CompareNatural(a, a) != 0 || qm::CompareNatural(b, b) != 0) std::abort();
    if (Sign(qm::CompareNatural(a, b)) != -Sign(qm::CompareNatural(b, a))) std::abort();
    return 0;
}
