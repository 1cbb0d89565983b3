// The quillmark-card program run as a process: exit status, summary and
// messages on standard error, the vCard on standard output, the files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "CardTestSupport.h"
#include "HostProcess.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::TRecordFields;
using ::testing::HasSubstr;

class CardTool : public test::CardFolder {
protected:
    // Runs quillmark-card with `args`; the status, standard output and
    // error are kept in status_, out_, err_.
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), test::kCardBinary);
        test::TProcess process(std::move(args));
        status_ = process.Wait(std::chrono::seconds(100));
        out_ = process.Out();
        err_ = process.Err();
        return status_;
    }

    int status_ = -1;
    std::string out_, err_;
};

TEST_F(CardTool, OneRecordWritesBothFilesAndSaysSo) {
    EXPECT_EQ(Run({"--out", P("out"), test::kSampleRecord}), 0);
    EXPECT_EQ(out_, "");
    EXPECT_EQ(err_, "Fertig: 1 von 1 Datensätzen geschrieben, 0 fehlgeschlagen.\n");
    EXPECT_THAT(FilesIn(P("out")),
                ::testing::ElementsAre("Anna Berg Grünwald & Söhne GmbH.png", "Anna Berg Grünwald & Söhne GmbH.vcf"));
}

TEST_F(CardTool, WritesIntoTheCurrentFolderByDefault) {
    fs::create_directory(P("here"));
    const std::string script = "cd '" + P("here") + "' && exec '" + test::kCardBinary + "' '" + test::kSampleRecord + "'";
    test::TProcess process({"/bin/sh", "-c", script});
    EXPECT_EQ(process.Wait(std::chrono::seconds(100)), 0);
    EXPECT_EQ(FilesIn(P("here")).size(), 2u);
}

struct TBadInput {
    const char* Name;
    std::string Content;  // the record file's text; none: the file is missing
    std::string Message;
};

class CardToolBadInput : public CardTool, public ::testing::WithParamInterface<TBadInput> {};

TEST_P(CardToolBadInput, GivesItsMessageAndFails) {
    const TBadInput& c = GetParam();
    const std::string path = P(std::string(c.Name) + ".json");
    if (!c.Content.empty() || std::string(c.Name) == "empty") test::WriteBytes(path, c.Content);
    EXPECT_EQ(Run({"--out", P("out"), path}), 1);
    EXPECT_EQ(err_, "Fehler: " + path + ": " + c.Message +
                        "\nFertig: 0 von 1 Datensätzen geschrieben, 1 fehlgeschlagen.\n");
    EXPECT_TRUE(FilesIn(P("out")).empty());
    // --stdout makes no QR code; every other problem it reports the same.
    if (std::string(c.Name) == "toolong") return;
    EXPECT_EQ(Run({"--stdout", path}), 1);
    EXPECT_EQ(out_, "");
    EXPECT_EQ(err_, "Fehler: " + path + ": " + c.Message + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CardToolBadInput,
    ::testing::Values(
        TBadInput{"missing", "", "Datei nicht gefunden"}, TBadInput{"empty", "", "Datei ist leer"},
        TBadInput{"notjson", "Anna;Berg;Köln\n", "Kein JSON: <TFastJSON>\"\" parse error: Anna;Berg;Köln .."},
        TBadInput{"noorder", R"({"Adress":[{"FirstName":"Anna"}],"Parts":[]})",
                  "Der Index der Liste überschreitet das Maximum (0)"},
        TBadInput{"toolong", test::RecordJson({"Anna", "Berg", std::string(3000, 'x')}),
                  "Zu viele Einträge in der Liste (3220)"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(CardTool, TooLongTextIsFineAsText) {
    // Without a QR code the long card is only text: --stdout prints it.
    const std::string path = Record("long.json", {"Anna", "Berg", std::string(3000, 'x')});
    EXPECT_EQ(Run({"--stdout", path}), 0);
    EXPECT_THAT(out_, HasSubstr("ORG:" + std::string(3000, 'x')));
}

TEST_F(CardTool, SummaryListsEveryFailureInRecordOrder) {
    const std::string good1 = Record("good1.json", {"Anna", "Berg", "A"});
    const std::string good2 = Record("good2.json", {"Carl", "Dorn", "C"});
    test::WriteBytes(P("empty.json"), "");
    EXPECT_EQ(Run({"--out", P("out"), "--jobs", "2", P("missing.json"), good1, P("empty.json"), good2}), 1);
    EXPECT_EQ(err_, "Fehler: " + P("missing.json") + ": Datei nicht gefunden\n" + "Fehler: " + P("empty.json") +
                        ": Datei ist leer\n" + "Fertig: 2 von 4 Datensätzen geschrieben, 2 fehlgeschlagen.\n");
    EXPECT_EQ(FilesIn(P("out")).size(), 4u);
}

TEST_F(CardTool, StdoutPrintsTheVCardAndWritesNothing) {
    EXPECT_EQ(Run({"--stdout", "--out", P("out"), test::kSampleRecord}), 0);
    EXPECT_EQ(err_, "");
    EXPECT_THAT(out_, ::testing::StartsWith("BEGIN:VCARD\nVERSION:4.0\nN:Berg;Anna;;;\n"));
    EXPECT_THAT(out_, ::testing::EndsWith("END:VCARD\n"));
    EXPECT_FALSE(fs::exists(P("out")));
}

TEST_F(CardTool, BadUsageExitsWithTwo) {
    EXPECT_EQ(Run({"--level", "Z", test::kSampleRecord}), 2);
    EXPECT_THAT(err_, HasSubstr("Ungültiger Wert für --level"));
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(Run({"--stdout", test::kSampleRecord, test::kSampleRecord}), 2);
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_THAT(out_, HasSubstr("Aufruf: quillmark-card"));
}

// A thousand records with one broken among them: the broken one is
// reported, the other 999 are written.
TEST_F(CardTool, ThousandRecordsWithOneBroken) {
    fs::create_directory(P("records"));
    std::vector<std::string> args = {"--out", P("out"), "--size", "10", "--jobs", "2"};
    for (int i = 0; i < 1000; ++i) {
        const std::string path = P("records/" + std::to_string(i) + ".json");
        if (i == 613) {
            test::WriteBytes(path, R"({"Order":[{"Adress":[{"FirstName":"Anna")");
        } else {
            test::WriteBytes(path, test::RecordJson({"Vorname" + std::to_string(i), "Nachname", "Firma"}));
        }
        args.push_back(path);
    }
    EXPECT_EQ(Run(args), 1);
    EXPECT_EQ(err_, "Fehler: " + P("records/613.json") + ": Kein JSON: " +
                        R"(<TFastJSON>"" parse error: {"Order":[{"Adress":[{"FirstName":"Anna" ..)" + "\n" +
                        "Fertig: 999 von 1000 Datensätzen geschrieben, 1 fehlgeschlagen.\n");
    // No progress line: standard error is not a terminal here.
    EXPECT_EQ(err_.find('\r'), std::string::npos);
    const auto files = FilesIn(P("out"));
    EXPECT_EQ(files.size(), 1998u);
    EXPECT_FALSE(fs::exists(P("out/Vorname613 Nachname Firma.vcf")));
    EXPECT_TRUE(fs::exists(P("out/Vorname612 Nachname Firma.png")));
    EXPECT_THAT(test::ReadBytes(P("out/Vorname999 Nachname Firma.vcf")), HasSubstr("FN:Vorname999 Nachname\n"));
}

}  // namespace
}  // namespace qm
