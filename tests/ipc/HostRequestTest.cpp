#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <numeric>
#include <optional>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "PipeDoubles.h"
#include "TestFiles.h"
#include "UByteOrder.h"
#include "UErrors.h"
#include "UHostRequest.h"
#include "UIPCFrame.h"

using namespace qm;
using namespace qm::test;

namespace {

// A set of hosts played in memory: each named host answers a command with
// a value, or not at all (nullopt: it accepts and closes).
struct TFakeHosts {
    std::function<std::optional<std::string>(const std::string& server, const std::string& command)> Answer;
    std::vector<std::pair<std::string, std::string>> Requests;  // server, command
    std::vector<std::string> Known;                             // servers with a pipe
    std::vector<std::string> Opened;                            // every open asked for, in order
    // Known servers whose every pipe instance is taken for now.
    std::function<bool(const std::string& server)> Busy;
    std::vector<std::uint32_t> WaitedMs;  // each wait for a busy pipe
};

class TFakeHostStream final : public IPipeStream {
public:
    TFakeHostStream(TFakeHosts& hosts, std::string server) : hosts_(hosts), server_(std::move(server)) {}
    std::uint32_t Write(std::span<const char> bytes) override {
        written_.append(bytes.data(), bytes.size());
        return 0;
    }
    TPipeReadResult Read(std::span<char> buffer) override {
        if (!answered_) {
            answered_ = true;
            TStreamStorage request;
            request.Append(std::string_view(written_).substr(16));
            const std::string command = request.ReadString("COMMAND");
            hosts_.Requests.emplace_back(server_, command);
            if (auto value = hosts_.Answer(server_, command)) {
                TMessageData reply;
                reply.Data().WriteString("DATA", *value);
                pending_ = EncodeFrame(reply);
            }
        }
        if (pending_.empty()) return {0, kErrorBrokenPipe};
        const std::size_t n = std::min(buffer.size(), pending_.size());
        std::copy_n(pending_.data(), n, buffer.data());
        pending_.erase(0, n);
        return {n, 0};
    }

private:
    TFakeHosts& hosts_;
    std::string server_;
    std::string written_;
    std::string pending_;
    bool answered_ = false;
};

class TFakeHostTransport final : public IPipeTransport {
public:
    explicit TFakeHostTransport(TFakeHosts& hosts) : hosts_(hosts) {}
    TPipeOpenResult Open(std::string_view, std::string_view server) override {
        hosts_.Opened.emplace_back(server);
        if (std::find(hosts_.Known.begin(), hosts_.Known.end(), server) == hosts_.Known.end()) {
            return {nullptr, kErrorFileNotFound};
        }
        if (hosts_.Busy && hosts_.Busy(std::string(server))) return {nullptr, kErrorPipeBusy};
        return {std::make_unique<TFakeHostStream>(hosts_, std::string(server)), 0};
    }
    // A busy pipe stays busy for the whole wait, as a real one whose
    // instances nobody gives back.
    std::uint32_t Wait(std::string_view, std::string_view server, std::uint32_t ms) override {
        if (!hosts_.Busy || !hosts_.Busy(std::string(server))) return kErrorFileNotFound;
        hosts_.WaitedMs.push_back(ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return 0;
    }

private:
    TFakeHosts& hosts_;
};

// A host that takes every request and never answers: a read waits until
// the deadline of its pipe, as a real pipe's does.
class TSilentStream final : public IPipeStream {
public:
    explicit TSilentStream(std::chrono::steady_clock::time_point end) : end_(end) {}
    std::uint32_t Write(std::span<const char>) override { return 0; }
    TPipeReadResult Read(std::span<char>) override {
        // A sleep may end a little early (Windows rounds to its ticks).
        while (std::chrono::steady_clock::now() < end_) std::this_thread::sleep_until(end_);
        return {0, kWaitTimeout};
    }

private:
    std::chrono::steady_clock::time_point end_;
};

class TSilentTransport final : public IPipeTransport {
public:
    explicit TSilentTransport(std::chrono::steady_clock::time_point end) : end_(end) {}
    TPipeOpenResult Open(std::string_view, std::string_view) override {
        return {std::make_unique<TSilentStream>(end_), 0};
    }
    std::uint32_t Wait(std::string_view, std::string_view, std::uint32_t) override { return 0; }

private:
    std::chrono::steady_clock::time_point end_;
};

// Own $TMPDIR, no remembered server, sleeps recorded instead of slept.
class HostRequest : public ::testing::Test {
protected:
    void SetUp() override {
        SetCurrentServerName("");
        options_.Sleep = [this](std::chrono::milliseconds ms) { sleeps_.push_back(ms.count()); };
        options_.MakeTransport = [this](const TPipeOptions&) { return std::make_unique<TFakeHostTransport>(hosts_); };
    }
    void TearDown() override {
        SetCurrentServerName("");
        SetFileAccessHook({});
    }
    void WriteExchange(const std::string& text) {
        std::ofstream(GetWorkingFolder() + "CVT-EXCHANGELOCALSERVICE.TXT", std::ios::binary) << text;
    }
    int RequestsTo(const std::string& server) const {
        return static_cast<int>(std::count_if(hosts_.Requests.begin(), hosts_.Requests.end(),
                                              [&](const auto& r) { return r.first == server; }));
    }
    // Hosts that answer SERVERPROCESS with "<name>\b<pid>" and everything
    // else with "<name>:<command>".
    void Hosts(std::map<std::string, std::string> pidOf) {
        for (const auto& [name, pid] : pidOf) hosts_.Known.push_back(name);
        hosts_.Answer = [pidOf](const std::string& server, const std::string& command) -> std::optional<std::string> {
            if (command == "SERVERPROCESS") return server + "\b" + pidOf.at(server);
            return server + ":" + command;
        };
    }

    TTempDirEnv env_;
    TFakeHosts hosts_;
    TIPCRequestOptions options_;
    std::vector<long> sleeps_;
};

}  // namespace

#ifndef _WIN32
TEST(HostRequestLimits, GetParentProcessIdIsTheParent) {
    EXPECT_EQ(GetParentProcessId(), static_cast<std::uint32_t>(::getppid()));
}
#endif

TEST_F(HostRequest, SendHostRequestWritesTheRequestAndWaitsUpTo5000ms) {
    auto* transport = new TScriptedTransport;  // owned by the client below
    transport->OpenErrors = {kErrorPipeBusy};
    TMessageData answer;
    answer.Data().WriteString("DATA", "hi");
    transport->Reads = {{EncodeFrame(answer)}};
    auto log = transport->Log;
    TIPCRequestOptions options;
    options.MakeTransport = [transport](const TPipeOptions&) { return std::unique_ptr<IPipeTransport>(transport); };
    const THostReply reply = SendHostRequest("DBPATH", "HOST", "", options);
    EXPECT_EQ(reply.Value, "hi");
    EXPECT_TRUE(reply.Result.AnswerValid);
    EXPECT_EQ(reply.Result.ServerName, "HOST");
    EXPECT_EQ(reply.Result.ComputerName, ".");
    EXPECT_EQ(reply.Result.ErrorDesc, "");
    ASSERT_EQ(log->Writes.size(), 4u);
    EXPECT_EQ(log->Writes[2].size(), 85u);  // no "DATA" entry for an empty argument
    TStreamStorage sent;
    sent.Append(log->Writes[2]);
    EXPECT_EQ(sent.ReadString("COMMAND"), "DBPATH");
    EXPECT_EQ(sent.ReadString("DATA"), "");
}

TEST_F(HostRequest, ConnectWaitIsTheRealLimitByDefault) {
    auto* transport = new TScriptedTransport;  // owned by the client below
    transport->OpenErrors = {kErrorPipeBusy};
    transport->WaitErrors = {kErrorFileNotFound};
    auto log = transport->Log;
    TIPCRequestOptions options;
    options.MakeTransport = [transport](const TPipeOptions&) { return std::unique_ptr<IPipeTransport>(transport); };
    const THostReply reply = SendHostRequest("DBPATH", "HOST", "", options);
    EXPECT_FALSE(reply.Result.AnswerValid);
    ASSERT_EQ(log->WaitedMs.size(), 1u);
    EXPECT_LE(log->WaitedMs[0], kConnectTimeoutMs);
    EXPECT_GT(log->WaitedMs[0], kConnectTimeoutMs - 500);
}

TEST_F(HostRequest, NoExchangeFileMeansThreeQuickFailuresAndAnEmptyValue) {
    options_.MakeTransport = nullptr;  // the real sockets: there are none
    std::vector<TIPCResult> attempts;
    options_.OnAttempt = [&](int, const TIPCResult& r) { attempts.push_back(r); };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadIPCValueSync("DBPATH", false, "", options_), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    ASSERT_EQ(attempts.size(), 3u);
    for (const auto& r : attempts) {
        EXPECT_FALSE(r.AnswerValid);
        EXPECT_EQ(r.ServerName, "");
        EXPECT_EQ(r.ErrorDesc, "WaitNamedPipe failed while wating for the pipe");
        EXPECT_EQ(r.LastError, kErrorFileNotFound);
    }
    EXPECT_EQ(sleeps_, (std::vector<long>{50, 50, 50}));  // also after the third
}

TEST_F(HostRequest, RaiseVariantRaisesOnTheFirstUnansweredAttempt) {
    WriteExchange("NOBODY\r\n");
    try {
        ReadIPCValueSync("DBPATH", true, "", options_);
        FAIL() << "no exception";
    } catch (const TIPCClientException& e) {
        EXPECT_STREQ(e.what(),
                     "Named Pipe Error [ReadIPCValueSync]\r\nErrorDesc: WaitNamedPipe failed while wating for the "
                     "pipe\r\nComputerName: .\r\nServerName: NOBODY");
    }
    EXPECT_TRUE(sleeps_.empty());
}

TEST_F(HostRequest, AnsweredAttemptEndsEvenWithoutData) {
    WriteExchange("A\nB\n");
    hosts_.Known = {"A", "B"};
    hosts_.Answer = [](const std::string&, const std::string&) { return std::optional<std::string>(""); };
    EXPECT_EQ(ReadIPCValueSync("DBPATH", false, "", options_), "");
    EXPECT_EQ(hosts_.Requests.size(), 1u);
    EXPECT_TRUE(sleeps_.empty());
    EXPECT_EQ(RequestsTo("A"), 1);  // the first line is the default host
}

TEST_F(HostRequest, RememberedServerComesBeforeTheExchangeFile) {
    WriteExchange("A\nB\n");
    Hosts({{"A", "1"}, {"B", "2"}});
    SetCurrentServerName("B");
    EXPECT_EQ(ReadIPCValueSync("DBPATH", false, "", options_), "B:DBPATH");
}

TEST_F(HostRequest, ReadExchangeServerList) {
    TStringList lines{"stale"};
    EXPECT_EQ(ReadExchangeServerList(&lines), "");
    EXPECT_TRUE(lines.Empty());
    WriteExchange(" first \r\nsecond\n");
    EXPECT_EQ(ReadExchangeServerList(&lines), " first ");  // lines as they stand
    EXPECT_EQ(lines, (TStringList{" first ", "second"}));
    EXPECT_EQ(ReadExchangeServerList(), " first ");
    // A byte order mark written by a Windows host is no part of the name.
    WriteExchange("\xEF\xBB\xBF" "FIRST\r\n");
    EXPECT_EQ(ReadExchangeServerList(), "FIRST");
}

TEST_F(HostRequest, DiscoveryFindsTheSecondHostThatStartedUs) {
    WriteExchange("A\nB\n");
    Hosts({{"A", "100"}, {"B", "200"}});
    EXPECT_EQ(DiscoverHostServer(200, options_), "B");
    EXPECT_EQ(GetCurrentServerName(), "B");
    EXPECT_EQ(GetCurrentServerPid(), 200u);  // later pipes must be served by that process
    EXPECT_EQ(ReadIPCValueSync("DBPATH", false, "", options_), "B:DBPATH");
    EXPECT_EQ(ReadIPCValueSync("CORVANTAMETRICS", false, "", options_), "B:CORVANTAMETRICS");
    EXPECT_EQ(RequestsTo("A"), 1);
}

TEST_F(HostRequest, DiscoveryOneOtherReplyAndTheDefaultAnswers) {
    WriteExchange("A\nB\n");
    Hosts({{"A", "100"}});
    EXPECT_EQ(DiscoverHostServer(300, options_), "");
    EXPECT_EQ(GetCurrentServerName(), "");
    EXPECT_EQ(RequestsTo("A"), 2);  // discovery, then the follow-up
}

TEST_F(HostRequest, DiscoveryOneOtherReplyAndTheDefaultIsSilent) {
    WriteExchange("A\nB\n");
    Hosts({{"B", "100"}});  // A listed but gone
    EXPECT_EQ(DiscoverHostServer(300, options_), "B");
    EXPECT_EQ(GetCurrentServerName(), "B");
    EXPECT_EQ(sleeps_, (std::vector<long>{50, 50, 50}));
}

TEST_F(HostRequest, DiscoveryRemembersTheNameInsideTheReply) {
    WriteExchange("GONE\nLISTED\n");
    hosts_.Known = {"LISTED"};
    hosts_.Answer = [](const std::string&, const std::string&) { return std::optional<std::string>("REAL\b77"); };
    EXPECT_EQ(DiscoverHostServer(300, options_), "REAL");
    EXPECT_EQ(GetCurrentServerName(), "REAL");
    EXPECT_EQ(GetCurrentServerPid(), 0u);  // this host did not start us: its claim proves nothing
}

TEST_F(HostRequest, DiscoveryTwoOtherRepliesRemembersNothing) {
    WriteExchange("A\nB\nC\n");
    Hosts({{"A", "100"}, {"B", "101"}, {"C", "102"}});
    EXPECT_EQ(DiscoverHostServer(300, options_), "");
    EXPECT_EQ(GetCurrentServerName(), "");
    EXPECT_EQ(hosts_.Requests.size(), 3u);  // no follow-up
}

// The host that started us was busy with another client when discovery
// first came to it: discovery moves on after a short wait and comes back.
TEST_F(HostRequest, DiscoveryComesBackToAHostThatWasBusy) {
    WriteExchange("REAL\nGONE\n");
    Hosts({{"REAL", "200"}});
    hosts_.Busy = [this](const std::string& server) {
        return server == "REAL" && std::find(hosts_.Opened.begin(), hosts_.Opened.end(), "GONE") == hosts_.Opened.end();
    };
    EXPECT_EQ(DiscoverHostServer(200, options_), "REAL");
    EXPECT_EQ(hosts_.Opened.back(), "REAL");
    EXPECT_EQ(hosts_.WaitedMs, std::vector<std::uint32_t>{500});  // the short wait, not the 5 s of a request
}

TEST_F(HostRequest, DiscoveryWithoutParentSendsNothing) {
    WriteExchange("A\n");
    Hosts({{"A", "0"}});
    EXPECT_EQ(DiscoverHostServer(0, options_), "");
    EXPECT_TRUE(hosts_.Requests.empty());
    EXPECT_EQ(GetCurrentServerName(), "");
}

TEST_F(HostRequest, DiscoveryAcceptsATrailingBackspace) {
    WriteExchange("A\nB\n");
    hosts_.Known = {"A", "B"};
    hosts_.Answer = [](const std::string& server, const std::string&) -> std::optional<std::string> {
        if (server == "A") return "A\b1\b2";  // three pieces: no match
        return "B\b42\b";
    };
    EXPECT_EQ(DiscoverHostServer(42, options_), "B");
}

TEST_F(HostRequest, DiscoveryIgnoresASplitThatIsNotTwoPieces) {
    WriteExchange("A\n");
    hosts_.Known = {"A"};
    hosts_.Answer = [](const std::string&, const std::string& command) -> std::optional<std::string> {
        if (command == "SERVERPROCESS") return "no separator";
        return std::nullopt;
    };
    EXPECT_EQ(DiscoverHostServer(42, options_), "");
    EXPECT_EQ(GetCurrentServerName(), "");
}

TEST_F(HostRequest, UnsafePipeFolderRaisesTheFolderMessageAtOnce) {
    // What the POSIX transport reports for a pipes/ folder that is a link.
    struct TRefusingTransport final : IPipeTransport {
        TPipeOpenResult Open(std::string_view, std::string_view) override {
            return {nullptr, kErrorPipeFolderRefused, "Der Arbeitsordner \"x\" ist unsicher."};
        }
        std::uint32_t Wait(std::string_view, std::string_view, std::uint32_t) override { return 0; }
    };
    options_.MakeTransport = [](const TPipeOptions&) { return std::make_unique<TRefusingTransport>(); };
    int attempts = 0;
    options_.OnAttempt = [&](int, const TIPCResult& r) {
        ++attempts;
        EXPECT_EQ(r.LastError, kErrorPipeFolderRefused);
    };
    SetCurrentServerName("H");
    try {
        ReadIPCValueSync("GETJSONADRESS", false, "", options_);
        FAIL() << "no exception";
    } catch (const EUnsafeFolderError& e) {
        EXPECT_STREQ(e.what(), "Der Arbeitsordner \"x\" ist unsicher.");
    }
    EXPECT_EQ(attempts, 1);
}

#ifndef _WIN32
TEST_F(HostRequest, ExchangeFileThatIsAFifoFailsAtOnce) {
    const std::string path = GetWorkingFolder() + "CVT-EXCHANGELOCALSERVICE.TXT";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    auto reading = std::async(std::launch::async, [this] { ReadExchangeServerList(nullptr, options_.Sleep); });
    if (reading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "waits for a writer";
        ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK));  // let the reader go
    }
    EXPECT_THROW(reading.get(), ENotRegularFileError);
    EXPECT_TRUE(sleeps_.empty());  // not tried again: waiting does not make it a file
}
#endif

// A host rewriting its exchange file holds it locked. Discovery and the
// request after it share one budget: when the one moment the file is free
// names a host that never answers, the file is not looked at again once the
// budget is spent; when the lock outlasts the budget, the retries end with
// it.
TEST_F(HostRequest, ALockedExchangeFileAndASilentHostEndWithinOneBudget) {
    WriteExchange("SILENT\n");
    const std::string exchange = GetWorkingFolder() + "CVT-EXCHANGELOCALSERVICE.TXT";
    auto looks = std::make_shared<std::atomic<int>>(0);
    auto freeLook = std::make_shared<std::atomic<int>>(4);
    SetFileAccessHook([exchange, looks, freeLook](const std::string& path) {
        if (path == exchange && ++*looks != *freeLook) throw EInOutError("gesperrt", 32);
    });
    options_.MakeTransport = [](const TPipeOptions& pipe) {
        return std::make_unique<TSilentTransport>(*pipe.Deadline);
    };
    options_.Sleep = [this](std::chrono::milliseconds ms) {
        sleeps_.push_back(ms.count());
        DefaultSleep(ms);
    };
    options_.Deadline = std::chrono::milliseconds(1000);
    auto start = std::chrono::steady_clock::now();
    const TRequestBudget budget(options_);
    EXPECT_EQ(DiscoverHostServer(4242, budget.Left()), "");
    EXPECT_EQ(ReadIPCValueSync("CORVANTAMETRICS", false, "", budget.Left()), "");
    EXPECT_EQ(looks->load(), 4);
    EXPECT_EQ(sleeps_, (std::vector<long>{100, 100, 100}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, options_.Deadline + std::chrono::seconds(2));

    *freeLook = 0;
    sleeps_.clear();
    options_.Deadline = std::chrono::milliseconds(300);
    start = std::chrono::steady_clock::now();
    EXPECT_THROW(DiscoverHostServer(4242, options_), EInOutError);
    EXPECT_LT(std::accumulate(sleeps_.begin(), sleeps_.end(), 0L), options_.Deadline.count());
    EXPECT_LT(std::chrono::steady_clock::now() - start, options_.Deadline + std::chrono::seconds(2));
}

// A file system that never answers (a stat() that blocks) holds a request
// no longer than its deadline: the exchange file's failure is raised then.
TEST_F(HostRequest, AnExchangeFileThatNeverAnswersEndsAtTheDeadline) {
    std::promise<void> release;
    SetFileAccessHook([released = release.get_future().share()](const std::string&) { released.wait(); });
    options_.Deadline = std::chrono::milliseconds(300);
    auto request = std::async(std::launch::async, [this] { return ReadIPCValueSync("DBPATH", false, "", options_); });
    if (request.wait_for(std::chrono::seconds(10)) != std::future_status::ready) ADD_FAILURE() << "still waiting";
    release.set_value();
    try {
        request.get();
        ADD_FAILURE() << "no exception";
    } catch (const EInOutError& e) {
#ifdef _WIN32
        EXPECT_EQ(e.ErrorCode, 1460);  // ERROR_TIMEOUT
#else
        EXPECT_EQ(e.ErrorCode, ETIMEDOUT);
#endif
        EXPECT_NE(std::string(e.what()).find("CVT-EXCHANGELOCALSERVICE.TXT\": das Dateisystem antwortet nicht"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_TRUE(sleeps_.empty());  // not asked again: that would only leave another worker waiting
}
