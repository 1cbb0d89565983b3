// The guide for the host's developers against the code: its worked example
// is what the client sends and reads, its example records load, and its C
// pieces for POSIX do what it says, as the programs do.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "HostProcess.h"
#include "PipeDoubles.h"
#include "ShipTestSupport.h"
#include "TestFiles.h"
#include "UCardBuilder.h"
#include "UHostRequest.h"

namespace qm {
namespace {

const std::string kGuide = test::ReadBytes(QM_SOURCE_DIR "/docs/host-integration.md");

TEST(HostGuide, WorkedExampleIsWhatTheClientSendsAndReads) {
    const std::vector<std::string> request = test::HexDumpWrites(test::MarkedBlock(kGuide, "bytes: dbpath-request"));
    const std::vector<std::string> reply = test::HexDumpWrites(test::MarkedBlock(kGuide, "bytes: dbpath-reply"));
    ASSERT_EQ(request.size(), 4u);
    ASSERT_EQ(reply.size(), 1u);
    EXPECT_EQ(request[2].size(), 85u);

    auto log = std::make_shared<test::TPipeLog>();
    TIPCRequestOptions options;
    options.MakeTransport = [log, reply](const qm::TPipeOptions&) {
        auto transport = std::make_unique<test::TScriptedTransport>();
        transport->Log = log;
        transport->Reads = {{reply[0]}};
        return std::unique_ptr<IPipeTransport>(std::move(transport));
    };
    const THostReply answer = SendHostRequest(kCmdDatabasePath, "CORVANTA-4242", "", options);
    EXPECT_TRUE(answer.Result.AnswerValid) << answer.Result.ErrorDesc;
    EXPECT_EQ(answer.Value, "D:\\Corvanta\\Daten");
    ASSERT_EQ(log->Writes.size(), request.size());
    for (std::size_t i = 0; i < request.size(); ++i) {
        EXPECT_EQ(test::Hex(log->Writes[i]), test::Hex(request[i])) << "write " << i + 1;
    }
}

TEST(HostGuide, ExampleRecordsMakeCards) {
    test::TTempFolder folder;
    for (const char* name : {"minimal", "full"}) {
        const std::string path = folder.Path(std::string(name) + ".json");
        test::WriteBytes(path, test::MarkedBlock(kGuide, std::string("record: ") + name));
        const TRecordCard card = LoadRecordCard(path, std::chrono::system_clock::now());
        EXPECT_NE(card.Text.VCardText.find("\nN:Berg;Anna;;;\n"), std::string::npos) << name;
    }
}

// The cells of the Markdown table right after "<!-- marker -->" in the
// guide, header and separator row left out.
std::vector<std::vector<std::string>> TableRows(std::string_view marker) {
    const std::string tag = "<!-- " + std::string(marker) + " -->\n";
    const std::size_t at = kGuide.find(tag);
    if (at == std::string::npos) throw std::runtime_error("no table " + tag);
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(kGuide.substr(at + tag.size()));
    std::string line;
    int seen = 0;
    while (std::getline(in, line) && !line.empty() && line[0] == '|') {
        if (++seen <= 2) continue;
        std::vector<std::string> cells;
        std::size_t at = 1;
        for (std::size_t bar; (bar = line.find('|', at)) != std::string::npos; at = bar + 1) {
            std::string cell = line.substr(at, bar - at);
            cell.erase(0, cell.find_first_not_of(' '));
            cell.erase(cell.find_last_not_of(' ') + 1);
            cells.push_back(cell);
        }
        rows.push_back(cells);
    }
    return rows;
}

TEST(HostGuide, ErrorCodesAreTheClientsCodesWithTheNamesItPrints) {
    const auto rows = TableRows("codes: client-errors");
    std::vector<std::uint32_t> codes;
    for (const auto& row : rows) {
        ASSERT_GE(row.size(), 2u);
        const auto code = static_cast<std::uint32_t>(std::stoul(row[0]));
        codes.push_back(code);
        EXPECT_EQ(PipeErrorName(code), row[1]) << code;
    }
    EXPECT_EQ(codes, (std::vector<std::uint32_t>{kErrorFileNotFound, kErrorInvalidData, kErrorBrokenPipe,
                                                 kErrorPipeBusy, kErrorMoreData, kWaitTimeout,
                                                 kErrorPipeFolderRefused, kErrorWrongPipeServer,
                                                 kErrorForeignPipeServer}));
    // The requests the guide describes are those the dialog and the host know.
    std::vector<std::string> commands;
    for (const auto& row : TableRows("table: requests")) commands.push_back(row.at(0));
    std::vector<std::string> known;
    for (const std::string_view command : kHostCommands) known.push_back("`" + std::string(command) + "`");
    EXPECT_EQ(commands, known);
}

#ifdef QM_HAS_DIALOG
// The lines the guide promises for a run without a screen are the lines the
// real dialog prints, in their order, when a host starts it.
TEST(HostGuide, TheDialogWithoutAScreenPrintsTheLinesTheGuideShows) {
    test::TTempDirEnv env;
    const std::string record = env.Path("record.json");
    test::WriteBytes(record, test::MarkedBlock(kGuide, "record: full"));
    ::setenv("QUILLMARK_SNAPSHOT_DIR", env.Path("shot").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    test::TProcess host({test::kHostBinary, "--record", record, "--metrics", "200,150", "--dbpath", "/srv/corvanta",
                         "--launch", std::string(QM_BINARY_DIR) + "/src/app/quillmark"});
    const int status = host.Wait();
    ::unsetenv("QUILLMARK_SNAPSHOT_DIR");
    EXPECT_EQ(status, 0) << host.Err();

    std::istringstream guide(test::MarkedBlock(kGuide, "lines: snapshot"));
    std::istringstream printed(host.Out());
    std::string promised, got;
    while (std::getline(guide, promised)) {
        if (promised.empty() || promised.starts_with("```")) continue;
        const std::string label = promised.substr(0, promised.find('<'));
        ASSERT_TRUE(std::getline(printed, got)) << "missing: " << label;
        EXPECT_TRUE(got.starts_with(label)) << got << " / " << label;
    }
    EXPECT_FALSE(std::getline(printed, got)) << "more than the guide shows: " << got;
    // The place the guide names for these metrics.
    EXPECT_NE(host.Out().find("Fensterlage:  250,200; Innenfl\xC3\xA4" "che 510 x 539; 96 dpi\n"), std::string::npos)
        << host.Out();
}
#endif

// The guide's C pieces, marked "c: ...", with a driver that runs one of them
// as its argument says and prints the result.
constexpr const char* kCodeDriver = R"(
#include <sys/wait.h>

int main(int argc, char **argv) {
    char folder[4096], path[8192];
    if (argc < 2) { /* the child of "spawn": waits for a signal, 10 s at most */
        alarm(10);
        pause();
        return 0;
    }
    if (working_folder(folder, sizeof folder) != 0) return puts("refused"), 1;
    if (strcmp(argv[1], "folder") == 0) return puts(folder), 0;
    if (strcmp(argv[1], "gone") == 0) return puts(server_gone(folder, argv[2]) ? "gone" : "running"), 0;
    if (strcmp(argv[1], "address") == 0) {
        /* A file an earlier process of this id left under the first name. */
        snprintf(path, sizeof path, "%sCVT-ADDRESS-%ld-1.json", folder, (long)getpid());
        FILE *old = fopen(path, "w");
        if (old == NULL || fputs("old", old) < 0 || fclose(old) != 0) return 1;
        return write_address_file(folder, "{}", 2, path, sizeof path) == 0 ? (puts(path), 0) : 1;
    }
    /* "spawn", from a process that blocks and ignores SIGTERM, as some
       language runtimes do. */
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, NULL);
    signal(SIGTERM, SIG_IGN);
    int status;
    pid_t child = start_dialog(argv[0]);
    if (child < 0 || kill(child, SIGTERM) != 0 || waitpid(child, &status, 0) != child) return 1;
    return puts(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM ? "ended by SIGTERM" : "not ended"), 0;
}
)";

class HostGuideCode : public ::testing::Test {
protected:
    void SetUp() override {
        std::string source;
        for (const char* piece : {"working-folder", "address-file", "start-dialog", "stale-line"})
            source += test::MarkedBlock(kGuide, std::string("c: ") + piece);
        test::WriteBytes(env_.Path("guide.c"), source + kCodeDriver);
        const std::string compile = "cc -Wall -Wextra -Werror -o '" + program_ + "' '" + env_.Path("guide.c") +
                                    "' 2>'" + env_.Path("cc.txt") + "'";
        ASSERT_EQ(std::system(compile.c_str()), 0) << test::ReadBytes(env_.Path("cc.txt"));
    }
    // The driver's output for `command`, which must exit with `status`.
    std::string Run(std::vector<std::string> command, int status = 0) {
        command.insert(command.begin(), program_);
        test::TProcess run(command);
        EXPECT_EQ(run.Wait(), status) << run.Err();
        return run.Out();
    }

    test::TTempDirEnv env_;
    std::string program_ = env_.Path("guide-code");
};

TEST_F(HostGuideCode, TheWorkingFolderIsTheProgramsPrivateOneAndALinkIsRefused) {
    EXPECT_EQ(Run({"folder"}), env_.Working() + "\n");
    for (const std::string& folder : {env_.Working(), env_.Working() + "pipes"}) {
        struct stat st {};
        ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    std::filesystem::remove_all(env_.Working());
    std::filesystem::create_directory(env_.Path("elsewhere"));
    std::filesystem::create_directory_symlink(env_.Path("elsewhere"), env_.Path("CVTempDir"));
    EXPECT_EQ(Run({"folder"}, 1), "refused\n");
}

TEST_F(HostGuideCode, AnAddressFileOfAnEarlierProcessOfTheSameIdIsSkipped) {
    const std::string path = Run({"address"});
    ASSERT_TRUE(path.ends_with("-2.json\n")) << path;
    EXPECT_EQ(test::ReadBytes(path.substr(0, path.size() - 1)), "{}");
    EXPECT_EQ(test::ReadBytes(path.substr(0, path.size() - 8) + "-1.json"), "old");
}

TEST_F(HostGuideCode, ADialogStartedAsShownEndsOnSigtermWhateverItsHostBlocks) {
    EXPECT_EQ(Run({"spawn"}), "ended by SIGTERM\n");
}

TEST_F(HostGuideCode, AStaleLineIsToldFromARunningHost) {
    test::THost running({"--name", "RUNNING", "--no-exchange"});
    test::THost stale({"--name", "STALE", "--no-exchange", "--stale-socket"});
    ASSERT_TRUE(running.Ready() && stale.Ready()) << running.Err() << stale.Err();
    EXPECT_EQ(Run({"gone", "RUNNING"}), "running\n");
    EXPECT_EQ(Run({"gone", "STALE"}), "gone\n");
    EXPECT_EQ(Run({"gone", "NEVER"}), "gone\n");
}

}  // namespace
}  // namespace qm
