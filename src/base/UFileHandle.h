// Ownership of one POSIX file descriptor.
#pragma once

#include <unistd.h>

namespace qm {

class TFileHandle {
public:
    explicit TFileHandle(int fd = -1) noexcept : fd_(fd) {}
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    TFileHandle(TFileHandle&& o) noexcept : fd_(o.Release()) {}
    TFileHandle& operator=(TFileHandle&& o) noexcept {
        if (this != &o) Reset(o.Release());
        return *this;
    }
    ~TFileHandle() { Reset(); }

    int Get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }
    // Gives the descriptor up without closing it.
    int Release() noexcept {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes the held descriptor (if any) and takes `fd`.
    void Reset(int fd = -1) noexcept {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes the descriptor and returns close()'s result (0 when none was held),
    // for writers that must know whether their data reached the file.
    int Close() noexcept {
        const int fd = Release();
        return fd >= 0 ? ::close(fd) : 0;
    }

private:
    int fd_;
};

}  // namespace qm
