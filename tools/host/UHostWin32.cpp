// The host on Windows: serves \\.\pipe\NAME with several instances of a
// named pipe (CreateNamedPipeW, overlapped ConnectNamedPipe), ends on the
// console's Ctrl+C, Ctrl+Break and close events, and starts its child with
// CreateProcessW.
#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "UCommandLine.h"
#include "UErrors.h"
#include "UExchangeFile.h"
#include "UHost.h"
#include "UProcess.h"
#include "UWinHandle.h"
#include "UWinPipe.h"
#include "UWinText.h"

namespace qm {

namespace {

constexpr DWORD kPipeBufferBytes = 65536;
// Exit status when the host is stopped while its child runs: 128 + SIGINT,
// as a shell reports a program ended by Ctrl+C.
constexpr int kStoppedWhileChildRuns = 130;

// Set by the console handler (another thread); manual reset, so that every
// wait that looks at it afterwards sees it.
HANDLE gStopEvent = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD type) {
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        ::SetEvent(gStopEvent);
        return TRUE;
    default:
        return FALSE;
    }
}

bool WaitForStop(std::chrono::milliseconds pause) {
    return ::WaitForSingleObject(gStopEvent, static_cast<DWORD>(pause.count())) == WAIT_OBJECT_0;
}

[[noreturn]] void RaiseSystem(const std::string& what, DWORD error) {
    throw EQuillmarkError(what + ": " + SystemErrorText(error));
}

// Whether the client connected to `pipe` runs as our user. The access list
// keeps other users out already; this also refuses a client whose user
// cannot be read.
bool ClientIsOurUser(HANDLE pipe) {
    ULONG clientPid = 0;
    if (!::GetNamedPipeClientProcessId(pipe, &clientPid)) return false;
    const std::string user = ProcessUserId(clientPid);
    return !user.empty() && user == CurrentUserId();
}

// One instance of the pipe and the wait for its next client.
struct TInstance {
    TWinHandle Pipe;
    TWinHandle Connected;  // event: a client has connected (or the wait ended)
    OVERLAPPED Ov{};
    bool Pending = false;      // ConnectNamedPipe runs on Ov
    bool ClientThere = false;  // known connected without a pending call
};

// Serves \\.\pipe\<name> with kHostPipeInstances instances. Each connection
// is served to its end and its instance closed (the client sees a broken
// pipe, 109, as after a host's close on any platform); a fresh instance
// takes its place.
class THostServer {
public:
    // Raises EQuillmarkError when another process serves the name already.
    explicit THostServer(const THostOptions& options);
    THostServer(const THostServer&) = delete;
    THostServer& operator=(const THostServer&) = delete;

    const std::string& PipePath() const noexcept { return path_; }
    std::size_t Count() const noexcept { return instances_.size(); }
    // Signalled when instance `i` has a client.
    HANDLE ConnectedEvent(std::size_t i) const noexcept { return instances_[i].Connected.Get(); }
    // Serves the client of instance `i` and makes the instance wait again.
    void Serve(std::size_t i);

private:
    TWinHandle CreateInstance(bool first);
    void Listen(TInstance& instance);

    const THostOptions& options_;
    std::string path_;
    std::vector<TInstance> instances_;
};

THostServer::THostServer(const THostOptions& options)
    : options_(options), path_(PipePathText(".", options.Name)), instances_(kHostPipeInstances) {
    for (std::size_t i = 0; i < instances_.size(); ++i) {
        TInstance& instance = instances_[i];
        instance.Pipe = CreateInstance(i == 0);
        instance.Connected.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!instance.Connected) RaiseSystem("CreateEventW", ::GetLastError());
        Listen(instance);
    }
}

TWinHandle THostServer::CreateInstance(bool first) {
    // FILE_FLAG_FIRST_PIPE_INSTANCE: the first instance fails when any
    // process already serves this name, so a name cannot be shared by two
    // hosts (nor taken over from a host that is running).
    const DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    // Only our own user may open the pipe: the default access list would let
    // every user of the machine read from it.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::string user = CurrentUserId();
    if (user.empty() || !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                            ToWide("D:P(A;;GA;;;" + user + ")").c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        RaiseSystem("pipe access list", ::GetLastError());
    }
    SECURITY_ATTRIBUTES sa{sizeof sa, descriptor, FALSE};
    TWinHandle pipe(::CreateNamedPipeW(ToWide(path_).c_str(), openMode,
                                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                       static_cast<DWORD>(kHostPipeInstances), kPipeBufferBytes, kPipeBufferBytes, 0,
                                       &sa));
    ::LocalFree(descriptor);
    if (!pipe) {
        const DWORD e = ::GetLastError();
        // ERROR_ACCESS_DENIED: the first-instance flag found the name served
        // (CreateNamedPipeW's documentation); ERROR_PIPE_BUSY: every instance
        // of a pipe of that name exists already (Wine answers so for both).
        if (first && (e == ERROR_ACCESS_DENIED || e == ERROR_PIPE_BUSY)) {
            throw EQuillmarkError("server name in use by a running host: " + options_.Name);
        }
        RaiseSystem("CreateNamedPipeW " + path_, e);
    }
    return pipe;
}

void THostServer::Listen(TInstance& instance) {
    ::ResetEvent(instance.Connected.Get());
    instance.Pending = false;
    instance.ClientThere = false;
    // A host that never accepts leaves its instances unconnected: clients
    // can still open them, up to their number, and then find the pipe busy.
    if (options_.NoAccept) return;
    instance.Ov = OVERLAPPED{};
    instance.Ov.hEvent = instance.Connected.Get();
    if (::ConnectNamedPipe(instance.Pipe.Get(), &instance.Ov)) {
        instance.ClientThere = true;
    } else {
        const DWORD e = ::GetLastError();
        instance.Pending = e == ERROR_IO_PENDING;
        // ERROR_PIPE_CONNECTED: the client came before the call. Anything
        // else (ERROR_NO_DATA: it came and went) makes Serve renew the instance.
        instance.ClientThere = e == ERROR_PIPE_CONNECTED;
    }
    if (!instance.Pending) ::SetEvent(instance.Connected.Get());
}

void THostServer::Serve(std::size_t i) {
    TInstance& instance = instances_[i];
    bool connected = instance.ClientThere;
    if (instance.Pending) {
        DWORD ignored = 0;
        connected = ::GetOverlappedResult(instance.Pipe.Get(), &instance.Ov, &ignored, FALSE) != 0;
    }
    if (connected && !options_.HangUp && !ClientIsOurUser(instance.Pipe.Get())) {
        HostLog(options_, "client of another user refused");
        connected = false;
    }
    if (connected && !options_.HangUp) {
        TWinPipeStream pipe(std::move(instance.Pipe), ConnectionLimit(options_), gStopEvent);
        ServeConnection(pipe, options_, ::GetCurrentProcessId(), WaitForStop);
        // Hand over what is still unread before the close takes it away.
        pipe.Flush();
    }
    instance.Pipe.Reset();  // first, or the new instance would be one too many
    instance.Pipe = CreateInstance(false);
    Listen(instance);
}

// One argument in the form CommandLineToArgvW and the C runtime split back
// into the same text: quoted when needed, backslashes doubled only before a
// quotation mark.
std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    out += L'"';
    return out;
}

// A copy of one of our standard handles that the child may inherit.
TWinHandle InheritableStdHandle(DWORD which) {
    const HANDLE h = ::GetStdHandle(which);
    HANDLE copy = nullptr;
    if (h == nullptr || h == INVALID_HANDLE_VALUE ||
        !::DuplicateHandle(::GetCurrentProcess(), h, ::GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
        return TWinHandle();
    }
    return TWinHandle(copy);
}

// Starts the child on our standard handles; its process handle, or none
// with `error` set.
TWinHandle Launch(const std::vector<std::string>& command, DWORD& error) {
    std::wstring line;
    for (const std::string& arg : command) {
        if (!line.empty()) line += L' ';
        line += QuoteArgument(ToWide(arg));
    }
    const TWinHandle in = InheritableStdHandle(STD_INPUT_HANDLE);
    const TWinHandle out = InheritableStdHandle(STD_OUTPUT_HANDLE);
    const TWinHandle err = InheritableStdHandle(STD_ERROR_HANDLE);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in.Get();
    si.hStdOutput = out.Get();
    si.hStdError = err.Get();
    PROCESS_INFORMATION pi{};
    // No application name: the system finds the program as a command line
    // names it (the program's folder, the current folder, PATH; ".exe" added).
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        error = ::GetLastError();
        return TWinHandle();
    }
    ::CloseHandle(pi.hThread);
    return TWinHandle(pi.hProcess);
}

// Asks the windows of the child to close, as Esc or the close box would (the
// dialog then deletes its card files), and gives it some seconds for that.
// A console child has had the console's Ctrl+C itself.
void CloseChildWindows(HANDLE child) {
    constexpr DWORD kCloseWaitMs = 5000;
    ::EnumWindows(
        [](HWND window, LPARAM pid) -> BOOL {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == static_cast<DWORD>(pid)) ::PostMessageW(window, WM_CLOSE, 0, 0);
            return TRUE;
        },
        static_cast<LPARAM>(::GetProcessId(child)));
    ::WaitForSingleObject(child, kCloseWaitMs);
}

}  // namespace

bool WriteNewFile(const std::string& path, std::string_view content) {
    TWinHandle file(::CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS) return false;
        throw EInOutError("Datei kann nicht erstellt werden \"" + path + "\"", static_cast<int>(err));
    }
    for (std::size_t done = 0; done < content.size();) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file.Get(), content.data() + done, piece, &written, nullptr) || written == 0) {
            const DWORD err = ::GetLastError();
            file.Reset();
            ::DeleteFileW(ToWide(path).c_str());
            throw EInOutError("Datei kann nicht geschrieben werden \"" + path + "\"", static_cast<int>(err));
        }
        done += written;
    }
    return true;
}

int RunHost(const THostOptions& given) {
    THostOptions options = given;
    if (options.Name.empty()) options.Name = "quillmark-host-" + std::to_string(::GetCurrentProcessId());
    const TWinHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop) RaiseSystem("CreateEventW", ::GetLastError());
    gStopEvent = stop.Get();
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);

    THostServer server(options);
    std::unique_ptr<TExchangeRegistration> registration;
    if (options.ListInExchange) {
        TLockWait wait;
        wait.Stop = WaitForStop;
        wait.Blocked = [&options] { HostLog(options, "waiting for the lock of the exchange file"); };
        try {
            registration = std::make_unique<TExchangeRegistration>(options.Name, options.AsDefault, wait);
        } catch (const EHostStopped&) {
            return 0;
        }
    }
    WriteText(stderr, "quillmark-host: serving " + options.Name + " (pid " + std::to_string(::GetCurrentProcessId()) +
                          ") at " + server.PipePath() + "\n");

    TWinHandle child;
    if (!options.Launch.empty()) {
        DWORD error = 0;
        child = Launch(options.Launch, error);
        if (!child) {
            WriteText(stderr, "quillmark-host: cannot start " + options.Launch[0] + ": " + SystemErrorText(error) + "\n");
            return 127;
        }
    }

    for (;;) {
        std::vector<HANDLE> waits = {gStopEvent};
        if (child) waits.push_back(child.Get());
        const std::size_t firstInstance = waits.size();
        for (std::size_t i = 0; i < server.Count(); ++i) waits.push_back(server.ConnectedEvent(i));
        const DWORD w = ::WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, INFINITE);
        if (w == WAIT_FAILED) RaiseSystem("WaitForMultipleObjects", ::GetLastError());
        const std::size_t at = w - WAIT_OBJECT_0;
        if (at == 0) {
            if (!child) return 0;
            CloseChildWindows(child.Get());
            return kStoppedWhileChildRuns;
        }
        if (child && at == 1) {
            DWORD status = 1;
            ::GetExitCodeProcess(child.Get(), &status);
            child.Reset();
            HostLog(options, "child ended with status " + std::to_string(status));
            if (!options.KeepRunning) return static_cast<int>(status);
            continue;
        }
        server.Serve(at - firstInstance);
    }
}

}  // namespace qm
