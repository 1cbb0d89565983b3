// quillmark-ipc started by quillmark-host, as the dialog is: it must find
// the host that started it among several, and never wait beyond the limits.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "HostProcess.h"
#include "UIpcTool.h"
#ifndef _WIN32
#include "UPosixPipe.h"
#endif

using namespace qm;
using namespace qm::test;
using Clock = std::chrono::steady_clock;

namespace {

class IpcTool : public ::testing::Test {
protected:
    // Runs quillmark-ipc as the child of a host with `hostArgs`.
    std::string Launched(std::vector<std::string> hostArgs, const std::vector<std::string>& ipcArgs,
                         int* status = nullptr, std::string* err = nullptr) {
        hostArgs.insert(hostArgs.begin(), kHostBinary);
        hostArgs.push_back("--launch");
        hostArgs.push_back(kIpcBinary);
        hostArgs.insert(hostArgs.end(), ipcArgs.begin(), ipcArgs.end());
        TProcess host(hostArgs);
        const int rc = host.Wait();
        if (status != nullptr) *status = rc;
        if (err != nullptr) *err = host.Err();
        return host.Out();
    }

    // What the address file that GETJSONADRESS names holds, asked of a host
    // with `hostArgs` serving `name`: read while that host still runs, as
    // it removes the files nobody took when it ends.
    std::string AddressFileContent(std::vector<std::string> hostArgs, const std::string& name) {
        THost host(std::move(hostArgs));
        if (!host.Ready()) return "(host not ready)";
        TProcess ipc({kIpcBinary, "--server", name, "GETJSONADRESS"});
        if (ipc.Wait() != 0) return "(quillmark-ipc failed: " + ipc.Err() + ")";
        const std::string path = ipc.Out();
        return path.empty() ? "(no path)" : ReadBytes(path.substr(0, path.size() - 1));
    }

    TTempDirEnv env_;
};

}  // namespace

TEST_F(IpcTool, ChildFindsItsHostAndReadsTheFourValues) {
    const std::string record = env_.Root() + "/rec.json";
    std::ofstream(record) << "{\"a\":1}";
    const std::vector<std::string> host = {"--name", "MAIN", "--record", record, "--metrics", "100,200,50,60",
                                           "--dbpath", "/srv/db"};
    THost other({"--name", "OTHER", "--default", "--dbpath", "/other"});  // the default, but not our parent
    ASSERT_TRUE(other.Ready());
    int status = -1;
    std::string err;
    const std::string serverProcess = Launched(host, {"-v", "SERVERPROCESS"}, &status, &err);
    EXPECT_EQ(status, 0) << err;
    EXPECT_EQ(serverProcess.substr(0, 5), "MAIN\b");
    EXPECT_NE(err.find("discovery: parent process"), std::string::npos);
    EXPECT_NE(err.find("host \"MAIN\""), std::string::npos);
    EXPECT_EQ(Launched(host, {"CORVANTAMETRICS"}), "100,200,50,60\n");
    EXPECT_EQ(Launched(host, {"DBPATH"}), "/srv/db\n");
    EXPECT_EQ(AddressFileContent(host, "MAIN"), "{\"a\":1}");
}

TEST_F(IpcTool, ArgumentsWithUmlautsReachTheHostAndTheClient) {
    // The host's record in a folder with an umlaut, its name and its
    // database path with umlauts; the client asks that name.
    std::filesystem::create_directories(U8Path(env_.Path("J\xC3\xBCrgen")));
    const std::string record = env_.Path("J\xC3\xBCrgen/anna.json");
    WriteBytes(record, "{\"Name\":\"J\xC3\xBCrgen\"}");
    const std::string name = "M\xC3\x9CLLER";
    const std::vector<std::string> host = {"--name", name, "--record", record, "--dbpath", "D:\\Gr\xC3\xBC\xC3\x9F" "e"};
    int status = -1;
    std::string err;
    EXPECT_EQ(Launched(host, {"--server", name, "DBPATH"}, &status, &err), "D:\\Gr\xC3\xBC\xC3\x9F" "e\n");
    EXPECT_EQ(status, 0) << err;
    EXPECT_EQ(AddressFileContent(host, name), "{\"Name\":\"J\xC3\xBCrgen\"}");
}

TEST_F(IpcTool, SecondOfThreeHostsIsFound) {
    THost first({"--name", "FIRST", "--dbpath", "/1"});
    THost third({"--name", "THIRD", "--dbpath", "/3"});
    ASSERT_TRUE(first.Ready() && third.Ready());
    EXPECT_EQ(Launched({"--name", "SECOND", "--dbpath", "/2"}, {"DBPATH"}), "/2\n");
}

TEST_F(IpcTool, NoHostGivesAnEmptyLineAfterThreeQuickAttempts) {
    TProcess ipc({kIpcBinary, "-v", "DBPATH"});
    // Timed from the child's report of its first attempt, not from its start.
    ASSERT_TRUE(ipc.WaitForError("attempt 1:")) << ipc.Err();
    const auto first = Clock::now();
    EXPECT_EQ(ipc.Wait(), 1);
    EXPECT_LT(Clock::now() - first, std::chrono::milliseconds(1500));
    EXPECT_EQ(ipc.Out(), "\n");
    EXPECT_NE(ipc.Err().find("attempt 3: AnswerValid=false"), std::string::npos);
    EXPECT_EQ(ipc.Err().find("attempt 4"), std::string::npos);
    EXPECT_NE(ipc.Err().find("LastError=2 (no such pipe)"), std::string::npos);
}

#ifndef _WIN32
// A listed host that is gone, and a busy pipe of one slot, as only the
// POSIX host can play them (the Windows pipe is tested in WinHostTest.cpp).
TEST_F(IpcTool, OneHostThatDidNotStartItIsRememberedWhenTheDefaultIsGone) {
    THost gone({"--name", "GONE", "--stale-socket"});  // listed first, nobody listening
    THost only({"--name", "ONLY", "--dbpath", "/only"});
    ASSERT_TRUE(gone.Ready() && only.Ready());
    int status = -1;
    std::string err;
    EXPECT_EQ(Launched({"--name", "LAUNCHER", "--no-exchange"}, {"-v", "DBPATH"}, &status, &err), "/only\n");
    EXPECT_NE(err.find("host \"ONLY\""), std::string::npos) << err;
}

#endif

TEST_F(IpcTool, TwoHostsClaimingOtherProcessesLeaveItToTheDefault) {
    THost first({"--name", "DEF", "--dbpath", "/def", "-v"});
    ASSERT_TRUE(first.Ready());
    std::string err;
    EXPECT_EQ(Launched({"--name", "LIAR", "--claim-pid", "1", "--dbpath", "/liar"}, {"-v", "DBPATH"}, nullptr, &err),
              "/def\n")
        << err << first.Err();
}

TEST_F(IpcTool, MisbehavingHostsNeverHoldItLongerThanTheLimits) {
    // Each case is timed from the child's own report of its first attempt to
    // its exit, the second and third attempts with their pauses: starting a
    // process (slow under Wine and under load) is not part of the limit.
    // Every case must also end long before the default silence limit (10 s).
    struct Case {
        std::vector<std::string> hostArgs;
        std::vector<std::string> ipcArgs;
        std::chrono::milliseconds afterFirst;
    };
    const Case cases[] = {
        // Silent: two more attempts of at most the silence limit each, plus pauses.
        {{"--silent"}, {"--silence-limit", "200"}, std::chrono::milliseconds(2 * 200 + 2 * 50 + 700)},
        {{"--slow", "5000"}, {"--silence-limit", "200"}, std::chrono::milliseconds(2 * 200 + 2 * 50 + 700)},
        // Refused at once: the pauses only.
        {{"--reply-size", "999999999999"}, {}, std::chrono::milliseconds(2 * 50 + 700)},
        {{"--close-early"}, {}, std::chrono::milliseconds(2 * 50 + 700)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hostArgs[0]);
        THost host([&] {
            std::vector<std::string> a = {"--name", "BAD", "--dbpath", "/x"};
            a.insert(a.end(), c.hostArgs.begin(), c.hostArgs.end());
            return a;
        }());
        ASSERT_TRUE(host.Ready());
        std::vector<std::string> args = {kIpcBinary, "-v", "--no-discovery"};
        args.insert(args.end(), c.ipcArgs.begin(), c.ipcArgs.end());
        args.push_back("DBPATH");
        const auto start = Clock::now();
        TProcess ipc(args);
        ASSERT_TRUE(ipc.WaitForError("attempt 1:", std::chrono::seconds(5))) << ipc.Err();
        const auto first = Clock::now();
        EXPECT_EQ(ipc.Wait(), 1);
        const auto end = Clock::now();
        EXPECT_LT(end - first, c.afterFirst);
        EXPECT_LT(end - start, std::chrono::seconds(8));
        EXPECT_EQ(ipc.Out(), "\n");
        EXPECT_NE(ipc.Err().find("attempt 3: AnswerValid=false"), std::string::npos) << ipc.Err();
    }
}

#ifndef _WIN32
TEST_F(IpcTool, BusyHostIsWaitedForUpToTheConnectTimeout) {
    THost host({"--name", "BUSY", "--no-accept"});
    ASSERT_TRUE(host.Ready());
    // The one connection a backlog of 0 takes: open when Open returns.
    qm::TPipeOpenResult filler = qm::MakePosixPipeTransport()->Open(".", "BUSY");
    ASSERT_EQ(filler.Error, 0u);
    TProcess ipc({kIpcBinary, "-v", "--no-discovery", "--connect-timeout", "200", "DBPATH"});
    // From the child's report of its first attempt: two more to come.
    ASSERT_TRUE(ipc.WaitForError("attempt 1:")) << ipc.Err();
    const auto first = Clock::now();
    EXPECT_EQ(ipc.Wait(), 1);
    const auto took = Clock::now() - first;
    EXPECT_GE(took, std::chrono::milliseconds(2 * 200));
    EXPECT_LT(took, std::chrono::milliseconds(2 * 250 + 2 * 50 + 700));
    EXPECT_NE(ipc.Err().find("IPC client failed with WAIT timeout\" LastError=258"), std::string::npos) << ipc.Err();
}

#endif

TEST_F(IpcTool, UsageErrors) {
    TProcess none({kIpcBinary});
    EXPECT_EQ(none.Wait(), 2);
    EXPECT_EQ(none.Err(), "quillmark-ipc: no COMMAND given (see --help)\n");
    TProcess help({kIpcBinary, "--help"});
    EXPECT_EQ(help.Wait(), 0);
    EXPECT_NE(help.Out().find("Usage: quillmark-ipc"), std::string::npos);

    const TIpcToolOptions o = ParseIpcToolOptions({"--server", "H", "--data", "x y", "--connect-timeout", "7",
                                                   "--silence-limit", "8", "--deadline", "9", "-v", "--raise", "DBPATH"});
    EXPECT_EQ(std::tuple(o.Server, o.Data, o.Command, o.Discover, o.Verbose, o.Raise),
              std::tuple(std::string("H"), std::string("x y"), std::string("DBPATH"), false, true, true));
    EXPECT_EQ(std::tuple(o.Request.ConnectTimeoutMs, o.Request.SilenceLimit.count(), o.Request.Deadline.count()),
              std::tuple(7u, 8, 9));
    EXPECT_TRUE(ParseIpcToolOptions({"--help", "--bogus"}).Help);
    const std::pair<std::vector<std::string>, std::string> wrong[] = {
        {{"DBPATH", "GETJSONADRESS"}, "unexpected argument \"GETJSONADRESS\" (see --help)"},
        {{"--deadline", "0", "DBPATH"}, "--deadline needs milliseconds (> 0)"},
        {{"--connect-timeout", "5s", "DBPATH"}, "--connect-timeout needs milliseconds"},
        {{"DBPATH", "--data"}, "--data needs a value"},
        {{"--bogus", "DBPATH"}, "unexpected argument \"--bogus\" (see --help)"},
    };
    for (const auto& [args, message] : wrong) {
        try {
            ParseIpcToolOptions(args);
            ADD_FAILURE() << message;
        } catch (const EQuillmarkError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}
