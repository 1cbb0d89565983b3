// Ownership of one Win32 kernel object handle (file, pipe, process, event,
// snapshot). Windows only.
#pragma once

#include <windows.h>

namespace qm {

// Holds a handle and closes it with CloseHandle. Both INVALID_HANDLE_VALUE
// (what CreateFileW and CreateToolhelp32Snapshot return on failure) and
// nullptr (what CreateEventW and OpenProcess return) count as "no handle".
class TWinHandle {
public:
    explicit TWinHandle(HANDLE h = nullptr) noexcept : h_(Valid(h) ? h : nullptr) {}
    TWinHandle(const TWinHandle&) = delete;
    TWinHandle& operator=(const TWinHandle&) = delete;
    TWinHandle(TWinHandle&& o) noexcept : h_(o.Release()) {}
    TWinHandle& operator=(TWinHandle&& o) noexcept {
        if (this != &o) Reset(o.Release());
        return *this;
    }
    ~TWinHandle() { Reset(); }

    HANDLE Get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != nullptr; }
    // Gives the handle up without closing it.
    HANDLE Release() noexcept {
        HANDLE h = h_;
        h_ = nullptr;
        return h;
    }
    // Closes the held handle (if any) and takes `h`.
    void Reset(HANDLE h = nullptr) noexcept {
        if (h_ != nullptr) ::CloseHandle(h_);
        h_ = Valid(h) ? h : nullptr;
    }
    // Closes the handle and returns CloseHandle's result (true when none was
    // held), for writers that must know whether their data reached the file.
    bool Close() noexcept {
        HANDLE h = Release();
        return h == nullptr || ::CloseHandle(h) != 0;
    }

private:
    static bool Valid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    HANDLE h_;
};

}  // namespace qm
