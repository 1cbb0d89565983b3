// What a process serving a pipe name can make the client do, played with
// real quillmark-host processes over this platform's real pipes: a server
// of another user, a squatter claiming to be our parent, a host replaced
// under its name, a host that drips its reply.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "HostProcess.h"
#include "UHostRequest.h"

#ifdef _WIN32
#include <process.h>
#define QM_GETPID ::_getpid
#else
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#define QM_GETPID ::getpid
#endif

using namespace qm;
using namespace qm::test;
using Clock = std::chrono::steady_clock;

namespace {

class PipeTrust : public ::testing::Test {
protected:
    void SetUp() override { SetCurrentServerName({}); }
    void TearDown() override { SetCurrentServerName({}); }

    // Requests whose transport hears from the platform that every server
    // runs as another user.
    static TIPCRequestOptions ForeignServers() {
        TIPCRequestOptions options;
        options.MakeTransport = [](const TPipeOptions& given) {
            TPipeOptions pipe = given;
            pipe.ReportedServer = [](TPipeServer reported) {
                reported.User = "S-1-5-21-1-2-3-4242";
                return reported;
            };
            return MakePipeTransport(pipe);
        };
        return options;
    }

    // Collects the error code of every attempt.
    static TIPCRequestOptions Recording(TIPCRequestOptions options, std::vector<std::uint32_t>& errors) {
        options.OnAttempt = [&errors](int, const TIPCResult& r) { errors.push_back(r.LastError); };
        return options;
    }

    TTempDirEnv env_;
};

}  // namespace

TEST_F(PipeTrust, AServerOfAnotherUserIsRefusedInDiscoveryAndRequests) {
    THost host({"--name", "OTHERUSER", "--dbpath", "/srv"});
    ASSERT_TRUE(host.Ready()) << host.Err();
    std::vector<std::uint32_t> errors;
    EXPECT_EQ(ReadIPCValueSync("DBPATH", false, {}, Recording(ForeignServers(), errors)), "");
    EXPECT_EQ(errors, (std::vector<std::uint32_t>{kErrorForeignPipeServer, kErrorForeignPipeServer,
                                                  kErrorForeignPipeServer}));
    // The same host as itself answers.
    EXPECT_EQ(ReadIPCValueSync("DBPATH", false, {}, {}), "/srv");
}

#ifndef _WIN32
// The same with a real server of another user: quillmark-host running as
// nobody, its socket moved into our pipe folder and named, is refused by what
// SO_PEERCRED says. Only root can start it; CI runs as root.
TEST_F(PipeTrust, ARealServerOfAnotherUserIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "starting a server as another user needs root";
    TTempFolder theirs;
    ASSERT_EQ(::chown(theirs.Root().c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(theirs.Root().c_str(), 0755), 0);
    // A copy of the host in that folder: the build tree may lie where
    // nobody cannot reach it.
    const std::string binary = theirs.Path("quillmark-host");
    std::filesystem::copy_file(kHostBinary, binary);
    TProcess host({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/env",
                   "TMPDIR=" + theirs.Root(), binary, "--name", "NOBODY", "--dbpath", "/srv"});
    ASSERT_TRUE(host.WaitForError("quillmark-host: serving")) << host.Err();
    const std::string ours = GetWorkingFolder("pipes") + "NOBODY";
    ASSERT_EQ(std::rename((theirs.Root() + "/CVTempDir/pipes/NOBODY").c_str(), ours.c_str()), 0);
    SetCurrentServerName("NOBODY");
    std::vector<std::uint32_t> errors;
    EXPECT_EQ(ReadIPCValueSync("DBPATH", false, {}, Recording({}, errors)), "");
    ASSERT_FALSE(errors.empty());
    for (const std::uint32_t error : errors) EXPECT_EQ(error, kErrorForeignPipeServer);
}
#endif

TEST_F(PipeTrust, ASquatterClaimingOurParentIsIgnoredAndAHostReplacedUnderItsNameIsRefused) {
    const auto parent = static_cast<std::uint32_t>(QM_GETPID());
    auto squatter = std::make_unique<THost>(
        std::vector<std::string>{"--name", "SQUAT", "--claim-pid", std::to_string(parent), "--dbpath", "/squat"});
    ASSERT_TRUE(squatter->Ready()) << squatter->Err();
    EXPECT_EQ(DiscoverHostServer(parent, {}), "");
    EXPECT_EQ(GetCurrentServerName(), "");

    // A host that tells the truth but did not start us is remembered with the
    // process that really serves its pipe ...
    squatter.reset();
    auto host = std::make_unique<THost>(std::vector<std::string>{"--name", "TRUE", "--dbpath", "/true"});
    ASSERT_TRUE(host->Ready()) << host->Err();
    EXPECT_EQ(DiscoverHostServer(parent, {}), "TRUE");
    EXPECT_NE(GetCurrentServerPid(), 0u);
    EXPECT_EQ(ReadIPCValueSync("DBPATH", false, {}, {}), "/true");
    // ... so another process that takes the name over later is not asked.
    host.reset();
    THost impostor({"--name", "TRUE", "--dbpath", "/impostor"});
    ASSERT_TRUE(impostor.Ready()) << impostor.Err();
    std::vector<std::uint32_t> errors;
    EXPECT_EQ(ReadIPCValueSync("DBPATH", false, {}, Recording({}, errors)), "");
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.front(), kErrorWrongPipeServer);
}

TEST_F(PipeTrust, AHostThatDripsItsReplyIsCutAtTheDeadline) {
    // One byte every 150 ms never trips the 10 s silence limit; the frame
    // takes some 7 s to arrive.
    THost host({"--name", "DRIP", "--dbpath", "/drip", "--piece", "1", "--slow", "150"});
    ASSERT_TRUE(host.Ready()) << host.Err();
    TIPCRequestOptions options;
    options.Deadline = std::chrono::milliseconds(1000);
    std::vector<std::uint32_t> errors;
    const auto start = Clock::now();
    EXPECT_EQ(ReadIPCValueSync("DBPATH", false, {}, Recording(options, errors)), "");
    // The deadline plus the start of a Windows process and the end marker's
    // short wait; far below the drip's 7 s.
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(4000));
    EXPECT_EQ(errors, std::vector<std::uint32_t>{kWaitTimeout});
}
