#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "UExitRemoval.h"
#include "UExitRemovalPlatform.h"
#include "UFileUtil.h"

namespace qm {

namespace {

// This process's end of the guardian's socket; -1 without a guardian.
int gGuardian = -1;

bool ReadAll(int fd, void* data, std::size_t size) {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = read(fd, p, size);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The guardian: each message is a 32-bit length and that many bytes, the
// paths each ended by NUL; the last message whole is what is deleted when
// the program's end closes the socket.
[[noreturn]] void Guard(int fd) {
    std::vector<std::string> paths;
    for (;;) {
        std::uint32_t length = 0;
        if (!ReadAll(fd, &length, sizeof length)) break;
        // Paths of the working folder: a message beyond this is no message of ours.
        if (length > (1u << 20)) break;
        std::string body(length, '\0');
        if (!ReadAll(fd, body.data(), body.size())) break;
        paths.clear();
        for (std::size_t start = 0, end; (end = body.find('\0', start)) != std::string::npos; start = end + 1)
            paths.push_back(body.substr(start, end - start));
    }
    for (const std::string& path : paths) DeleteFileIfExists(path);
    _exit(0);
}

}  // namespace

void StartExitGuardian() noexcept {
    if (gGuardian != -1) return;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return;
    const pid_t pid = fork();
    if (pid < 0) {
        close(pair[0]);
        close(pair[1]);
        return;
    }
    if (pid == 0) {
        // The program's end is what the guardian waits for: the signals that
        // end the program (from a terminal or its host, often sent to the
        // whole process group) must not end the guardian first.
        for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) signal(s, SIG_IGN);
        // Nothing of the program's stays open here: no pipe of its host is
        // held, no window connection, only the socket (moved to 3).
        if (dup2(pair[1], 3) != 3) _exit(1);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            for (int std = 0; std <= 2; ++std) dup2(null, std);
        }
        if (close_range(4, ~0u, 0) != 0) {
            for (int fd = 4; fd < 65536; ++fd) close(fd);
        }
        Guard(3);
    }
    close(pair[1]);
    gGuardian = pair[0];
}

void TellGuardian(const std::vector<std::string>& paths) noexcept {
    if (gGuardian == -1) return;
    try {
        std::string body;
        for (const std::string& path : paths) body += path + '\0';
        const auto length = static_cast<std::uint32_t>(body.size());
        std::string message(sizeof length, '\0');
        std::memcpy(message.data(), &length, sizeof length);
        message += body;
        const char* p = message.data();
        std::size_t left = message.size();
        while (left > 0) {
            // No SIGPIPE should the guardian be gone.
            const ssize_t n = send(gGuardian, p, left, MSG_NOSIGNAL);
            if (n <= 0) return;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    } catch (...) {
        // Without memory for the message the guardian keeps the list before.
    }
}

}  // namespace qm
