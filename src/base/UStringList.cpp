#include "UStringList.h"

#include "UFileUtil.h"

namespace qm {

int TStringList::IndexOf(std::string_view s) const noexcept {
    for (std::size_t i = 0; i < Items.size(); ++i) {
        if (Items[i] == s) return static_cast<int>(i);
    }
    return -1;
}

std::string TStringList::Text(std::string_view lineBreak) const {
    std::string out;
    for (const auto& item : Items) {
        out.append(item);
        out.append(lineBreak);
    }
    return out;
}

void TStringList::SetText(std::string_view text) {
    Items.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        Items.emplace_back(text.substr(start, end - start));
        if (end < text.size()) {
            // CR LF counts as one line break.
            end += (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
        }
        start = end;
    }
}

void TStringList::LoadFromFile(const std::string& path) {
    SetText(ReadRegularFile(path));
}

}  // namespace qm
