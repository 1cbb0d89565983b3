// The user's settings in Qt's settings file, in private configuration
// folders: what is read from the user's file and from a system preset, and
// that a write lands in the user's file beside the keys already there.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestFiles.h"
#include "UQtSettingsStore.h"

namespace {

using qm::test::ReadBytes;

class QtSettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        qm::test::SetEnv("XDG_CONFIG_HOME", Temp.Path("home").c_str());
        qm::test::SetEnv("XDG_CONFIG_DIRS", Temp.Path("system").c_str());
    }
    void TearDown() override {
        qm::test::SetEnv("XDG_CONFIG_HOME", nullptr);
        qm::test::SetEnv("XDG_CONFIG_DIRS", nullptr);
    }
    void WriteConf(const std::string& folder, const std::string& text) {
        std::filesystem::create_directories(Temp.Path(folder + "/Quillmark"));
        qm::test::WriteBytes(Temp.Path(folder + "/Quillmark/quillmark.conf"), text);
    }
    qm::test::TTempFolder Temp;
};

// The version in effect: the user's value, else the system's preset, else
// 4.0; never locked (Linux has no policy values).
TEST_F(QtSettingsStore, ReadsTheUsersValueElseTheSystemsPreset) {
    using qm::TvCardVersion;
    struct TCase {
        std::string Home, System;  // file contents, "" for no file
        TvCardVersion Version;     // what is in effect
    };
    const TCase cases[] = {
        {"", "", TvCardVersion::vv40},
        {"[General]\nvCardVersion=3.0\n", "", TvCardVersion::vv30},
        {"[General]\nvCardVersion=\" 3.0\t\"\n", "", TvCardVersion::vv30},
        {"[General]\nother=1\n", "[General]\nvCardVersion=3.0\n", TvCardVersion::vv30},
        {"[General]\nvCardVersion=4.0\n", "[General]\nvCardVersion=3.0\n", TvCardVersion::vv40},
        {"[General]\nvCardVersion=3\n", "", TvCardVersion::vv40},
        // A list is no text: unreadable, the default.
        {"[General]\nvCardVersion=3.0, 3.0\n", "", TvCardVersion::vv40},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Home + " / " + c.System);
        std::filesystem::remove_all(Temp.Path("home"));
        std::filesystem::remove_all(Temp.Path("system"));
        if (!c.Home.empty()) WriteConf("home", c.Home);
        if (!c.System.empty()) WriteConf("system", c.System);
        EXPECT_EQ(qm::ReadSetting(qm::TQtSettingsStore(), qm::kVCardVersion),
                  (qm::TVCardVersionChoice{c.Version, false}));
    }
}

TEST_F(QtSettingsStore, WritesTheUsersFileKeepingItsOtherKeys) {
    qm::TQtSettingsStore store;
    qm::WriteSetting(store, qm::kVCardVersion, qm::TvCardVersion::vv30);
    const std::string file = Temp.Path("home/Quillmark/quillmark.conf");
    EXPECT_EQ(ReadBytes(file), "[General]\nvCardVersion=3.0\n");
    EXPECT_EQ(store.Read(qm::kVCardVersion.Key).User, "3.0");

    WriteConf("home", "[General]\nother=1\nvCardVersion=3.0\n");
    store.Write(qm::kVCardVersion.Key, "4.0");
    EXPECT_EQ(ReadBytes(file), "[General]\nother=1\nvCardVersion=4.0\n");

    // A file where the folder should be: the German message names the file.
    std::filesystem::remove_all(Temp.Path("home"));
    qm::test::WriteBytes(Temp.Path("home"), "");
    try {
        store.Write(qm::kVCardVersion.Key, "3.0");
        ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), "Die Einstellung \"vCardVersion\" kann nicht in \"" + file +
                                             "\" gespeichert werden");
    }
}

}  // namespace
