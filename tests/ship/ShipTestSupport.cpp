#include "ShipTestSupport.h"

#include <cctype>
#include <charconv>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace qm::test {

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool IsHexPair(std::string_view t) {
    return t.size() == 2 && std::isxdigit(static_cast<unsigned char>(t[0])) &&
           std::isxdigit(static_cast<unsigned char>(t[1]));
}

void AddOptionTokens(std::string_view text, std::set<std::string>& out) {
    static const std::regex option("^--?[A-Za-z][A-Za-z0-9-]*$");
    std::istringstream words{std::string(text)};
    for (std::string w; words >> w;) {
        while (!w.empty() && (w.back() == ',' || w.back() == '"')) w.pop_back();
        while (!w.empty() && w.front() == '"') w.erase(0, 1);
        if (std::regex_match(w, option)) out.insert(w);
    }
}

}  // namespace

std::string MarkedBlock(const std::string& document, std::string_view marker) {
    const std::string tag = "<!-- " + std::string(marker) + " -->";
    const auto at = document.find(tag);
    if (at == std::string::npos) throw std::runtime_error("no block " + tag);
    const auto open = document.find("```", at);
    const auto bodyStart = document.find('\n', open);
    const auto close = document.find("\n```", bodyStart);
    if (open == std::string::npos || bodyStart == std::string::npos || close == std::string::npos) {
        throw std::runtime_error("no fenced block after " + tag);
    }
    return document.substr(bodyStart + 1, close - bodyStart);
}

std::vector<std::string> HexDumpWrites(const std::string& block) {
    std::vector<std::string> writes;
    for (const std::string& line : Lines(block)) {
        if (line.empty()) continue;
        if (std::isalpha(static_cast<unsigned char>(line[0]))) {
            writes.emplace_back();
            continue;
        }
        if (writes.empty()) throw std::runtime_error("bytes before the first write: " + line);
        std::string_view rest(line);
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        if (rest.empty() || rest.front() != '+') throw std::runtime_error("no offset: " + line);
        rest.remove_prefix(1);
        std::size_t offset = 0;
        const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), offset);
        if (ec != std::errc() || offset != writes.back().size()) throw std::runtime_error("wrong offset: " + line);
        rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        // Byte pairs one blank apart; two blanks start the comment.
        while (rest.size() >= 2 && IsHexPair(rest.substr(0, 2))) {
            writes.back().push_back(static_cast<char>(std::stoi(std::string(rest.substr(0, 2)), nullptr, 16)));
            rest.remove_prefix(2);
            if (rest.size() >= 2 && rest.substr(0, 2) == "  ") break;
            if (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        }
    }
    return writes;
}

std::set<std::string> HelpOptions(const std::string& help) {
    std::set<std::string> options;
    for (const std::string& line : Lines(help)) {
        if (line.rfind("  -", 0) != 0) continue;
        const auto description = line.find("  ", 2);
        AddOptionTokens(std::string_view(line).substr(2, description == std::string::npos ? std::string::npos
                                                                                          : description - 2),
                        options);
    }
    return options;
}

std::set<std::string> ManPageOptions(const std::string& page) {
    std::set<std::string> options;
    const std::vector<std::string> lines = Lines(page);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i] != ".TP") continue;
        std::string tag = lines[i + 1];
        if (tag.rfind('.', 0) == 0) tag.erase(0, tag.find(' ') == std::string::npos ? tag.size() : tag.find(' '));
        tag = std::regex_replace(tag, std::regex(R"(\\f[BIRP])"), "");
        tag = std::regex_replace(tag, std::regex(R"(\\-)"), "-");
        AddOptionTokens(tag, options);
    }
    return options;
}

}  // namespace qm::test
