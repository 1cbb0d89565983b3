#include <gtest/gtest.h>

#include <chrono>

#include "PipeDoubles.h"
#include "UByteOrder.h"
#include "UIPCClient.h"

using namespace qm;
using namespace qm::test;

namespace {

std::string Frame(std::string_view id, std::string_view payload) {
    std::string out;
    AppendLE(out, static_cast<std::int64_t>(id.size()));
    out += id;
    AppendLE(out, static_cast<std::int64_t>(payload.size()));
    out += payload;
    return out;
}

std::string Le64(std::int64_t v) {
    std::string out;
    AppendLE(out, v);
    return out;
}

TMessageData DbPathRequest() {
    TMessageData m;
    m.Data().WriteString("COMMAND", "DBPATH");
    m.Data().WriteInteger("INDEX", -1);
    m.Data().WriteBoolean("SYNC", true);
    return m;
}

std::string DataReply(std::string_view value) {
    TMessageData m;
    m.Data().WriteString("DATA", value);
    return Frame("", m.Data().Bytes());
}

// A client over a scripted transport, with the transport kept in view.
struct TClientFixture {
    TScriptedTransport* Transport;
    TIPCClient Client;
    TClientFixture() : TClientFixture(std::make_unique<TScriptedTransport>()) {}
    explicit TClientFixture(std::unique_ptr<TScriptedTransport> t) : Transport(t.get()), Client(std::move(t)) {
        Client.SetServerName("HOST");
    }
    TPipeLog& Log() { return *Transport->Log; }
};

}  // namespace

TEST(IPCClient, NewClientAndPipePath) {
    TClientFixture f;
    EXPECT_EQ(f.Client.ComputerName(), ".");
    EXPECT_EQ(f.Client.ServerName(), "HOST");
    EXPECT_EQ(f.Client.PipePath(), "\\\\.\\pipe\\HOST");
    EXPECT_FALSE(f.Client.Connected());
    EXPECT_FALSE(f.Client.AnswerValid());
    EXPECT_EQ(f.Client.ErrorDesc(), "");
    EXPECT_EQ(f.Client.LastError(), 0u);
    f.Client.SetServerName("Other");
    EXPECT_EQ(f.Client.PipePath(), "\\\\.\\pipe\\Other");
}

TEST(IPCClient, DbPathRequestLeavesInFourWrites) {
    TClientFixture f;
    f.Transport->Reads = {{DataReply("C:\\Daten")}};
    TMessageData request = DbPathRequest();
    TMessageRef reply = f.Client.Call(request, 5000);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(f.Client.AnswerValid());
    EXPECT_EQ(f.Client.ErrorDesc(), "");
    EXPECT_EQ(reply->Data().ReadString("DATA"), "C:\\Daten");
    ASSERT_EQ(f.Log().Writes.size(), 4u);
    EXPECT_EQ(Hex(f.Log().Writes[0]), "00 00 00 00 00 00 00 00");
    EXPECT_EQ(Hex(f.Log().Writes[1]), "55 00 00 00 00 00 00 00");
    EXPECT_EQ(f.Log().Writes[2], request.Data().Bytes());
    EXPECT_EQ(Hex(f.Log().Writes[3]), "ff ff ff ff ff ff ff ff");
    EXPECT_TRUE(f.Log().Closed);
    EXPECT_FALSE(f.Client.Connected());
}

TEST(IPCClient, IdTravelsWithItsLengthInOneWrite) {
    TClientFixture f;
    f.Transport->Reads = {{Frame("RE", "")}};
    f.Client.Connect(1000);
    TMessageData request;
    request.SetID("ABC");
    TMessageRef reply = f.Client.SendRequest(request);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->ID(), "RE");
    EXPECT_EQ(Hex(f.Log().Writes[0]), "03 00 00 00 00 00 00 00 41 42 43");
    EXPECT_EQ(f.Log().Writes.size(), 2u);  // empty payload: size field, no chunk
    EXPECT_EQ(Hex(f.Log().Writes[1]), "00 00 00 00 00 00 00 00");
}

TEST(IPCClient, PayloadGoesOutInChunksOfAtMost65536) {
    const struct {
        std::size_t total;
        std::vector<std::size_t> chunks;
    } cases[] = {
        {65536, {65536}},
        {65537, {65536, 1}},
        {200000, {65536, 65536, 65536, 3392}},
    };
    for (const auto& [total, expected] : cases) {
        SCOPED_TRACE(total);
        TClientFixture f;
        f.Transport->Reads = {{Frame("", "")}};
        TMessageData request;
        // One entry of 4 + 2 + 8 header bytes and an even value.
        const std::size_t valueBytes = (total - 14) & ~std::size_t{1};
        request.Data().WriteString("X", std::string(valueBytes / 2, 'v'));
        if (request.Data().Size() != static_cast<std::int64_t>(total)) {
            request.Data().Append(std::string(total - request.Data().Bytes().size(), '\0'));
        }
        ASSERT_TRUE(f.Client.Call(request, 1000));
        std::vector<std::size_t> chunks;
        for (std::size_t i = 2; i + 1 < f.Log().Writes.size(); ++i) chunks.push_back(f.Log().Writes[i].size());
        EXPECT_EQ(chunks, expected);
        EXPECT_EQ(f.Log().Writes[1], Le64(static_cast<std::int64_t>(total)));
    }
}

TEST(IPCClient, EmptyReplyIsACompleteAnswer) {
    TClientFixture f;
    f.Transport->Reads = {{Frame("", "")}};
    TMessageData request = DbPathRequest();
    TMessageRef reply = f.Client.Call(request, 1000);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(f.Client.AnswerValid());
    EXPECT_EQ(reply->Data().ReadString("DATA"), "");
}

TEST(IPCClient, ReplyInSmallPiecesIsCollected) {
    // Every field split across reads, the header ones included; partial
    // deliveries of a longer message count as deliveries.
    const std::string frame = Frame("ID", DataReply("a value long enough").substr(16));
    TClientFixture f;
    for (std::size_t i = 0; i < frame.size(); i += 3) {
        f.Transport->Reads.push_back({frame.substr(i, 3), i % 2 == 0 ? kErrorMoreData : 0u});
    }
    TMessageData request = DbPathRequest();
    TMessageRef reply = f.Client.Call(request, 1000);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(f.Client.AnswerValid()) << f.Client.ErrorDesc();
    EXPECT_EQ(reply->ID(), "ID");
    EXPECT_EQ(reply->Data().ReadString("DATA"), "a value long enough");
}

TEST(IPCClient, EachReadStepReportsItsOwnFailure) {
    struct Case {
        std::deque<TReadStep> reads;
        const char* desc;
        std::uint32_t error;
        std::int64_t received;
    };
    const std::string payload = DataReply("xyz").substr(16);
    const Case cases[] = {
        {{}, "ReadFile failed while reading message ID length", kErrorBrokenPipe, 0},
        {{{"\x05\0\0\0"}}, "ReadFile failed while reading message ID length", kErrorBrokenPipe, 0},
        {{{Le64(2) + "I"}}, "ReadFile failed while reading message ID", kErrorBrokenPipe, 0},
        {{{Le64(0) + "\x01"}}, "ReadFile failed while reading message data size", kErrorBrokenPipe, 0},
        {{{Le64(0) + Le64(100) + payload.substr(0, 7)}}, "ReadFile failed while reading message data",
         kErrorBrokenPipe, 7},
        {{{Le64(0) + Le64(100)}, {"abc", 5}}, "ReadFile failed while reading message data", 5, 3},
        {{{Le64(0), 6}}, "ReadFile failed while reading message ID length", 6, 0},
        // Sizes that cannot be meant are refused before allocating.
        {{{Le64(-2)}}, "ReadFile failed while reading message ID length", kErrorInvalidData, 0},
        {{{Le64(kMaxFrameField + 1)}}, "ReadFile failed while reading message ID length", kErrorInvalidData, 0},
        {{{Le64(0) + Le64(-1)}}, "ReadFile failed while reading message data size", kErrorInvalidData, 0},
        {{{Le64(0) + Le64(std::int64_t{1} << 40)}}, "ReadFile failed while reading message data size",
         kErrorInvalidData, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.desc);
        TClientFixture f;
        f.Transport->Reads = c.reads;
        TMessageData request = DbPathRequest();
        TMessageRef reply = f.Client.Call(request, 1000);
        ASSERT_TRUE(reply);  // the request went out: a reply comes back, incomplete
        EXPECT_FALSE(f.Client.AnswerValid());
        EXPECT_EQ(f.Client.ErrorDesc(), c.desc);
        EXPECT_EQ(f.Client.LastError(), c.error);
        EXPECT_EQ(reply->Data().Size(), c.received);
        EXPECT_EQ(Hex(f.Log().Writes.back()), "ff ff ff ff ff ff ff ff");  // end marker after the failure
        EXPECT_TRUE(f.Log().Closed);
    }
}

TEST(IPCClient, ReplyAtTheSizeLimitIsAccepted) {
    TClientFixture f;
    f.Transport->Reads = {{Le64(0) + Le64(kMaxFrameField) + std::string(kMaxFrameField, '\0')}};
    TMessageData request = DbPathRequest();
    TMessageRef reply = f.Client.Call(request, 1000);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(f.Client.AnswerValid()) << f.Client.ErrorDesc();
    EXPECT_EQ(reply->Data().Size(), kMaxFrameField);
}

TEST(IPCClient, EachWriteStepReportsItsOwnFailure) {
    const std::pair<std::size_t, const char*> cases[] = {
        {0, "WriteFile failed while writing message ID"},
        {1, "WriteFile failed while writing message data size"},
        {2, "WriteFile failed while writing message chunk"},
    };
    for (const auto& [failingWrite, desc] : cases) {
        SCOPED_TRACE(desc);
        TClientFixture f;
        f.Transport->Reads = {{Frame("", "")}};
        f.Transport->WriteError = [failing = failingWrite](std::size_t i) { return i == failing ? 32u : 0u; };
        TMessageData request = DbPathRequest();
        EXPECT_FALSE(f.Client.Call(request, 1000));  // no reply after a failed write
        EXPECT_FALSE(f.Client.AnswerValid());
        EXPECT_EQ(f.Client.ErrorDesc(), desc);
        EXPECT_EQ(f.Client.LastError(), 32u);
        // Nothing more of the request, then the end marker and the close.
        ASSERT_EQ(f.Log().Writes.size(), failingWrite + 2);
        EXPECT_EQ(Hex(f.Log().Writes.back()), "ff ff ff ff ff ff ff ff");
        EXPECT_TRUE(f.Log().Closed);
    }
}

TEST(IPCClient, ConnectFailures) {
    {
        SCOPED_TRACE("open fails with another error");
        auto t = std::make_unique<TScriptedTransport>();
        t->OpenErrors = {5};
        TClientFixture f(std::move(t));
        TMessageData request = DbPathRequest();
        EXPECT_FALSE(f.Client.Call(request, 1000));
        EXPECT_EQ(f.Client.ErrorDesc(), "CreateFile failed while creating new pipe handle");
        EXPECT_EQ(f.Client.LastError(), 5u);
        EXPECT_TRUE(f.Log().WaitedMs.empty());
        EXPECT_TRUE(f.Log().Writes.empty());
    }
    {
        SCOPED_TRACE("no such pipe");
        auto t = std::make_unique<TScriptedTransport>();
        t->OpenErrors = {kErrorFileNotFound};
        t->WaitErrors = {kErrorFileNotFound};
        TClientFixture f(std::move(t));
        TMessageData request = DbPathRequest();
        EXPECT_FALSE(f.Client.Call(request, 5000));
        EXPECT_EQ(f.Client.ErrorDesc(), "WaitNamedPipe failed while wating for the pipe");
        EXPECT_EQ(f.Client.LastError(), kErrorFileNotFound);
        ASSERT_EQ(f.Log().WaitedMs.size(), 1u);
        EXPECT_LE(f.Log().WaitedMs[0], 5000u);
        EXPECT_GT(f.Log().WaitedMs[0], 4000u);
        EXPECT_TRUE(f.Log().Writes.empty());
    }
    {
        SCOPED_TRACE("busy, then free");
        auto t = std::make_unique<TScriptedTransport>();
        t->OpenErrors = {kErrorPipeBusy, kErrorFileNotFound};
        t->Reads = {{Frame("", "")}};
        TClientFixture f(std::move(t));
        TMessageData request = DbPathRequest();
        EXPECT_TRUE(f.Client.Call(request, 1000));
        EXPECT_TRUE(f.Client.AnswerValid());
        EXPECT_EQ(f.Log().Opens, 3);
        EXPECT_EQ(f.Log().WaitedMs.size(), 2u);
    }
}

TEST(IPCClient, BusyPipeTimesOutAfterTheTimeout) {
    auto t = std::make_unique<TScriptedTransport>();
    t->OpenSucceeds = false;
    TClientFixture f(std::move(t));
    const auto start = std::chrono::steady_clock::now();
    f.Client.Connect(60);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(f.Client.Connected());
    EXPECT_EQ(f.Client.ErrorDesc(), "IPC client failed with WAIT timeout");
    EXPECT_EQ(f.Client.LastError(), kWaitTimeout);
    EXPECT_GE(took, std::chrono::milliseconds(60));
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    EXPECT_GT(f.Log().Opens, 1);
    for (std::uint32_t ms : f.Log().WaitedMs) EXPECT_LE(ms, 60u);
}

TEST(IPCClient, ZeroTimeoutMakesNoAttempt) {
    TClientFixture f;
    TMessageData request = DbPathRequest();
    EXPECT_FALSE(f.Client.Call(request, 0));
    EXPECT_EQ(f.Log().Opens, 0);
    EXPECT_EQ(f.Client.ErrorDesc(), "IPC client failed with WAIT timeout");
    EXPECT_EQ(f.Client.LastError(), kWaitTimeout);
}

TEST(IPCClient, ReconnectClearsEarlierFailure) {
    auto t = std::make_unique<TScriptedTransport>();
    t->OpenErrors = {7};
    TClientFixture f(std::move(t));
    f.Client.Connect(1000);
    EXPECT_EQ(f.Client.LastError(), 7u);
    f.Client.Connect(1000);
    EXPECT_TRUE(f.Client.Connected());
    EXPECT_EQ(f.Client.ErrorDesc(), "");
    EXPECT_EQ(f.Client.LastError(), 0u);
    f.Client.Disconnect();
    EXPECT_FALSE(f.Client.Connected());
    EXPECT_EQ(f.Log().Writes.size(), 1u);  // the end marker only
    f.Client.Disconnect();                 // nothing open: nothing written
    EXPECT_EQ(f.Log().Writes.size(), 1u);
}
