// The guide for the host's developers against the code: its worked example
// is what the client sends and reads, and its example records load.
#include <gtest/gtest.h>

#include <chrono>

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

}  // namespace
}  // namespace qm
