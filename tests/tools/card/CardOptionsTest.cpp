// The command line of quillmark-card: defaults, every option, the values
// each accepts, and the rules for --help and --stdout.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "UCardBatch.h"
#include "UErrors.h"

namespace qm {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

TCardToolOptions Parse(std::vector<std::string> args) { return ParseCardToolArgs(args); }

// The message a bad command line raises.
std::string Refusal(std::vector<std::string> args) {
    try {
        ParseCardToolArgs(args);
    } catch (const EQuillmarkError& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(CardOptions, DefaultsAreTheDialogsSettings) {
    const TCardToolOptions o = Parse({"a.json", "b.json"});
    EXPECT_EQ(o.Settings.SizeMM, 120);
    EXPECT_EQ(o.Settings.PixelsPerInch, 96);
    EXPECT_EQ(o.Settings.MarginIndex, 0);
    EXPECT_EQ(o.Settings.ECLevel, 1);
    EXPECT_EQ(o.OutDir, ".");
    EXPECT_EQ(o.Jobs, std::max(1u, std::thread::hardware_concurrency()));
    EXPECT_FALSE(o.ToStdout);
    EXPECT_FALSE(o.Testcase);
    EXPECT_FALSE(o.Help);
    EXPECT_EQ(o.Records, (std::vector<std::string>{"a.json", "b.json"}));
}

TEST(CardOptions, EachOptionSetsItsValue) {
    const TCardToolOptions o = Parse({"--size", "200", "--ppi", "144", "--margin", "2", "--level", "h", "--out",
                                      "cards", "--jobs", "3", "--testcase", "r.json"});
    EXPECT_EQ(o.Settings.SizeMM, 200);
    EXPECT_EQ(o.Settings.PixelsPerInch, 144);
    EXPECT_EQ(o.Settings.MarginIndex, 2);
    EXPECT_EQ(o.Settings.ECLevel, 3);
    EXPECT_EQ(o.OutDir, "cards");
    EXPECT_EQ(o.Jobs, 3u);
    EXPECT_TRUE(o.Testcase);
    EXPECT_EQ(o.Records, std::vector<std::string>{"r.json"});

    const char* levels[] = {"L", "M", "Q", "H"};
    for (int level = 0; level < 4; ++level) {
        EXPECT_EQ(Parse({"--level", levels[level], "r.json"}).Settings.ECLevel, level) << levels[level];
    }
    EXPECT_TRUE(Parse({"--stdout", "r.json"}).ToStdout);
    // Options and records mix in any order; "--" ends the options.
    EXPECT_EQ(Parse({"a.json", "--size", "10", "b.json", "--", "--size", "-x.json"}).Records,
              (std::vector<std::string>{"a.json", "b.json", "--size", "-x.json"}));
    // A lone "-" is a file name, not an option.
    EXPECT_EQ(Parse({"-"}).Records, std::vector<std::string>{"-"});
}

TEST(CardOptions, RangesIncludeTheirEnds) {
    EXPECT_EQ(Parse({"--size", "10", "r"}).Settings.SizeMM, 10);
    EXPECT_EQ(Parse({"--size", "200", "r"}).Settings.SizeMM, 200);
    EXPECT_EQ(Parse({"--ppi", "24", "r"}).Settings.PixelsPerInch, 24);
    EXPECT_EQ(Parse({"--ppi", "1200", "r"}).Settings.PixelsPerInch, 1200);
    EXPECT_EQ(Parse({"--margin", "0", "r"}).Settings.MarginIndex, 0);
    EXPECT_EQ(Parse({"--jobs", "1", "r"}).Jobs, 1u);
    EXPECT_EQ(Parse({"--jobs", "256", "r"}).Jobs, 256u);
}

TEST(CardOptions, BadValuesAreNamed) {
    EXPECT_EQ(Refusal({"--size", "9", "r"}), "Ungültiger Wert für --size: \"9\" (erlaubt: 10 bis 200)");
    EXPECT_EQ(Refusal({"--size", "201", "r"}), "Ungültiger Wert für --size: \"201\" (erlaubt: 10 bis 200)");
    EXPECT_EQ(Refusal({"--size", "12mm", "r"}), "Ungültiger Wert für --size: \"12mm\" (erlaubt: 10 bis 200)");
    EXPECT_EQ(Refusal({"--size", "", "r"}), "Ungültiger Wert für --size: \"\" (erlaubt: 10 bis 200)");
    EXPECT_EQ(Refusal({"--ppi", "23", "r"}), "Ungültiger Wert für --ppi: \"23\" (erlaubt: 24 bis 1200)");
    EXPECT_EQ(Refusal({"--ppi", "-96", "r"}), "Ungültiger Wert für --ppi: \"-96\" (erlaubt: 24 bis 1200)");
    EXPECT_EQ(Refusal({"--margin", "3", "r"}), "Ungültiger Wert für --margin: \"3\" (erlaubt: 0 bis 2)");
    EXPECT_EQ(Refusal({"--jobs", "0", "r"}), "Ungültiger Wert für --jobs: \"0\" (erlaubt: 1 bis 256)");
    EXPECT_EQ(Refusal({"--jobs", "99999999999", "r"}),
              "Ungültiger Wert für --jobs: \"99999999999\" (erlaubt: 1 bis 256)");
    EXPECT_EQ(Refusal({"--level", "X", "r"}), "Ungültiger Wert für --level: \"X\" (erlaubt: L, M, Q, H)");
    EXPECT_EQ(Refusal({"--level", "MM", "r"}), "Ungültiger Wert für --level: \"MM\" (erlaubt: L, M, Q, H)");
    EXPECT_EQ(Refusal({"--level", "", "r"}), "Ungültiger Wert für --level: \"\" (erlaubt: L, M, Q, H)");
    EXPECT_EQ(Refusal({"r", "--size"}), "Option --size braucht einen Wert");
    EXPECT_EQ(Refusal({"r", "--out"}), "Option --out braucht einen Wert");
    EXPECT_EQ(Refusal({"--colour", "r"}), "Unbekannte Option: --colour");
    EXPECT_EQ(Refusal({"-s", "r"}), "Unbekannte Option: -s");
    EXPECT_EQ(Refusal({}), "Keine Datensatzdatei angegeben");
    EXPECT_EQ(Refusal({"--size", "100"}), "Keine Datensatzdatei angegeben");
}

TEST(CardOptions, StdoutTakesExactlyOneRecord) {
    EXPECT_EQ(Refusal({"--stdout", "a.json", "b.json"}), "--stdout geht nur mit genau einem Datensatz");
    EXPECT_EQ(Refusal({"--stdout"}), "Keine Datensatzdatei angegeben");
    EXPECT_EQ(Parse({"--stdout", "a.json"}).Records.size(), 1u);
}

TEST(CardOptions, HelpNeedsNoRecordAndWinsOverOtherErrors) {
    EXPECT_TRUE(Parse({"--help"}).Help);
    EXPECT_TRUE(Parse({"-h"}).Help);
    EXPECT_TRUE(Parse({"--stdout", "a", "b", "--help"}).Help);
    // A bad value before --help is still refused: the parse stops there.
    EXPECT_EQ(Refusal({"--size", "0", "--help"}), "Ungültiger Wert für --size: \"0\" (erlaubt: 10 bis 200)");
}

// What RunCardTool printed and returned.
struct TRun {
    int Status = -1;
    std::string Out, Err;
};

std::string Slurp(std::FILE* f) {
    std::rewind(f);
    std::string text;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    return text;
}

TRun RunTool(std::vector<std::string> args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    TRun run;
    run.Status = RunCardTool(args, out, err, false);
    run.Out = Slurp(out);
    run.Err = Slurp(err);
    std::fclose(out);
    std::fclose(err);
    return run;
}

TEST(CardOptions, HelpExplainsEveryOptionAndTheExitStatus) {
    const TRun run = RunTool({"--help"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, "");
    EXPECT_THAT(run.Out, StartsWith("Aufruf: quillmark-card [Optionen] DATENSATZ.json...\n\n"));
    EXPECT_THAT(run.Out, EndsWith("\nExit-Status: 0 wenn jeder Datensatz geschrieben wurde, 1 wenn einer oder mehrere\n"
                                  "fehlschlugen, 2 bei falschem Aufruf.\n"));
    for (const char* option : {"--size MM", "--ppi N", "--margin 0|1|2", "--level L|M|Q|H", "--vcard 2.1|3.0|4.0",
                               "--out ORDNER", "--jobs N", "--testcase", "--stdout", "--help", "--version",
                               "\" (2)\""}) {
        EXPECT_THAT(run.Out, HasSubstr(option));
    }
}

TEST(CardOptions, BadUsageExitsWithTwoAndPointsToHelp) {
    const TRun run = RunTool({"--margin", "5", "r.json"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err,
              "quillmark-card: Ungültiger Wert für --margin: \"5\" (erlaubt: 0 bis 2)\n"
              "Hilfe: quillmark-card --help\n");
    EXPECT_EQ(RunTool({}).Status, 2);
}


TEST(CardOptionsVCard, ChoosesTheVersionDefaultingToTheDialogs) {
    EXPECT_EQ(ParseCardToolArgs({"r.json"}).Version, TvCardVersion::vv40);
    EXPECT_EQ(ParseCardToolArgs({"--vcard", "2.1", "r.json"}).Version, TvCardVersion::vv21);
    EXPECT_EQ(ParseCardToolArgs({"--vcard", "3.0", "r.json"}).Version, TvCardVersion::vv30);
    EXPECT_EQ(ParseCardToolArgs({"--vcard", "4.0", "r.json"}).Version, TvCardVersion::vv40);
    for (const char* bad : {"3", "4", "3.1", "", "vv30"}) {
        try {
            ParseCardToolArgs({"--vcard", bad, "r.json"});
            ADD_FAILURE() << "accepted " << bad;
        } catch (const EQuillmarkError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Ungültiger Wert für --vcard: \"" + std::string(bad) + "\" (erlaubt: 2.1, 3.0, 4.0)");
        }
    }
}

TEST(CardOptionsVCard, VersionNeedsNoRecord) {
    EXPECT_TRUE(ParseCardToolArgs({"--version"}).ShowVersion);
}

}  // namespace
}  // namespace qm
