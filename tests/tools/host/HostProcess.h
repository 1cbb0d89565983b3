// Real quillmark-host processes for tests, each test in a $TMPDIR of its own
// so that tests can run in parallel.
#pragma once

#ifdef _WIN32
#include "HostProcessWin32.h"
#else

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "TestFiles.h"

extern char** environ;

namespace qm::test {

inline const std::string kHostBinary = QM_BINARY_DIR "/tools/host/quillmark-host";
inline const std::string kIpcBinary = QM_BINARY_DIR "/tools/ipc/quillmark-ipc";

// Reads what is available on `fd` into `out` within `ms` milliseconds;
// false at end of file.
inline bool ReadSome(int fd, std::string& out, int ms) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return true;
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) return false;
    out.append(buf, static_cast<std::size_t>(n));
    return true;
}

// One child process with its standard output and error caught.
class TProcess {
public:
    explicit TProcess(std::vector<std::string> argv) {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_adddup2(&fa, err[1], 2);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        const int rc = ::posix_spawn(&pid_, args[0], &fa, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
        if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
    }
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;
    ~TProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        ::close(err_);
    }

    pid_t Pid() const { return pid_; }

    // Waits until standard error holds a whole line with `text`; false
    // after `limit`.
    bool WaitForError(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        auto found = [&] {
            const auto at = errText_.find(text);
            return at != std::string::npos && errText_.find('\n', at) != std::string::npos;
        };
        while (!found()) {
            if (std::chrono::steady_clock::now() > end || !ReadSome(err_, errText_, 20)) return false;
        }
        return true;
    }

    // Waits for the exit (at most `limit`; then kills) and returns the exit
    // status, 128+N for signal N, -1 when it had to be killed.
    int Wait(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            ReadSome(out_, outText_, 0);
            ReadSome(err_, errText_, 0);
            if (std::chrono::steady_clock::now() > end) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
                pid_ = -1;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        pid_ = -1;
        // Up to the end of both pipes, but for 2 s at most: a grandchild the
        // process left running may hold them open.
        const auto drained = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        for (auto [fd, text] : {std::pair{out_, &outText_}, std::pair{err_, &errText_}}) {
            while (std::chrono::steady_clock::now() < drained && ReadSome(fd, *text, 50)) {
            }
        }
        if (WIFEXITED(status)) return WEXITSTATUS(status);
        return 128 + WTERMSIG(status);
    }

    int Stop(int sig = SIGTERM) {
        ::kill(pid_, sig);
        return Wait();
    }

    const std::string& Out() const { return outText_; }
    const std::string& Err() const { return errText_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string outText_;
    std::string errText_;
};

// quillmark-host with the given arguments, ready to serve when constructed.
class THost : public TProcess {
public:
    explicit THost(std::vector<std::string> args) : TProcess(WithBinary(std::move(args))) {
        ready_ = WaitForError("quillmark-host: serving");
    }
    bool Ready() const { return ready_; }

private:
    static std::vector<std::string> WithBinary(std::vector<std::string> args) {
        args.insert(args.begin(), kHostBinary);
        return args;
    }
    bool ready_ = false;
};

}  // namespace qm::test

#endif  // _WIN32
