// Real quillmark-host.exe processes for the Windows tests, each test in a
// temporary folder of its own (TMP/TEMP) so that tests can run in parallel.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "UWinHandle.h"
#include "UWinText.h"

namespace qm::test {

inline const std::string kHostBinary = QM_BINARY_DIR "/tools/host/quillmark-host.exe";
inline const std::string kIpcBinary = QM_BINARY_DIR "/tools/ipc/quillmark-ipc.exe";

// One child process with its standard output and error caught. Output is
// read as text: the CR LF line breaks of a Windows console program read as
// LF, so that expectations are the same on every platform.
class TProcess {
public:
    explicit TProcess(const std::vector<std::string>& argv) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
        if (!::CreatePipe(&outRead, &outWrite, &inherit, 0) || !::CreatePipe(&errRead, &errWrite, &inherit, 0)) {
            throw std::runtime_error("CreatePipe");
        }
        TWinHandle outW(outWrite), errW(errWrite);
        outRead_.Reset(outRead);
        errRead_.Reset(errRead);
        ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
        ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
        std::wstring line;
        for (const std::string& a : argv) {
            if (!line.empty()) line += L' ';
            line += L'"' + ToWide(a) + L'"';
        }
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = nullptr;
        si.hStdOutput = outW.Get();
        si.hStdError = errW.Get();
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
            throw std::runtime_error("cannot start " + argv[0]);
        }
        ::CloseHandle(pi.hThread);
        process_.Reset(pi.hProcess);
        pid_ = pi.dwProcessId;
        outReader_ = std::thread([this] { Collect(outRead_.Get(), outText_); });
        errReader_ = std::thread([this] { Collect(errRead_.Get(), errText_); });
    }
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;
    ~TProcess() {
        if (process_) {
            ::TerminateProcess(process_.Get(), 1);
            ::WaitForSingleObject(process_.Get(), INFINITE);
        }
        JoinReaders();
    }

    DWORD Pid() const { return pid_; }

    // Waits until standard error holds a whole line with `text`; false
    // after `limit`.
    bool WaitForError(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            {
                std::lock_guard<std::mutex> hold(lock_);
                const auto at = errText_.find(text);
                if (at != std::string::npos && errText_.find('\n', at) != std::string::npos) return true;
            }
            if (std::chrono::steady_clock::now() > end) return false;
            if (::WaitForSingleObject(process_.Get(), 10) == WAIT_OBJECT_0) {
                JoinReaders();
                const auto at = errText_.find(text);
                return at != std::string::npos && errText_.find('\n', at) != std::string::npos;
            }
        }
    }

    // Waits for the exit (at most `limit`; then ends it) and returns the
    // exit status, -1 when it had to be ended.
    int Wait(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        int status = -1;
        if (::WaitForSingleObject(process_.Get(), static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0) {
            DWORD code = 0;
            ::GetExitCodeProcess(process_.Get(), &code);
            status = static_cast<int>(code);
        } else {
            ::TerminateProcess(process_.Get(), 1);
            ::WaitForSingleObject(process_.Get(), INFINITE);
        }
        process_.Reset();
        JoinReaders();
        return status;
    }

    const std::string& Out() const { return outText_; }
    const std::string& Err() const { return errText_; }

private:
    void Collect(HANDLE from, std::string& into) {
        char buf[4096];
        DWORD n = 0;
        while (::ReadFile(from, buf, sizeof buf, &n, nullptr) && n > 0) {
            std::lock_guard<std::mutex> hold(lock_);
            for (DWORD i = 0; i < n; ++i) {
                if (buf[i] == '\n' && !into.empty() && into.back() == '\r') into.pop_back();
                into += buf[i];
            }
        }
    }
    // The readers end when every holder of the pipes' write ends (the
    // process and any child it started on them) has gone.
    void JoinReaders() {
        if (outReader_.joinable()) outReader_.join();
        if (errReader_.joinable()) errReader_.join();
    }

    TWinHandle process_;
    DWORD pid_ = 0;
    TWinHandle outRead_, errRead_;
    std::mutex lock_;
    std::string outText_, errText_;
    std::thread outReader_, errReader_;
};

// quillmark-host.exe with the given arguments, ready to serve when constructed.
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
