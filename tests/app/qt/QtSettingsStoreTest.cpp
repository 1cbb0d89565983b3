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

TEST_F(QtSettingsStore, ReadsTheUsersValueElseTheSystemsPreset) {
    struct TCase {
        std::string Home, System;           // file contents, "" for no file
        std::optional<std::string> User;   // what is read
    };
    const TCase cases[] = {
        {"", "", std::nullopt},
        {"[General]\nvCardVersion=3.0\n", "", "3.0"},
        {"[General]\nother=1\n", "[General]\nvCardVersion=3.0\n", "3.0"},
        {"[General]\nvCardVersion=4.0\n", "[General]\nvCardVersion=3.0\n", "4.0"},
        // A list is no text: unreadable, counted as 4.0 by the dialog.
        {"[General]\nvCardVersion=3.0, 4.0\n", "", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Home + " / " + c.System);
        std::filesystem::remove_all(Temp.Path("home"));
        std::filesystem::remove_all(Temp.Path("system"));
        if (!c.Home.empty()) WriteConf("home", c.Home);
        if (!c.System.empty()) WriteConf("system", c.System);
        const qm::TStoredSetting stored = qm::TQtSettingsStore().Read(qm::kVCardVersionSetting);
        EXPECT_EQ(stored.User, c.User);
        EXPECT_EQ(stored.Policy, std::nullopt);
    }
}

TEST_F(QtSettingsStore, WritesTheUsersFileKeepingItsOtherKeys) {
    qm::TQtSettingsStore store;
    store.Write(qm::kVCardVersionSetting, "3.0");
    const std::string file = Temp.Path("home/Quillmark/quillmark.conf");
    EXPECT_EQ(ReadBytes(file), "[General]\nvCardVersion=3.0\n");
    EXPECT_EQ(store.Read(qm::kVCardVersionSetting).User, "3.0");

    WriteConf("home", "[General]\nother=1\nvCardVersion=3.0\n");
    store.Write(qm::kVCardVersionSetting, "4.0");
    EXPECT_EQ(ReadBytes(file), "[General]\nother=1\nvCardVersion=4.0\n");

    // A file where the folder should be: the German message names the file.
    std::filesystem::remove_all(Temp.Path("home"));
    qm::test::WriteBytes(Temp.Path("home"), "");
    try {
        store.Write(qm::kVCardVersionSetting, "3.0");
        ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), "Die Einstellung \"vCardVersion\" kann nicht in \"" + file +
                                             "\" gespeichert werden");
    }
}

}  // namespace
