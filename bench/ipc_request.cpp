// One full request (connect, request, reply, end marker, close) against a
// quillmark-host process, and as a baseline the same exchange between a
// plain C client and a plain C server (a forked process) on AF_UNIX
// sockets: the same writes, the same byte counts, no framing logic.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "UHostRequest.h"
#include "UIPCFrame.h"
#include "UMessageData.h"

extern char** environ;

namespace {

// A private $TMPDIR for the benchmark's host and sockets.
struct TBenchFolder {
    std::string Root;
    TBenchFolder() {
        char tmpl[] = "/tmp/qm-bench-ipc-XXXXXX";
        if (::mkdtemp(tmpl) == nullptr) std::abort();
        Root = tmpl;
        ::setenv("TMPDIR", Root.c_str(), 1);
    }
    ~TBenchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(Root, ec);
    }
};

void BM_HostRequest(benchmark::State& state) {
    TBenchFolder folder;
    std::string binary = QM_HOST_BINARY;
    std::string a1 = "--name", a2 = "BENCH", a3 = "--dbpath", a4 = "C:\\Corvanta\\Daten";
    char* argv[] = {binary.data(), a1.data(), a2.data(), a3.data(), a4.data(), nullptr};
    pid_t host = 0;
    if (::posix_spawn(&host, argv[0], nullptr, nullptr, argv, environ) != 0) {
        state.SkipWithError("cannot start quillmark-host");
        return;
    }
    qm::TIPCRequestOptions options;
    options.ConnectTimeoutMs = 200;
    for (int i = 0; i < 200 && !qm::SendHostRequest("DBPATH", "BENCH", "", options).Result.AnswerValid; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (auto _ : state) {
        qm::THostReply reply = qm::SendHostRequest("DBPATH", "BENCH", "");
        if (!reply.Result.AnswerValid) {
            state.SkipWithError(reply.Result.ErrorDesc.c_str());
            break;
        }
        benchmark::DoNotOptimize(reply.Value);
    }
    ::kill(host, SIGTERM);
    ::waitpid(host, nullptr, 0);
}
BENCHMARK(BM_HostRequest)->UseRealTime();

// --- Plain C baseline ------------------------------------------------------

int ReadFull(int fd, char* buf, size_t n) {
    while (n > 0) {
        ssize_t r = read(fd, buf, n);
        if (r <= 0) return -1;
        buf += r;
        n -= (size_t)r;
    }
    return 0;
}

int WriteFull(int fd, const char* buf, size_t n) {
    while (n > 0) {
        ssize_t r = send(fd, buf, n, MSG_NOSIGNAL);
        if (r <= 0) return -1;
        buf += r;
        n -= (size_t)r;
    }
    return 0;
}

// Serves exchanges of a request of `requestBytes` and a fixed reply.
[[noreturn]] void PlainServer(int listener, const std::string& reply, size_t requestBytes) {
    char buf[4096];
    for (;;) {
        int c = accept(listener, NULL, NULL);
        if (c < 0) continue;
        if (ReadFull(c, buf, requestBytes) == 0 && WriteFull(c, reply.data(), reply.size()) == 0) {
            ReadFull(c, buf, 8);  // end marker
        }
        close(c);
    }
}

void BM_PlainCExchange(benchmark::State& state) {
    TBenchFolder folder;
    // The same bytes as the DBPATH exchange above.
    qm::TMessageData request;
    request.Data().WriteString("COMMAND", "DBPATH");
    request.Data().WriteInteger("INDEX", -1);
    request.Data().WriteBoolean("SYNC", true);
    qm::TMessageData answer;
    answer.Data().WriteString("DATA", "C:\\Corvanta\\Daten");
    const std::string requestFrame = qm::EncodeFrame(request);
    const std::string replyFrame = qm::EncodeFrame(answer);
    const size_t payloadBytes = requestFrame.size() - 16;

    struct sockaddr_un addr;
    memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof addr.sun_path, "%s/plain.sock", folder.Root.c_str());
    int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    if (listener < 0 || bind(listener, (struct sockaddr*)&addr, sizeof addr) != 0 || listen(listener, 128) != 0) {
        state.SkipWithError("cannot listen");
        return;
    }
    pid_t server = fork();
    if (server == 0) PlainServer(listener, replyFrame, requestFrame.size());
    close(listener);

    char buf[4096];
    const char marker[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    for (auto _ : state) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0 || connect(fd, (struct sockaddr*)&addr, sizeof addr) != 0) {
            state.SkipWithError("connect failed");
            break;
        }
        WriteFull(fd, requestFrame.data(), 8);
        WriteFull(fd, requestFrame.data() + 8, 8);
        WriteFull(fd, requestFrame.data() + 16, payloadBytes);
        ReadFull(fd, buf, 8);
        ReadFull(fd, buf, 8);
        long long size;
        memcpy(&size, buf, 8);
        ReadFull(fd, buf, (size_t)size);
        WriteFull(fd, marker, 8);
        close(fd);
        benchmark::DoNotOptimize(buf);
    }
    kill(server, SIGTERM);
    waitpid(server, NULL, 0);
}
BENCHMARK(BM_PlainCExchange)->UseRealTime();

}  // namespace
