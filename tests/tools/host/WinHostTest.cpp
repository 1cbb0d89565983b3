// The Windows pipe against real quillmark-host.exe processes: busy pipes,
// a host that closes, a missing pipe, and a pipe served by another process.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <utility>

#include "HostProcess.h"
#include "UHost.h"
#include "UHostRequest.h"
#include "UIPCClient.h"

using namespace qm;
using namespace qm::test;

namespace {

// This platform's transport, with every open and wait result recorded.
struct TTransportLog {
    std::vector<std::uint32_t> Opens;
    std::vector<std::uint32_t> Waits;
};

class TRecordingTransport final : public IPipeTransport {
public:
    TRecordingTransport(TTransportLog& log, std::uint32_t expectedPid = 0)
        : log_(log), real_(MakePipeTransport(Options(expectedPid))) {}
    TPipeOpenResult Open(std::string_view computer, std::string_view server) override {
        TPipeOpenResult r = real_->Open(computer, server);
        log_.Opens.push_back(r.Error);
        if (r.Error == kErrorPipeBusy && OnBusy) std::exchange(OnBusy, nullptr)();
        return r;
    }
    // Run once, after the first open that found every instance busy.
    std::function<void()> OnBusy;
    std::uint32_t Wait(std::string_view computer, std::string_view server, std::uint32_t ms) override {
        const std::uint32_t e = real_->Wait(computer, server, ms);
        log_.Waits.push_back(e);
        return e;
    }

private:
    static TPipeOptions Options(std::uint32_t expectedPid) {
        TPipeOptions options;
        options.SilenceLimit = std::chrono::milliseconds(500);
        options.ExpectedServerPid = expectedPid;
        return options;
    }
    TTransportLog& log_;
    std::unique_ptr<IPipeTransport> real_;
};

// Client ends that take pipe instances and send nothing.
std::vector<TWinHandle> TakeInstances(const std::string& server, std::size_t count) {
    std::vector<TWinHandle> taken;
    for (std::size_t i = 0; i < count; ++i) {
        taken.emplace_back(::CreateFileW(ToWide("\\\\.\\pipe\\" + server).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
    }
    return taken;
}

TMessageRef Ask(TIPCClient& client, const std::string& server, std::uint32_t timeoutMs) {
    client.SetServerName(server);
    TMessageData request;
    request.Data().WriteString("COMMAND", "DBPATH");
    return client.Call(request, timeoutMs);
}

class WinPipe : public ::testing::Test {
protected:
    TTempDirEnv env_;
    TTransportLog log_;
};

}  // namespace

TEST_F(WinPipe, NoPipeFailsAtOnceWith2) {
    TIPCClient client(std::make_unique<TRecordingTransport>(log_));
    EXPECT_FALSE(Ask(client, "NOBODY", 5000));
    EXPECT_EQ(client.ErrorDesc(), "WaitNamedPipe failed while wating for the pipe");
    EXPECT_EQ(client.LastError(), kErrorFileNotFound);
    EXPECT_EQ(log_.Opens, (std::vector<std::uint32_t>{kErrorFileNotFound}));
    EXPECT_EQ(log_.Waits.size(), 1u);  // no second attempt
}

TEST_F(WinPipe, HostThatClosesWithoutAnsweringGives109) {
    THost host({"--name", "CLOSER", "--close-early", "--no-exchange"});
    ASSERT_TRUE(host.Ready()) << host.Err();
    TIPCClient client(std::make_unique<TRecordingTransport>(log_));
    EXPECT_TRUE(Ask(client, "CLOSER", 5000));  // the request went out
    EXPECT_EQ(client.ErrorDesc(), "ReadFile failed while reading message ID length");
    EXPECT_EQ(client.LastError(), kErrorBrokenPipe);
    EXPECT_FALSE(client.AnswerValid());
}

TEST_F(WinPipe, BusyPipeThatStaysBusyEndsTheConnect) {
    THost host({"--name", "FULL", "--no-accept", "--no-exchange"});
    ASSERT_TRUE(host.Ready()) << host.Err();
    const auto taken = TakeInstances("FULL", kHostPipeInstances);
    for (const auto& h : taken) ASSERT_TRUE(h) << ::GetLastError();
    TIPCClient client(std::make_unique<TRecordingTransport>(log_));
    EXPECT_FALSE(Ask(client, "FULL", 300));
    EXPECT_TRUE(client.LastError() == kWaitTimeout || client.LastError() == kErrorPipeBusy) << client.LastError();
    ASSERT_FALSE(log_.Opens.empty());
    EXPECT_EQ(log_.Opens.front(), kErrorPipeBusy);
    EXPECT_FALSE(log_.Waits.empty());
}

TEST_F(WinPipe, BusyPipeIsWaitedForUntilAnInstanceIsFree) {
    THost host({"--name", "QUEUE", "--dbpath", "C:\\db", "--no-exchange"});
    ASSERT_TRUE(host.Ready()) << host.Err();
    auto taken = TakeInstances("QUEUE", kHostPipeInstances);
    for (const auto& h : taken) ASSERT_TRUE(h) << ::GetLastError();
    // The silent clients go away once ours has found the pipe busy; the
    // host then makes fresh instances while ours waits.
    auto transport = std::make_unique<TRecordingTransport>(log_);
    transport->OnBusy = [&taken] { taken.clear(); };
    TIPCClient client(std::move(transport));
    TMessageRef reply = Ask(client, "QUEUE", 5000);
    ASSERT_TRUE(reply) << client.ErrorDesc() << " " << client.LastError();
    EXPECT_TRUE(client.AnswerValid());
    EXPECT_EQ(reply->Data().ReadString("DATA"), "C:\\db");
    ASSERT_FALSE(log_.Opens.empty());
    EXPECT_EQ(log_.Opens.front(), kErrorPipeBusy);
    EXPECT_EQ(log_.Opens.back(), 0u);
}

TEST_F(WinPipe, PipeServedByAnotherProcessIsRefused) {
    THost host({"--name", "SQUAT", "--dbpath", "C:\\db", "--no-exchange"});
    ASSERT_TRUE(host.Ready()) << host.Err();
    // Discovery found the host as some other process than the one serving.
    TIPCClient refused(std::make_unique<TRecordingTransport>(log_, host.Pid() + 4));
    EXPECT_FALSE(Ask(refused, "SQUAT", 1000));
    EXPECT_EQ(refused.ErrorDesc(), "The pipe is served by another process than the host");
    EXPECT_EQ(refused.LastError(), kErrorWrongPipeServer);
    TIPCClient accepted(std::make_unique<TRecordingTransport>(log_, host.Pid()));
    TMessageRef reply = Ask(accepted, "SQUAT", 1000);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Data().ReadString("DATA"), "C:\\db");
}

TEST_F(WinPipe, RequestsAfterDiscoveryGoOnlyToTheDiscoveredProcess) {
    THost host({"--name", "REAL", "--dbpath", "C:\\real", "--no-exchange"});
    ASSERT_TRUE(host.Ready()) << host.Err();
    TIPCRequestOptions quick;
    quick.ConnectTimeoutMs = 500;
    quick.Sleep = [](std::chrono::milliseconds) {};
    SetCurrentServerName("REAL", host.Pid());
    EXPECT_EQ(ReadIPCValueSync("DBPATH", false, "", quick), "C:\\real");
    SetCurrentServerName("REAL", host.Pid() + 4);
    EXPECT_EQ(ReadIPCValueSync("DBPATH", false, "", quick), "");
    SetCurrentServerName("");
}
