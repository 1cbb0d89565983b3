// Converting many record files at once: what each bad input reports, the
// name-collision rule, failures that never stop the others, the testcase
// files, and a large folder with one broken record.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include "UWinHandle.h"
#include "UWinText.h"
#else
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <filesystem>

#include "CardTestSupport.h"
#include "UCardBatch.h"
#include "UErrors.h"
#include "UFastJSON.h"
#include "UStringUtil.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::TRecordFields;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

class CardBatch : public test::CardFolder {
protected:
    TCardToolOptions Options(std::vector<std::string> records) const {
        TCardToolOptions o;
        o.Records = std::move(records);
        o.OutDir = P("out");
        o.Jobs = 2;
        o.Settings.SizeMM = 10;  // small images keep the tests quick
        return o;
    }

    // The message ConvertRecords reports for one record file.
    std::string FailureOf(const std::string& path) const {
        const auto outcomes = ConvertRecords(Options({path}));
        EXPECT_EQ(outcomes.size(), 1u);
        EXPECT_FALSE(outcomes[0].Ok);
        return outcomes[0].Message;
    }
};

// Each unusable input gets its own message, where the dialog would show the
// same "no connection" message for the first four.
TEST_F(CardBatch, EachBadInputNamesItsProblem) {
    EXPECT_EQ(FailureOf(P("missing.json")), "Datei nicht gefunden");
    test::WriteBytes(P("empty.json"), "");
    EXPECT_EQ(FailureOf(P("empty.json")), "Datei ist leer");
    test::WriteBytes(P("blank.json"), " \r\n\t\n");
    EXPECT_EQ(FailureOf(P("blank.json")), "Datei ist leer");
    test::WriteBytes(P("text.json"), "Anna Berg, Königsallee 12");
    EXPECT_EQ(FailureOf(P("text.json")), "Kein JSON: <TFastJSON>\"\" parse error: Anna Berg, Königsallee 12 ..");
    test::WriteBytes(P("cut.json"), R"({"Order":[{"Adress":[{"FirstName":"Anna")");
    EXPECT_EQ(FailureOf(P("cut.json")), R"(Kein JSON: <TFastJSON>"" parse error: {"Order":[{"Adress":[{"FirstName":"Anna" ..)");
    fs::create_directory(P("folder.json"));
    EXPECT_EQ(FailureOf(P("folder.json")), "Ordner statt Datei");
#ifndef _WIN32
    EXPECT_EQ(FailureOf("/dev/null"), "Keine gewöhnliche Datei");
#endif
}

TEST_F(CardBatch, InvalidRecordsGiveTheDialogsMessages) {
    test::WriteBytes(P("noorder.json"), R"({"Adress":[{"FirstName":"Anna"}]})");
    EXPECT_EQ(FailureOf(P("noorder.json")), "Der Index der Liste überschreitet das Maximum (0)");
    test::WriteBytes(P("emptyorder.json"), R"({"Order":[]})");
    EXPECT_EQ(FailureOf(P("emptyorder.json")), "Der Index der Liste überschreitet das Maximum (0)");
    test::WriteBytes(P("noaddress.json"), R"({"Order":[{"PrintName":"Angebot"}]})");
    EXPECT_EQ(FailureOf(P("noaddress.json")), "Der Index der Liste überschreitet das Maximum (0)");
    test::WriteBytes(P("orderobject.json"), R"({"Order":{}})");
    EXPECT_EQ(FailureOf(P("orderobject.json")),
              "Der Datensatz von Corvanta ist fehlerhaft: Das Feld \"Order\" enthält ein Objekt statt einer Liste.\n"
              "<TJsonValue>\"Order\" value type error: jvObject to jvArray");
    test::WriteBytes(P("array.json"), R"([{"Order":[]}])");
    EXPECT_EQ(FailureOf(P("array.json")), "<TFastJSON>json struct type is not jsObject");
}

TEST_F(CardBatch, TextTooLongForTheLargestSymbolWritesNothing) {
    TRecordFields f{"Anna", "Berg", std::string(3000, 'x')};
    // "... (N)" with N a number; spelt out because GoogleTest's regular
    // expressions on Windows know no bracket expressions.
    const std::string message = FailureOf(Record("long.json", f));
    const std::string prefix = "Zu viele Einträge in der Liste (";
    ASSERT_THAT(message, ::testing::StartsWith(prefix));
    ASSERT_THAT(message, ::testing::EndsWith(")"));
    const std::string number = message.substr(prefix.size(), message.size() - prefix.size() - 1);
    EXPECT_FALSE(number.empty());
    EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << message;
    EXPECT_TRUE(FilesIn(P("out")).empty());
    // Even the largest symbol at level L (2953 bytes) cannot hold it.
    auto o = Options({P("long.json")});
    o.Settings.ECLevel = 0;
    EXPECT_FALSE(ConvertRecords(o)[0].Ok);
}

#ifdef _WIN32
TEST_F(CardBatch, FileHeldWithoutSharingReportsTheReadError) {
    const std::string path = Record("locked.json", {"Anna", "Berg", "Firma"});
    const TWinHandle held(::CreateFileW(ToWide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    EXPECT_THAT(FailureOf(path), HasSubstr("Datei kann nicht geöffnet werden"));
}
#else
TEST_F(CardBatch, UnreadableFileReportsTheReadError) {
    const std::string path = Record("locked.json", {"Anna", "Berg", "Firma"});
    ::chmod(path.c_str(), 0);
    if (::geteuid() != 0) {
        EXPECT_THAT(FailureOf(path), HasSubstr("Datei kann nicht geöffnet werden"));
        return;
    }
    // Root reads every file: the conversion runs in a child that has become
    // nobody (uid and gid 65534, no groups) and hands its message back.
    ASSERT_EQ(::chmod(fs::path(path).parent_path().c_str(), 0755), 0);
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(channel[0]);
        if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0) {
            ::_exit(2);
        }
        const std::string message = FailureOf(path);
        const bool written = ::write(channel[1], message.data(), message.size()) == static_cast<ssize_t>(message.size());
        ::_exit(written ? 0 : 3);
    }
    ::close(channel[1]);
    std::string message;
    char buffer[512];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) message.append(buffer, static_cast<std::size_t>(n));
    ::close(channel[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_THAT(message, HasSubstr("Datei kann nicht geöffnet werden"));
}
#endif

TEST_F(CardBatch, BrokenFileFallsBackToItsBackupCopy) {
    test::WriteBytes(P("rec.json"), "{broken");
    Record("rec.~json", {"Anna", "Berg", "Backup GmbH"});
    const auto outcomes = ConvertRecords(Options({P("rec.json")}));
    ASSERT_TRUE(outcomes[0].Ok) << outcomes[0].Message;
    EXPECT_EQ(outcomes[0].BaseName, "Anna Berg Backup GmbH");
    // With an equally broken copy the file's own problem is reported.
    test::WriteBytes(P("rec.~json"), "");
    EXPECT_EQ(FailureOf(P("rec.json")), "Kein JSON: <TFastJSON>\"\" parse error: {broken ..");
    // A missing file has no backup rule.
    Record("gone.~json", {"Anna", "Berg", "Backup GmbH"});
    EXPECT_EQ(FailureOf(P("gone.json")), "Datei nicht gefunden");
}

TEST_F(CardBatch, AFailedRecordNeverStopsTheOthers) {
    const std::vector<std::string> records = {
        Record("1.json", {"Anna", "Berg", "A"}), P("missing.json"), Record("3.json", {"Carl", "Dorn", "C"}),
        Record("4.json", {"Anna", "Berg", std::string(3000, 'x')}), Record("5.json", {"Eva", "Falk", "E"})};
    const auto outcomes = ConvertRecords(Options(records));
    ASSERT_EQ(outcomes.size(), 5u);
    std::vector<bool> ok;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        ok.push_back(outcomes[i].Ok);
        EXPECT_EQ(outcomes[i].RecordPath, records[i]);
        EXPECT_EQ(outcomes[i].Ok, outcomes[i].Message.empty()) << outcomes[i].Message;
    }
    EXPECT_THAT(ok, ElementsAre(true, false, true, false, true));
    EXPECT_THAT(FilesIn(P("out")), ElementsAre("Anna Berg A.png", "Anna Berg A.vcf", "Carl Dorn C.png", "Carl Dorn C.vcf",
                                               "Eva Falk E.png", "Eva Falk E.vcf"));
}

TEST_F(CardBatch, SameNameGetsANumberInRecordOrder) {
    const auto outcomes = ConvertRecords(Options({Record("1.json", {"Anna", "Berg", "A"}),
                                                  Record("2.json", {"Anna", "Berg", "A", "other@example.de"}),
                                                  Record("3.json", {"ANNA", "berg", "a"}),
                                                  Record("4.json", {"Anna", "Berg", "A"})}));
    std::vector<std::string> bases;
    for (const auto& o : outcomes) bases.push_back(o.BaseName);
    EXPECT_THAT(bases, ElementsAre("Anna Berg A", "Anna Berg A (2)", "ANNA berg a (3)", "Anna Berg A (4)"));
    // Each file holds its own record's card: none was overwritten.
    EXPECT_THAT(test::ReadBytes(P("out/Anna Berg A (2).vcf")), HasSubstr("other@example.de"));
    EXPECT_THAT(test::ReadBytes(P("out/Anna Berg A.vcf")), ::testing::Not(HasSubstr("other@example.de")));
    EXPECT_THAT(test::ReadBytes(P("out/ANNA berg a (3).vcf")), HasSubstr("FN:ANNA berg"));
    EXPECT_EQ(FilesIn(P("out")).size(), 8u);
}

TEST(CardNames, UniqueBaseNamesKeepsRecordsOwnNames) {
    // A record whose own name looks like a numbered one keeps it; the
    // duplicate skips that number.
    EXPECT_THAT(UniqueBaseNames({"Anna Berg", "Anna Berg", "Anna Berg (2)"}, 251),
                ElementsAre("Anna Berg", "Anna Berg (3)", "Anna Berg (2)"));
    EXPECT_THAT(UniqueBaseNames({"Anna Berg (2)", "Anna Berg", "Anna Berg"}, 251),
                ElementsAre("Anna Berg (2)", "Anna Berg", "Anna Berg (3)"));
    // Failed records (empty names) take no name.
    EXPECT_THAT(UniqueBaseNames({"", "x", "", "X"}, 251), ElementsAre("", "x", "", "X (2)"));
    // Letter case folds for accented letters too.
    EXPECT_THAT(UniqueBaseNames({"Jürgen Weiß", "JÜRGEN WEIß"}, 251), ElementsAre("Jürgen Weiß", "JÜRGEN WEIß (2)"));
}

TEST(CardNames, ManyRecordsOfOneNameAreNumberedThrough) {
    std::vector<std::string> names(20000, "Anna Berg");
    names[5] = "Anna Berg (7)";
    const auto unique = UniqueBaseNames(names, 251);
    EXPECT_EQ(unique[0], "Anna Berg");
    EXPECT_EQ(unique[4], "Anna Berg (5)");
    EXPECT_EQ(unique[5], "Anna Berg (7)");
    EXPECT_EQ(unique[6], "Anna Berg (6)");
    EXPECT_EQ(unique[7], "Anna Berg (8)");
    EXPECT_EQ(unique[19999], "Anna Berg (20000)");
}

TEST(CardNames, NumberedNamesStayWithinTheLimit) {
    // The suffix replaces the end of the name: cut before a character that
    // would be split ("ü" takes bytes 11 and 12), and without a space that
    // would then end the name.
    const std::string name = "Anna Berg Müller";
    EXPECT_THAT(UniqueBaseNames({name, name, name}, 16), ElementsAre(name, "Anna Berg M (2)", "Anna Berg M (3)"));
    EXPECT_THAT(UniqueBaseNames({name, name}, 14), ElementsAre(name, "Anna Berg (2)"));
    std::vector<std::string> many(12, std::string(251, 'n'));
    for (const auto& n : UniqueBaseNames(many, 251)) EXPECT_LE(n.size(), 251u);
    EXPECT_EQ(UniqueBaseNames(many, 251)[11], std::string(246, 'n') + " (12)");
}

TEST_F(CardBatch, LongNamesAreWrittenWithinTheFileNameLimit) {
    const std::string company(400, 'F');
    auto o = Options({Record("1.json", {"Anna", "Berg", company}), Record("2.json", {"Anna", "Berg", company})});
    auto outcomes = ConvertRecords(o);
    ASSERT_TRUE(outcomes[0].Ok) << outcomes[0].Message;
    ASSERT_TRUE(outcomes[1].Ok) << outcomes[1].Message;
    EXPECT_EQ(outcomes[0].BaseName.size(), kMaxSafeBaseNameBytes);
    EXPECT_EQ(outcomes[1].BaseName.size(), kMaxSafeBaseNameBytes);
    EXPECT_THAT(outcomes[1].BaseName, ::testing::EndsWith("F (2)"));
    // With a testcase file per record the base leaves room for its name.
    o.Testcase = true;
    o.OutDir = P("out2");
    outcomes = ConvertRecords(o);
    ASSERT_TRUE(outcomes[1].Ok) << outcomes[1].Message;
    EXPECT_EQ(outcomes[0].BaseName.size(), 240u);
    // A cut name does not end in a space.
    o.Records = {Record("3.json", {"Anna", "Berg", std::string(229, 'F') + " Zweigstelle"})};
    o.Records.push_back(o.Records[0]);
    o.OutDir = P("out3");
    EXPECT_EQ(ConvertRecords(o)[0].BaseName, "Anna Berg " + std::string(229, 'F'));
    EXPECT_TRUE(fs::exists(P("out2/" + outcomes[1].BaseName + ".testcase.~json")));
    EXPECT_EQ(FilesIn(P("out2")).size(), 8u);
}

TEST_F(CardBatch, NamelessRecordIsNamedAfterItsFile) {
    const auto outcomes =
        ConvertRecords(Options({Record("kunde-17.json", {"", "", ""}), Record(".json", {" ", "", ""})}));
    ASSERT_TRUE(outcomes[0].Ok);
    EXPECT_EQ(outcomes[0].BaseName, "kunde-17");
    EXPECT_EQ(outcomes[1].BaseName, "vCard");
    EXPECT_THAT(FilesIn(P("out")), ElementsAre("kunde-17.png", "kunde-17.vcf", "vCard.png", "vCard.vcf"));
}

TEST_F(CardBatch, OneTestcaseIsTheDialogsTestcaseFile) {
    auto o = Options({test::kSampleRecord});
    o.Testcase = true;
    ASSERT_TRUE(ConvertRecords(o)[0].Ok);
    EXPECT_THAT(FilesIn(P("out")), ElementsAre("Anna Berg Grünwald & Söhne GmbH.png",
                                               "Anna Berg Grünwald & Söhne GmbH.vcf", "testcase.json",
                                               "testcase.~json"));
    // The formatted record as the dialog saves it: the loaded document after
    // the record's look-ups.
    const std::string expected = test::ReadBytes(QM_SOURCE_DIR "/tests/tools/card/data/anna-berg.testcase.json");
    ASSERT_THAT(expected, StartsWith("  {\r\n"));
    EXPECT_EQ(test::ReadBytes(P("out/testcase.json")), expected);
    EXPECT_EQ(test::ReadBytes(P("out/testcase.~json")), expected);
}

TEST_F(CardBatch, TestcaseOfARecordWithMissingKeysIsTheRecordAsLoaded) {
    // No "IX", "Group", "Company", "Street", "Town" or "ZipCode": the card's
    // look-ups add them to the record, after the dialog has saved it.
    test::WriteBytes(P("sparse.json"), R"({"Order":[{"Adress":[{"FirstName":"Anna","LastName":"Berg"}]}]})");
    auto o = Options({P("sparse.json")});
    o.Testcase = true;
    ASSERT_TRUE(ConvertRecords(o)[0].Ok);
    const std::string expected = test::ReadBytes(QM_SOURCE_DIR "/tests/tools/card/data/sparse.testcase.json");
    ASSERT_THAT(expected, Not(HasSubstr("\"Company\"")));
    EXPECT_EQ(test::ReadBytes(P("out/testcase.json")), expected);
    EXPECT_EQ(test::ReadBytes(P("out/testcase.~json")), expected);
}

TEST_F(CardBatch, SeveralTestcasesAreNamedAfterTheirCards) {
    auto o = Options({Record("1.json", {"Anna", "Berg", "A"}), Record("2.json", {"Anna", "Berg", "A"}),
                      P("missing.json")});
    o.Testcase = true;
    ConvertRecords(o);
    EXPECT_THAT(FilesIn(P("out")),
                ElementsAre("Anna Berg A (2).png", "Anna Berg A (2).testcase.json", "Anna Berg A (2).testcase.~json",
                            "Anna Berg A (2).vcf", "Anna Berg A.png", "Anna Berg A.testcase.json",
                            "Anna Berg A.testcase.~json", "Anna Berg A.vcf"));
    TFastJSON saved;
    saved.LoadFromFile(P("out/Anna Berg A.testcase.json"));
    EXPECT_EQ(saved.ValueOf("Order").AsArray().Count(), 1);
}

TEST_F(CardBatch, OutputFolderIsCreatedOrReported) {
    auto o = Options({test::kSampleRecord});
    o.OutDir = P("a/b/c");
    EXPECT_TRUE(ConvertRecords(o)[0].Ok);
    EXPECT_EQ(FilesIn(P("a/b/c")).size(), 2u);
    test::WriteBytes(P("file"), "x");
    o.OutDir = P("file/sub");
    const auto outcomes = ConvertRecords(o);
    EXPECT_FALSE(outcomes[0].Ok);
    EXPECT_THAT(outcomes[0].Message, HasSubstr("Verzeichnis kann nicht erstellt werden"));
}

TEST_F(CardBatch, ProgressCountsEveryRecordOnce) {
    std::vector<std::string> records;
    for (int i = 0; i < 20; ++i) {
        records.push_back(i == 7 ? P("missing.json")
                                 : Record(std::to_string(i) + ".json", {"Vorname" + std::to_string(i), "Nachname", ""}));
    }
    std::vector<std::size_t> seen;
    ConvertRecords(Options(records), [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, 20u);
        seen.push_back(done);
    });
    ASSERT_EQ(seen.size(), 20u);
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], i + 1);
}

}  // namespace
}  // namespace qm
