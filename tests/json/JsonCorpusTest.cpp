// The parsing cases of a public JSON conformance suite. Files named y_ hold
// texts a strict parser must accept, n_ texts it must reject, i_ either. This
// parser is lenient by design, so n_ and i_ may go either way; every file
// must load without a crash, a hang or a leak (the sanitizer build checks
// the latter), and whatever loads must write back a text that parses to the
// same document.
#include "UFastJSON.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "JsonDifferential.h"
#include "JsonTestSupport.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

// y_ files the lenient design rejects, and why:
// - a document must be an array or an object, so the scalar documents are
//   refused: y_structure_lonely_* (false, 42, -0.1, null, "asd", true),
//   y_structure_string_empty ("") and y_string_space (" ").
// (The UTF-16 files are i_ cases: their zero bytes end the text, as files
// are read up to their first zero byte.)
const std::set<std::string, std::less<>> kRejectedY = {
    "y_string_space.json",
    "y_structure_lonely_false.json",
    "y_structure_lonely_int.json",
    "y_structure_lonely_negative_real.json",
    "y_structure_lonely_null.json",
    "y_structure_lonely_string.json",
    "y_structure_lonely_true.json",
    "y_structure_string_empty.json",
};

std::string CorpusFolder() { return std::string(QM_SOURCE_DIR) + "/../shared/corpus/jsontestsuite"; }

std::string Compact(const TFastJSON& doc) {
    std::string out;
    doc.WriteToStream(out, nullptr);
    return out;
}

TEST(JsonCorpusTest, EveryFileLoadsAndWhatLoadsWritesBackStably) {
    const std::string folder = CorpusFolder();
    if (!fs::is_directory(folder)) GTEST_SKIP() << "conformance corpus not found at " << folder;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".json") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    ASSERT_GT(files.size(), 300u);

    std::set<std::string, std::less<>> rejectedY;
    int accepted = 0;
    for (const fs::path& path : files) {
        const std::string name = path.filename().string();
        TFastJSON doc;
        bool ok = true;
        try {
            doc.LoadFromFile(path.string(), false, true);
        } catch (const EQuillmarkError&) {
            ok = false;
        }
        if (name.starts_with("y_") && !ok) rejectedY.insert(name);
        if (!ok) continue;
        ++accepted;
        // File form and compact form both read back to the same document.
        TJSONFormatter f("\r\n", 2);
        std::string formatted;
        doc.WriteToStream(formatted, &f);
        TFastJSON again;
        ASSERT_NO_THROW(again.Parse(formatted)) << name << "\n" << formatted;
        EXPECT_EQ(Compact(again), Compact(doc)) << name;
        TFastJSON third;
        ASSERT_NO_THROW(third.Parse(Compact(doc))) << name;
        EXPECT_EQ(Compact(third), Compact(doc)) << name;
    }
    EXPECT_EQ(rejectedY, kRejectedY);
    EXPECT_GT(accepted, 86);
}

// Spot checks of what some accepted files hold.
TEST(JsonCorpusTest, SelectedFilesHoldTheirValues) {
    const std::string folder = CorpusFolder();
    if (!fs::is_directory(folder)) GTEST_SKIP() << "conformance corpus not found at " << folder;
    auto load = [&](const char* name) {
        TFastJSON doc;
        doc.LoadFromFile(folder + "/" + name, false, true);
        return Compact(doc);
    };
    EXPECT_EQ(load("y_string_accepted_surrogate_pair.json"), R"(["\ud801\udc37"])");
    EXPECT_EQ(load("y_string_unicode_escaped_double_quote.json"), R"(["\""])");
    EXPECT_EQ(load("y_object_duplicated_key_and_value.json"), R"({"a":"b","a":"b"})");
    EXPECT_EQ(load("y_number_real_capital_e_pos_exp.json"), "[100]");
    EXPECT_EQ(load("y_string_nonCharacterInUTF-8_U+FFFF.json"), R"(["\uffff"])");
}

// Every input of JsonDifferential.h, and its damaged variants, parses to the
// documents and errors that the parser gave before it remembered every
// region and kept objects and arrays in place.
TEST(JsonCorpusTest, ParsingGivesWhatTheEarlierParserGave) {
    std::map<std::string, std::string, std::less<>> expected;
    std::istringstream lines(test::ReadBytes(test::TestDataPath("parse-results.txt")));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line.front() == '#') continue;
        const std::size_t space = line.rfind(' ');
        expected[line.substr(0, space)] = line.substr(space + 1);
    }
    int compared = 0;
    for (const test::TDifferentialInput& in : test::DifferentialInputs(QM_SOURCE_DIR, CorpusFolder())) {
        char hash[17];
        std::snprintf(hash, sizeof hash, "%016llx",
                      static_cast<unsigned long long>(test::ResultHash(in.Text, in.Variants)));
        EXPECT_EQ(hash, expected[in.Name]) << in.Name;
        ++compared;
    }
    EXPECT_GE(compared, 7);
}

}  // namespace
}  // namespace qm
