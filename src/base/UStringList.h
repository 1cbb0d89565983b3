// An ordered list of strings, read and written as text with one line per
// entry. Used for categories, e-mail and telephone lists, label text and
// file lists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm {

class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::string> items) : Items(items) {}

    std::vector<std::string> Items;

    std::size_t Count() const noexcept { return Items.size(); }
    bool Empty() const noexcept { return Items.empty(); }
    void Clear() noexcept { Items.clear(); }
    void Add(std::string s) { Items.push_back(std::move(s)); }
    const std::string& operator[](std::size_t i) const { return Items.at(i); }
    std::string& operator[](std::size_t i) { return Items.at(i); }
    // Index of the first entry equal to `s`, or -1.
    int IndexOf(std::string_view s) const noexcept;

    // Every entry followed by `lineBreak` (CR LF by default); "" for no entries.
    std::string Text(std::string_view lineBreak = "\r\n") const;
    // Replaces the entries by the lines of `text`, separated by CR LF, LF or
    // CR; a final line break adds no empty entry, and "" gives no entries.
    void SetText(std::string_view text);

    // Reads the file's lines (SetText); regular files only, never waiting
    // for a writer (ReadRegularFile). Raises EInOutError when it cannot be
    // read, ENotRegularFileError when it is not a regular file.
    void LoadFromFile(const std::string& path);

    auto begin() const noexcept { return Items.begin(); }
    auto end() const noexcept { return Items.end(); }

    bool operator==(const TStringList&) const = default;
};

}  // namespace qm
