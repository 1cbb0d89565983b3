// A minimal, strict structural vCard reader for the tests and the fuzz
// targets: it unfolds lines, splits each property into its name, parameters
// and value, splits values at unescaped separators and undoes the escapes of
// RFC 6350 section 3.4 (RFC 2426 section 4). It reads what the writer means
// and rejects what no standard reader could read back unambiguously.
#pragma once

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qm::test {

struct TVCardProperty {
    std::string Name;   // as written
    std::string Value;  // as written, escapes intact
};

// The properties of `text`, one per logical line. Lines end with LF or CR LF;
// a line break followed by a space or a tab continues the line (RFC 6350
// 3.2). The value starts after the first ":" outside double-quoted parameter
// values. Raises std::runtime_error for a line without one.
inline std::vector<TVCardProperty> ReadProperties(std::string_view text) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') {
            lines.back().push_back(text[i]);
            continue;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        if (i + 1 < text.size() && (text[i + 1] == ' ' || text[i + 1] == '\t')) {
            ++i;
        } else if (i + 1 < text.size()) {
            lines.emplace_back();
        }
    }

    std::vector<TVCardProperty> properties;
    for (const std::string& line : lines) {
        bool quoted = false;
        std::size_t colon = 0;
        while (colon < line.size() && (quoted || line[colon] != ':')) quoted ^= line[colon++] == '"';
        if (colon == line.size()) throw std::runtime_error("no value in line: " + line);
        properties.push_back({line.substr(0, std::min(colon, line.find(';'))), line.substr(colon + 1)});
    }
    return properties;
}

// `raw` cut at every `separator` that no backslash escapes; the parts keep
// their escapes.
inline std::vector<std::string> SplitValue(std::string_view raw, char separator) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size()) {
            parts.back().append(raw.substr(i, 2));
            ++i;
        } else if (raw[i] == separator) {
            parts.emplace_back();
        } else {
            parts.back().push_back(raw[i]);
        }
    }
    return parts;
}

// `raw` with "\\", "\;", "\," and "\n" or "\N" (a line feed) undone. Raises
// std::runtime_error for any other backslash, a lone final one included.
inline std::string Unescape(std::string_view raw) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            out.push_back(raw[i]);
            continue;
        }
        const char next = i + 1 < raw.size() ? raw[i + 1] : '\0';
        if (next == '\\' || next == ';' || next == ',') {
            out.push_back(next);
        } else if (next == 'n' || next == 'N') {
            out.push_back('\n');
        } else {
            throw std::runtime_error("bad escape in: " + std::string(raw));
        }
        ++i;
    }
    return out;
}

// One value that may hold no unescaped `separator`, unescaped. Raises
// std::runtime_error when it does.
inline std::string SingleValue(std::string_view raw, char separator = ',') {
    if (SplitValue(raw, separator).size() != 1) throw std::runtime_error("unescaped separator in: " + std::string(raw));
    return Unescape(raw);
}

// A CATEGORIES entry, unescaped, with the writer's double quotes around an
// entry holding a blank, a control character or a double quote removed and
// the doubled quotes inside made single. Raises std::runtime_error for a
// stray double quote.
inline std::string CategoryEntry(std::string_view raw) {
    const std::string entry = Unescape(raw);
    if (entry.find('"') == std::string::npos) return entry;
    if (entry.size() < 2 || entry.front() != '"' || entry.back() != '"') {
        throw std::runtime_error("stray quote in: " + entry);
    }
    std::string out;
    for (std::size_t i = 1; i + 1 < entry.size(); ++i) {
        if (entry[i] == '"' && (i + 2 >= entry.size() || entry[++i] != '"')) {
            throw std::runtime_error("stray quote in: " + entry);
        }
        out.push_back(entry[i]);
    }
    return out;
}

// `value` with each line break (CR LF, CR or LF) replaced by `with`: what a
// value reads back as, or stands in a card as, where breaks are written so.
inline std::string ReplaceBreaks(std::string_view value, std::string_view with) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' || value[i] == '\n') {
            out.append(with);
            if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
        } else {
            out.push_back(value[i]);
        }
    }
    return out;
}

}  // namespace qm::test
