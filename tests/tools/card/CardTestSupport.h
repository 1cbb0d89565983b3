// Record files and folders for the card tool tests: every test works in a
// fresh folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestFiles.h"

namespace qm::test {

inline const std::string kCardBinary = QM_BINARY_DIR "/tools/card/quillmark-card";
inline const std::string kSampleRecord = QM_SOURCE_DIR "/samples/anna-berg.json";

// The address fields a generated record carries.
struct TRecordFields {
    std::string FirstName, LastName, Company;
    std::string IX = "Tel. 0211 555 01 anna@example.de";
    std::string Street = "Königsallee 12", ZipCode = "40212", Town = "Düsseldorf", Group = "Kunden";
};

// A JSON string literal of `text` (quotes and backslashes escaped; the
// record loader reads UTF-8 as it stands).
inline std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// A record in the host's address-file layout.
inline std::string RecordJson(const TRecordFields& f) {
    std::ostringstream s;
    s << "{\"Order\":[{\"PrintName\":\"Angebot\",\"PrintUID\":\"AN-1\",\"Adress\":[{"
      << "\"FirstName\":" << JsonString(f.FirstName) << ",\"LastName\":" << JsonString(f.LastName)
      << ",\"Company\":" << JsonString(f.Company) << ",\"Street\":" << JsonString(f.Street)
      << ",\"ZipCode\":" << JsonString(f.ZipCode) << ",\"Town\":" << JsonString(f.Town)
      << ",\"Group\":" << JsonString(f.Group) << ",\"IX\":" << JsonString(f.IX)
      << ",\"AdressSmart\":\"x\"}],\"Parts\":[]}]}";
    return s.str();
}

// Every line of a vCard text except the REV line.
inline std::string WithoutRev(const std::string& vcard) {
    std::istringstream in(vcard);
    std::string line, out;
    while (std::getline(in, line)) {
        if (line.rfind("REV:", 0) != 0) out += line + "\n";
    }
    return out;
}

// A fresh folder for one test, removed afterwards.
class CardFolder : public ::testing::Test {
protected:
    std::string P(const std::string& name) const { return folder_.Path(name); }

    // Writes a generated record as `name` and returns its path.
    std::string Record(const std::string& name, const TRecordFields& fields) const {
        WriteBytes(P(name), RecordJson(fields));
        return P(name);
    }

    // The names of the files in `folder`, sorted.
    static std::vector<std::string> FilesIn(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(U8Path(folder))) {
            const std::u8string name = e.path().filename().u8string();
            names.emplace_back(name.begin(), name.end());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TTempFolder folder_;
    const std::string& root_ = folder_.Root();
};

}  // namespace qm::test
