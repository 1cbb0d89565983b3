// The Windows build of quillmark-card, run under Wine, makes the same files
// as the Linux build: the same names, testcase files byte for byte, and,
// built at the same instant, the same .vcf and .png; its PNG scans here
// with zxing-cpp. Needs the Windows tree: $QM_WIN64_DIR (./check sets it).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "CardTestSupport.h"
#include "HostProcess.h"
#include "QRTestSupport.h"
#include "UCardBuilder.h"
#include "UFileUtil.h"
#include "UPNGReader.h"

namespace qm {
namespace {

// The instant of a vCard 4.0's "REV:YYYYMMDDTHHMMSSZ" line.
std::chrono::system_clock::time_point RevOf(const std::string& vcard) {
    const auto at = vcard.find("\nREV:");
    if (at == std::string::npos) throw std::runtime_error("no REV line");
    std::tm t{};
    if (std::sscanf(vcard.c_str() + at + 5, "%4d%2d%2dT%2d%2d%2dZ", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                    &t.tm_min, &t.tm_sec) != 6) {
        throw std::runtime_error("bad REV line");
    }
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return std::chrono::system_clock::from_time_t(::timegm(&t));
}

class CardWin64 : public test::CardFolder {
protected:
    void SetUp() override {
        const char* dir = std::getenv("QM_WIN64_DIR");
        if (dir == nullptr || *dir == '\0') GTEST_SKIP() << "QM_WIN64_DIR is not set (./check sets it)";
        win64_ = dir;
        if (!std::filesystem::exists(Exe())) GTEST_SKIP() << Exe() << " is not built";
    }
    std::string Exe() const { return win64_ + "/tools/card/quillmark-card.exe"; }

    // Runs the Windows program under Wine with the Windows tree's prefix.
    // Linux paths reach it through Wine's drive Z:, the root of the Linux
    // file system.
    // `folder`, when given, is its working folder.
    int RunExe(const std::vector<std::string>& args, std::string& err, const std::string& folder = "") const {
        std::vector<std::string> argv{QM_SOURCE_DIR "/cmake/wine-run.sh", win64_ + "/wine", Exe()};
        if (!folder.empty()) argv.insert(argv.begin(), {"/usr/bin/env", "-C", folder});
        for (const std::string& a : args) argv.push_back(a.starts_with("/") ? "Z:" + a : a);
        test::TProcess exe(argv);
        const int status = exe.Wait(std::chrono::seconds(100));
        err = exe.Err();
        return status;
    }

    std::string win64_;
};

TEST_F(CardWin64, CompaniesNamedLikeDevicesGetFilesInANewRelativeFolder) {
    // Records in a folder with an umlaut; a company alone names the card.
    const std::string companies[] = {"Con.Tec GmbH", "Aux", "nul.service", "COM1"};
    ForceFolders(P("J\xC3\xBCrgen"));
    ForceFolders(P("run"));
    std::vector<std::string> args{"--out", "neu\\karten"};
    // Record files with plain names: Windows itself would take "Aux.json"
    // for a device.
    for (const std::string& company : companies)
        args.push_back(Record("J\xC3\xBCrgen/firma" + std::to_string(args.size()) + ".json",
                              {"", "", company, "info@example.de"}));
    std::string err;
    ASSERT_EQ(RunExe(args, err, P("run")), 0) << err;
    std::vector<std::string> expected;
    for (const std::string& company : companies) {
        expected.push_back("_" + company + ".png");
        expected.push_back("_" + company + ".vcf");
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesIn(P("run/neu/karten")), expected);
    EXPECT_NE(test::ReadBytes(P("run/neu/karten/_COM1.vcf")).find("\nORG:COM1\n"), std::string::npos);
}

TEST_F(CardWin64, SameRecordsGiveTheSameFilesAsOnLinux) {
    const std::vector<std::string> records{
        test::kSampleRecord,
        Record("umlaut.json", {"Jürgen", "Weiß", "Müller; Söhne, \\ Partner", "Tel. +49 (0)221 12345-6 j.weiss@example.de"}),
        Record("Zoë \xF0\x9F\x98\x80.json", {"Zoë", "O'Neil", "Café \xF0\x9F\x98\x80 Ltd.", "", "", "", "", ""}),
        Record("long.json", {"A", "B", "Sehr lange Firma " + std::string(600, 'z'), "a@b.de 0123 4567 890"})};
    std::vector<std::string> linuxArgs{test::kCardBinary, "--testcase", "--out", P("linux")};
    linuxArgs.insert(linuxArgs.end(), records.begin(), records.end());
    test::TProcess linuxTool(linuxArgs);
    ASSERT_EQ(linuxTool.Wait(std::chrono::seconds(100)), 0) << linuxTool.Err();
    std::vector<std::string> winArgs{"--testcase", "--out", P("windows")};
    winArgs.insert(winArgs.end(), records.begin(), records.end());
    std::string err;
    ASSERT_EQ(RunExe(winArgs, err), 0) << err;

    const auto names = FilesIn(P("windows"));
    ASSERT_EQ(names, FilesIn(P("linux")));
    int vcards = 0;
    for (const std::string& name : names) {
        const std::string win = test::ReadBytes(P("windows/" + name));
        const std::string lin = test::ReadBytes(P("linux/" + name));
        if (name.ends_with(".png")) continue;  // checked with its .vcf below
        if (!name.ends_with(".vcf")) {
            EXPECT_EQ(win, lin) << name;  // the testcase files
            continue;
        }
        ++vcards;
        EXPECT_EQ(test::WithoutRev(win), test::WithoutRev(lin)) << name;
        // Built here at the Windows program's instant (its REV line), the
        // card is the Windows program's, byte for byte.
        const std::string base = name.substr(0, name.size() - 4);
        TCVJSONObject record;
        LoadHostRecord(record, P("linux/" + base + ".testcase.json"));
        EXPECT_EQ(ComposeCard(ReadCardFields(record), RevOf(win)).VCardText, win) << name;
        const std::string winPng = test::ReadBytes(P("windows/" + base + ".png"));
        ForceFolders(P("here"));
        const TCardImage image = WriteCardPng(win, P("here/" + base + ".png"), TCardSettings{});
        EXPECT_EQ(test::ReadBytes(P("here/" + base + ".png")), winPng) << name;
        EXPECT_EQ(image.Pixels, 454);
        // And it scans, holding exactly the .vcf text.
        const TRGBImage rgb = ReadPNGRGB(winPng);
        const test::TDecoded decoded = test::DecodeImage(rgb, false, rgb.Width / 10);
        ASSERT_TRUE(decoded.Valid) << name;
        EXPECT_EQ(decoded.ECLevel, "M");
        EXPECT_EQ(decoded.Bytes, win);
    }
    EXPECT_EQ(vcards, 4);
}

}  // namespace
}  // namespace qm
