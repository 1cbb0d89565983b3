// The guide for the host's developers against the code: its worked example
// is what the client sends and reads, and its example records load.
#include <gtest/gtest.h>

#include <chrono>

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
    const THostReply answer = SendHostRequest("DBPATH", "CORVANTA-4242", "", options);
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
    test::TProcess host({test::kHostBinary, "--record", record, "--dbpath", "/srv/corvanta", "--launch",
                         std::string(QM_BINARY_DIR) + "/src/app/quillmark"});
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
}
#endif

}  // namespace
}  // namespace qm
