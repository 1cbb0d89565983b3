// The pipe client against real quillmark-host processes over real sockets.
#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

#include "HostProcess.h"
#include "UFileUtil.h"
#include "UIPCFrame.h"
#include "UHostRequest.h"
#include "UIPCClient.h"
#include "UPosixPipe.h"
#include "UStringList.h"
#include "UStringUtil.h"

using namespace qm;
using namespace qm::test;
using Clock = std::chrono::steady_clock;

namespace {

qm::TPipeOptions SilenceOf(std::chrono::milliseconds limit) {
    qm::TPipeOptions options;
    options.SilenceLimit = limit;
    return options;
}


class RealHost : public ::testing::Test {
protected:
    void SetUp() override { SetCurrentServerName(""); }

    std::string Record(const std::string& text) {
        const std::string path = env_.Root() + "/record.json";
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    TStringList ExchangeLines() {
        TStringList lines;
        ReadExchangeServerList(&lines);
        return lines;
    }
    static bool Exists(const std::string& path) {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0;
    }

    TTempDirEnv env_;
};

TIPCRequestOptions Quick(std::chrono::milliseconds silence = std::chrono::milliseconds(300)) {
    TIPCRequestOptions o;
    o.ConnectTimeoutMs = 300;
    o.SilenceLimit = silence;
    return o;
}

}  // namespace

TEST_F(RealHost, AnswersTheFourRequests) {
    const std::string record = Record("{\"Name\":\"Müller\"}\n");
    THost host({"--name", "H1", "--record", record, "--metrics", "10,20,300,400", "--dbpath", "/db/Müller"});
    ASSERT_TRUE(host.Ready()) << host.Err();
    EXPECT_EQ(SendHostRequest("SERVERPROCESS", "H1", "").Value, "H1\b" + std::to_string(host.Pid()));
    EXPECT_EQ(SendHostRequest("CORVANTAMETRICS", "H1", "").Value, "10,20,300,400");
    EXPECT_EQ(SendHostRequest("DBPATH", "H1", "").Value, "/db/Müller");
    const THostReply first = SendHostRequest("GETJSONADRESS", "H1", "");
    const THostReply second = SendHostRequest("GETJSONADRESS", "H1", "");
    EXPECT_TRUE(first.Result.AnswerValid);
    EXPECT_EQ(first.Result.ErrorDesc, "");
    EXPECT_EQ(ExtractFilePath(first.Value), env_.Working());
    EXPECT_NE(first.Value, second.Value);  // a fresh file for every request
    EXPECT_EQ(ReadFileToString(first.Value), "{\"Name\":\"Müller\"}\n");
    EXPECT_EQ(ReadFileToString(second.Value), "{\"Name\":\"Müller\"}\n");
    // Without a record, and for unknown commands, the answer is empty.
    THost bare({"--name", "H2"});
    ASSERT_TRUE(bare.Ready());
    const THostReply none = SendHostRequest("GETJSONADRESS", "H2", "");
    EXPECT_TRUE(none.Result.AnswerValid);
    EXPECT_EQ(none.Value, "");
    EXPECT_EQ(SendHostRequest("WHATEVER", "H2", "").Value, "");
}

// An earlier process of the same id left a file of the name the host would
// take first: it is neither overwritten nor handed out; what the host handed
// out and nobody took is gone when the host ends.
TEST_F(RealHost, AddressFilesAreNewFilesAndThoseNobodyTookGoWithTheHost) {
    THost host({"--name", "H", "--record", Record("{}")});
    ASSERT_TRUE(host.Ready()) << host.Err();
    const std::string stem = env_.Working() + "CVT-ADDRESS-" + std::to_string(host.Pid()) + "-";
    WriteBytes(stem + "1.json", "old");
    EXPECT_EQ(SendHostRequest("GETJSONADRESS", "H", "").Value, stem + "2.json");
    EXPECT_EQ(ReadFileToString(stem + "2.json"), "{}");
    EXPECT_EQ(host.Stop(), 0);
    EXPECT_FALSE(Exists(stem + "2.json"));
    EXPECT_EQ(ReadFileToString(stem + "1.json"), "old");
}

TEST_F(RealHost, ListensInThePrivatePipesFolderOfTmpdir) {
    THost host({"--name", "H"});
    ASSERT_TRUE(host.Ready());
    struct stat st {};
    ASSERT_EQ(::lstat((env_.Working() + "pipes").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::lstat((env_.Working() + "pipes/H").c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_NE(host.Err().find(env_.Working() + "pipes/H"), std::string::npos);
}

TEST_F(RealHost, ServesClientsOneAfterAnotherWithoutLosingAny) {
    THost host({"--name", "H", "--dbpath", "/db"});
    ASSERT_TRUE(host.Ready());
    std::atomic<int> answered{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < 4; ++t) {
        clients.emplace_back([&] {
            for (int i = 0; i < 15; ++i) {
                const THostReply r = SendHostRequest("DBPATH", "H", "");
                if (r.Result.AnswerValid && r.Value == "/db") ++answered;
            }
        });
    }
    for (auto& c : clients) c.join();
    EXPECT_EQ(answered.load(), 60);
}

TEST_F(RealHost, SlowReplyInSmallPiecesIsCollected) {
    THost host({"--name", "H", "--dbpath", "a path of some length", "--piece", "3", "--slow", "2"});
    ASSERT_TRUE(host.Ready());
    const THostReply r = SendHostRequest("DBPATH", "H", "", Quick());
    EXPECT_TRUE(r.Result.AnswerValid) << r.Result.ErrorDesc;
    EXPECT_EQ(r.Value, "a path of some length");
}

struct TErrorRow {
    std::vector<std::string> hostArgs;  // empty: no host at all
    const char* desc;
    std::uint32_t error;
    bool replyReturned;
};

TEST_F(RealHost, EveryFailureAHostCanProvoke) {
    const TErrorRow rows[] = {
        {{}, "WaitNamedPipe failed while wating for the pipe", kErrorFileNotFound, false},
        {{"--stale-socket"}, "WaitNamedPipe failed while wating for the pipe", kErrorFileNotFound, false},
        {{"--close-early"}, "ReadFile failed while reading message ID length", kErrorBrokenPipe, true},
        {{"--truncate", "4"}, "ReadFile failed while reading message ID length", kErrorBrokenPipe, true},
        {{"--silent"}, "ReadFile failed while reading message ID length", kWaitTimeout, true},
        {{"--slow", "2000"}, "ReadFile failed while reading message ID length", kWaitTimeout, true},
        {{"--reply-id", "ABCDEF", "--truncate", "10"}, "ReadFile failed while reading message ID",
         kErrorBrokenPipe, true},
        {{"--truncate", "12"}, "ReadFile failed while reading message data size", kErrorBrokenPipe, true},
        {{"--reply-size", "100000000"}, "ReadFile failed while reading message data size", kErrorInvalidData, true},
        {{"--reply-size", "-1"}, "ReadFile failed while reading message data size", kErrorInvalidData, true},
        {{"--truncate", "20"}, "ReadFile failed while reading message data", kErrorBrokenPipe, true},
        {{"--reply-size", "1000"}, "ReadFile failed while reading message data", kErrorBrokenPipe, true},
    };
    int n = 0;
    for (const TErrorRow& row : rows) {
        const std::string name = "E" + std::to_string(++n);
        SCOPED_TRACE(name + " " + row.desc);
        std::unique_ptr<THost> host;
        if (!row.hostArgs.empty()) {
            std::vector<std::string> args = {"--name", name, "--dbpath", "/some/path"};
            args.insert(args.end(), row.hostArgs.begin(), row.hostArgs.end());
            host = std::make_unique<THost>(args);
            ASSERT_TRUE(host->Ready()) << host->Err();
        }
        TIPCClient client(MakePosixPipeTransport(SilenceOf(std::chrono::milliseconds(300))));
        client.SetServerName(name);
        TMessageData request;
        request.Data().WriteString("COMMAND", "DBPATH");
        const auto start = Clock::now();
        TMessageRef reply = client.Call(request, 2000);
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
        EXPECT_EQ(client.ErrorDesc(), row.desc);
        EXPECT_EQ(client.LastError(), row.error);
        EXPECT_FALSE(client.AnswerValid());
        EXPECT_EQ(reply != nullptr, row.replyReturned);
    }
}

TEST_F(RealHost, HostThatHangsUpMakesTheFirstWriteFail) {
    THost host({"--name", "H", "--hang-up", "-v"});
    ASSERT_TRUE(host.Ready());
    TIPCClient client(MakePosixPipeTransport(SilenceOf(std::chrono::milliseconds(300))));
    client.SetServerName("H");
    client.Connect(1000);
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(host.WaitForError("quillmark-host H: hung up")) << host.Err();
    TMessageData request;
    request.Data().WriteString("COMMAND", "DBPATH");
    EXPECT_FALSE(client.SendRequest(request));
    EXPECT_EQ(client.ErrorDesc(), "WriteFile failed while writing message ID");
    EXPECT_EQ(client.LastError(), kErrorBrokenPipe);
}

TEST_F(RealHost, BusyHostEndsTheConnectAtTheTimeout) {
    THost host({"--name", "BUSY", "--no-accept"});
    ASSERT_TRUE(host.Ready());
    // The one connection a backlog of 0 takes fills it.
    TPipeOpenResult filler = MakePosixPipeTransport()->Open(".", "BUSY");
    ASSERT_EQ(filler.Error, 0u);
    for (const std::uint32_t timeout : {0u, 250u}) {
        SCOPED_TRACE(timeout);
        TIPCClient client;
        client.SetServerName("BUSY");
        const auto start = Clock::now();
        client.Connect(timeout);
        const auto took = Clock::now() - start;
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(client.ErrorDesc(), "IPC client failed with WAIT timeout");
        EXPECT_EQ(client.LastError(), kWaitTimeout);
        EXPECT_GE(took, std::chrono::milliseconds(timeout));
        EXPECT_LT(took, std::chrono::milliseconds(timeout + 500));
    }
}

TEST_F(RealHost, InvalidServerNameFailsAtOnce) {
    TIPCClient client;
    client.SetServerName("../elsewhere");
    client.Connect(1000);
    EXPECT_EQ(client.ErrorDesc(), "CreateFile failed while creating new pipe handle");
    EXPECT_EQ(client.LastError(), static_cast<std::uint32_t>(EINVAL));
}

TEST_F(RealHost, ExchangeFileLinesComeAndGo) {
    auto a = std::make_unique<THost>(std::vector<std::string>{"--name", "A"});
    auto b = std::make_unique<THost>(std::vector<std::string>{"--name", "B"});
    ASSERT_TRUE(a->Ready() && b->Ready());
    EXPECT_EQ(ExchangeLines(), (TStringList{"A", "B"}));
    THost c({"--name", "C", "--default"});
    ASSERT_TRUE(c.Ready());
    EXPECT_EQ(ExchangeLines(), (TStringList{"C", "A", "B"}));
    EXPECT_EQ(a->Stop(SIGINT), 0);
    EXPECT_EQ(ExchangeLines(), (TStringList{"C", "B"}));
    EXPECT_FALSE(Exists(env_.Working() + "pipes/A"));
    EXPECT_EQ(b->Stop(SIGTERM), 0);
    EXPECT_EQ(c.Stop(SIGHUP), 0);
    EXPECT_TRUE(ExchangeLines().Empty());
    EXPECT_FALSE(Exists(env_.Working() + "CVT-EXCHANGELOCALSERVICE.TXT"));
    EXPECT_FALSE(Exists(env_.Working() + "pipes/B"));
}

TEST_F(RealHost, HostsStartingAndStoppingTogetherKeepEachOthersLines) {
    std::vector<std::unique_ptr<THost>> hosts;
    std::vector<std::unique_ptr<TProcess>> starting;
    for (int i = 0; i < 8; ++i) {
        starting.push_back(std::make_unique<TProcess>(
            std::vector<std::string>{kHostBinary, "--name", "H" + std::to_string(i)}));
    }
    for (auto& p : starting) ASSERT_TRUE(p->WaitForError("serving"));
    TStringList lines = ExchangeLines();
    std::sort(lines.Items.begin(), lines.Items.end());
    EXPECT_EQ(lines, (TStringList{"H0", "H1", "H2", "H3", "H4", "H5", "H6", "H7"}));
    for (std::size_t i = 0; i < starting.size(); i += 2) ::kill(starting[i]->Pid(), SIGTERM);
    for (std::size_t i = 0; i < starting.size(); i += 2) EXPECT_EQ(starting[i]->Wait(), 0);
    lines = ExchangeLines();
    std::sort(lines.Items.begin(), lines.Items.end());
    EXPECT_EQ(lines, (TStringList{"H1", "H3", "H5", "H7"}));
    for (std::size_t i = 1; i < starting.size(); i += 2) ::kill(starting[i]->Pid(), SIGTERM);
    for (std::size_t i = 1; i < starting.size(); i += 2) EXPECT_EQ(starting[i]->Wait(), 0);
    EXPECT_TRUE(ExchangeLines().Empty());
}

TEST_F(RealHost, LaunchedChildDecidesTheExitStatus) {
    {
        TProcess host({kHostBinary, "--name", "L", "--launch", "/bin/sh", "-c", "exit 7"});
        EXPECT_EQ(host.Wait(), 7);
        EXPECT_FALSE(Exists(env_.Working() + "pipes/L"));
        EXPECT_TRUE(ExchangeLines().Empty());
    }
    {
        TProcess host({kHostBinary, "--name", "L", "--launch", "/bin/sh", "-c", "kill -TERM $$"});
        EXPECT_EQ(host.Wait(), 128 + SIGTERM);
    }
    {
        TProcess host({kHostBinary, "--name", "L", "--launch", "/nonexistent/program"});
        EXPECT_EQ(host.Wait(), 127);
        EXPECT_FALSE(Exists(env_.Working() + "pipes/L"));
    }
}

TEST_F(RealHost, StaleSocketIsReplaced) {
    {
        THost stale({"--name", "S"});
        ASSERT_TRUE(stale.Ready());
        stale.Stop(SIGKILL);  // no chance to clean up
    }
    EXPECT_TRUE(Exists(env_.Working() + "pipes/S"));
    THost fresh({"--name", "S", "--dbpath", "/fresh"});
    ASSERT_TRUE(fresh.Ready()) << fresh.Err();
    EXPECT_EQ(SendHostRequest("DBPATH", "S", "", Quick()).Value, "/fresh");
    EXPECT_EQ(ExchangeLines(), (TStringList{"S"}));  // the dead host's line is not doubled
}

TEST_F(RealHost, HelpAndUsageErrors) {
    TProcess help({kHostBinary, "--help"});
    EXPECT_EQ(help.Wait(), 0);
    EXPECT_NE(help.Out().find("Usage: quillmark-host"), std::string::npos);
    TProcess bad({kHostBinary, "--bogus"});
    EXPECT_EQ(bad.Wait(), 2);
    EXPECT_NE(bad.Err().find("unknown option \"--bogus\""), std::string::npos);
}

TEST_F(RealHost, UnsafePipesFolderIsItsOwnErrorAndRaisesTheFolderMessage) {
    TTempFolder elsewhere;
    ASSERT_EQ(::mkdir(env_.Working().c_str(), 0700), 0);
    ASSERT_EQ(::symlink(elsewhere.Root().c_str(), (env_.Working() + "pipes").c_str()), 0);
    const THostReply reply = SendHostRequest("DBPATH", "H", "", Quick());
    EXPECT_EQ(reply.Result.ErrorDesc, "CreateFile failed while creating new pipe handle");
    EXPECT_EQ(reply.Result.LastError, kErrorPipeFolderRefused);  // not 13, which means invalid data
    SetCurrentServerName("H");
    try {
        ReadIPCValueSync("GETJSONADRESS", false, "", Quick());
        FAIL() << "no exception";
    } catch (const EUnsafeFolderError& e) {
        EXPECT_NE(std::string(e.what()).find("pipes/"), std::string::npos) << e.what();
    }
}

TEST_F(RealHost, EndMarkerIsSentAfterASilenceTimeout) {
    // A host that accepts, reads the request and stays silent: the client
    // gives up after its silence limit and still ends with FF x 8.
    const std::string path = PipeSocketPath("SILENT");
    TFileHandle listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener.Get(), 1), 0);

    TIPCClient client(MakePosixPipeTransport(SilenceOf(std::chrono::milliseconds(200))));
    client.SetServerName("SILENT");
    TMessageData request;
    request.Data().WriteString("COMMAND", "DBPATH");
    EXPECT_TRUE(client.Call(request, 1000));
    EXPECT_EQ(client.LastError(), kWaitTimeout);

    TFileHandle served(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    std::string received;
    while (ReadSome(served.Get(), received, 1000)) {
    }
    ASSERT_EQ(received.size(), EncodeFrame(request).size() + 8);
    EXPECT_EQ(received.substr(received.size() - 8), std::string(8, '\xFF'));
}

TEST_F(RealHost, NonRegularExchangeFileEndsTheHostAtOnce) {
    ASSERT_EQ(::mkdir(env_.Working().c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo((env_.Working() + "CVT-EXCHANGELOCALSERVICE.TXT").c_str(), 0600), 0);
    TProcess host({kHostBinary, "--name", "F"});
    EXPECT_EQ(host.Wait(std::chrono::seconds(5)), 1);
    EXPECT_NE(host.Err().find("CVT-EXCHANGELOCALSERVICE.TXT"), std::string::npos) << host.Err();
    EXPECT_FALSE(Exists(env_.Working() + "pipes/F"));
}

TEST_F(RealHost, RecordFileThatIsAFifoIsAnsweredEmptyWithoutWaiting) {
    const std::string fifo = env_.Root() + "/record.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    THost host({"--name", "R", "--record", fifo});
    ASSERT_TRUE(host.Ready());
    const THostReply reply = SendHostRequest("GETJSONADRESS", "R", "", Quick());
    EXPECT_TRUE(reply.Result.AnswerValid) << reply.Result.ErrorDesc;
    EXPECT_EQ(reply.Value, "");
}

TEST_F(RealHost, HostWaitingForTheExchangeLockEndsOnItsSignal) {
    ASSERT_EQ(::mkdir(env_.Working().c_str(), 0700), 0);
    const std::string lockPath = env_.Working() + ".CVT-EXCHANGELOCALSERVICE.TXT.lock";
    TFileHandle lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_EQ(::flock(lock.Get(), LOCK_EX), 0);  // a host that hangs while holding it
    TProcess host({kHostBinary, "--name", "W", "-v"});
    ASSERT_TRUE(host.WaitForError("waiting for the lock"));
    EXPECT_EQ(host.Stop(SIGTERM), 0);
    EXPECT_FALSE(Exists(env_.Working() + "pipes/W"));
}

TEST_F(RealHost, LaunchedChildStartsWithDefaultSignalDispositions) {
    TProcess host({kHostBinary, "--name", "D", "--launch", "/bin/cat", "/proc/self/status"});
    EXPECT_EQ(host.Wait(), 0);
    const auto at = host.Out().find("SigIgn:");
    ASSERT_NE(at, std::string::npos) << host.Out();
    // The host ignores SIGPIPE; its child must not inherit that.
    const unsigned long long ignored = std::stoull(host.Out().substr(at + 7), nullptr, 16);
    EXPECT_EQ(ignored & (1ULL << (SIGPIPE - 1)), 0u);
}
