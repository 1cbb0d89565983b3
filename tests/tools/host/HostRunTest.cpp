// What the test host does as a process, the same on every platform: it
// refuses a name a running host serves, ends with 127 when its program
// cannot start, and with --keep-running outlives the program it started.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "HostProcess.h"
#include "UHostRequest.h"

using namespace qm;
using namespace qm::test;

namespace {

#ifdef _WIN32
constexpr const char* kExeSuffix = ".exe";
#else
constexpr const char* kExeSuffix = "";
#endif

std::string AskDbPath(const std::string& server) {
    TIPCRequestOptions options;
    options.ConnectTimeoutMs = 2000;
    return SendHostRequest("DBPATH", server, "", options).Value;
}

class HostRun : public ::testing::Test {
protected:
    void SetUp() override { SetCurrentServerName(""); }
    void TearDown() override { SetCurrentServerName(""); }
    TTempDirEnv env_;
};

}  // namespace

TEST_F(HostRun, ANameInUseIsRefusedInOneWordingAndTheRunningHostKeepsIt) {
    THost first({"--name", "SAME", "--dbpath", "/erster", "--no-exchange"});
    ASSERT_TRUE(first.Ready()) << first.Err();
    TProcess second({kHostBinary, "--name", "SAME", "--dbpath", "/zweiter", "--no-exchange"});
    EXPECT_EQ(second.Wait(), 1);
    EXPECT_EQ(second.Err(), "quillmark-host: server name in use by a running host: SAME\n");
    EXPECT_EQ(AskDbPath("SAME"), "/erster");
}

TEST_F(HostRun, AProgramThatCannotStartEndsTheHostWith127) {
    const std::string missing = env_.Path(std::string("fehlt/programm") + kExeSuffix);
    TProcess host({kHostBinary, "--name", "L", "--no-exchange", "--launch", missing});
    EXPECT_EQ(host.Wait(), 127);
    EXPECT_NE(host.Err().find("quillmark-host: cannot start " + missing + ": "), std::string::npos) << host.Err();
}

TEST_F(HostRun, TheProgramsStatusEndsTheHostUnlessItKeepsRunning) {
    // The program started fails at once on its bad argument (status 2).
    const std::vector<std::string> launch = {"--launch", kIpcBinary, "--bogus"};
    const struct {
        bool KeepRunning;
        int Status;  // of the host once its program ended; 0: still serving
    } cases[] = {{false, 2}, {true, 0}};
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--name", "K", "--dbpath", "/k", "--no-exchange", "-v"};
        if (c.KeepRunning) args.push_back("--keep-running");
        args.insert(args.end(), launch.begin(), launch.end());
        THost host(args);
        ASSERT_TRUE(host.Ready()) << host.Err();
        ASSERT_TRUE(host.WaitForError("quillmark-ipc: unexpected argument")) << host.Err();
        if (c.KeepRunning) {
            ASSERT_TRUE(host.WaitForError("child ended with status 2")) << host.Err();
            EXPECT_EQ(AskDbPath("K"), "/k");
        } else {
            EXPECT_EQ(host.Wait(), c.Status);
        }
    }
}

// Names another process keeps busy or serves without answering cannot hide
// the host listed after them: six hosts that never serve, every instance of
// their pipes taken, and three that never answer stand before the host that
// started us in the exchange file.
TEST_F(HostRun, BusyAndMuteNamesAheadOfTheHostDoNotHideIt) {
    std::vector<std::unique_ptr<THost>> busy;
    std::vector<std::unique_ptr<IPipeStream>> taken;
    for (int i = 1; i <= 6; ++i) {
        const std::string name = "BUSY" + std::to_string(i);
        busy.push_back(std::make_unique<THost>(std::vector<std::string>{"--name", name, "--no-accept"}));
        ASSERT_TRUE(busy.back()->Ready()) << busy.back()->Err();
        // As many client ends as the pipe takes (Windows: its instances;
        // POSIX: a backlog of one), until the next open finds it busy.
        const auto transport = MakePipeTransport();
        TPipeOpenResult opened;
        for (int k = 0; k < 16; ++k) {
            opened = transport->Open(".", name);
            if (!opened.Stream) break;
            taken.push_back(std::move(opened.Stream));
        }
        ASSERT_EQ(opened.Error, kErrorPipeBusy) << name;
    }
    // And three that accept and never answer: a request's silence limit
    // (10 s) each would use up the whole time.
    for (int i = 1; i <= 3; ++i) {
        busy.push_back(std::make_unique<THost>(std::vector<std::string>{"--name", "MUTE" + std::to_string(i), "--silent"}));
        ASSERT_TRUE(busy.back()->Ready()) << busy.back()->Err();
    }
    THost host({"--name", "REAL"});
    ASSERT_TRUE(host.Ready()) << host.Err();
    TIPCRequestOptions options;
    options.Deadline = std::chrono::seconds(10);
    EXPECT_EQ(DiscoverHostServer(static_cast<std::uint32_t>(host.Pid()), options), "REAL");
    EXPECT_EQ(GetCurrentServerPid(), static_cast<std::uint32_t>(host.Pid()));
}
