// quillmark-ipc: finds the host that started it (or the default host) and
// asks it for one value, exactly as the dialog does. For host developers
// who want to check their host.
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "UCommandLine.h"
#include "UErrors.h"
#include "UHostRequest.h"
#include "UPipeTransport.h"
#include "UProcess.h"
#include "UStringUtil.h"
#include "UVersion.h"

namespace {

constexpr const char* kUsage = R"(Usage: quillmark-ipc [OPTIONS] COMMAND

Finds the host instance that started this program (by its parent process id,
through CVT-EXCHANGELOCALSERVICE.TXT in the working folder), asks it for
COMMAND (SERVERPROCESS, CORVANTAMETRICS, GETJSONADRESS, DBPATH) with up to
three attempts 50 ms apart, and prints the value, or an empty line when no
attempt was answered. On a terminal the value's control characters show as
escapes (a backspace as \x08); redirected, the value is printed as sent.

Options:
  -v, --verbose          print the discovery and each attempt on standard error
  --server NAME          ask NAME; no discovery
  --no-discovery         ask the remembered/default host (first line of the
                         exchange file) without discovery
  --data TEXT            the request's DATA argument (default: none)
  --raise                stop at the first unanswered attempt with the error
  --connect-timeout MS   wait at most MS ms for the pipe (default: 5000;
                         discovery waits at most 500 ms per name)
  --silence-limit MS     give up on a silent host after MS ms (default: 10000)
  --deadline MS          end discovery and the request, all attempts, after
                         MS ms in all (default: 30000), however slowly the
                         host answers
  -h, --help             show this text
  --version              print the program name and version

Exit status: 0 when the host answered, 1 when it did not, 2 on a usage error.
)";

bool ParseMs(const std::string& text, std::uint32_t& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

// What the host sent, for a diagnostic line: its control characters never
// reach the terminal as they are.
std::string Shown(const std::string& peerText) { return qm::EscapeControlCharacters(peerText); }

void PrintAttempt(int attempt, const qm::TIPCResult& r) {
    std::string line = "attempt " + std::to_string(attempt) + ": AnswerValid=" + (r.AnswerValid ? "true" : "false") +
                       " ComputerName=\"" + Shown(r.ComputerName) + "\" ServerName=\"" + Shown(r.ServerName) + "\"";
    if (!r.ErrorDesc.empty()) {
        line += " ErrorDesc=\"" + Shown(r.ErrorDesc) + "\" LastError=" + std::to_string(r.LastError);
        // The numbers the pipe keeps from the Windows API and its own codes;
        // others are the platform's (errno on POSIX, GetLastError on Windows).
        const std::string_view name = qm::PipeErrorName(r.LastError);
        line += " (" + (name.empty() ? qm::PipeErrorText(r.LastError) : std::string(name)) + ")";
    }
    qm::WriteText(stderr, line + "\n");
}

}  // namespace

int main(int argc, char** argv) {
    qm::RestrictLibrarySearch();
    const std::vector<std::string> args = qm::CommandLineArguments(argc, argv);
    bool verbose = false, raise = false, discover = true;
    std::string server, data, command;
    qm::TIPCRequestOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "-h" || a == "--help") {
            qm::WriteText(stdout, kUsage);
            return 0;
        } else if (a == "--version") {
            qm::WriteText(stdout, qm::VersionLine("quillmark-ipc"));
            return 0;
        } else if (a == "-v" || a == "--verbose") {
            verbose = true;
        } else if (a == "--raise") {
            raise = true;
        } else if (a == "--no-discovery") {
            discover = false;
        } else if (a == "--server" && hasValue) {
            server = args[++i];
            discover = false;
        } else if (a == "--data" && hasValue) {
            data = args[++i];
        } else if (a == "--connect-timeout" && hasValue && ParseMs(args[i + 1], options.ConnectTimeoutMs)) {
            ++i;
        } else if (a == "--silence-limit" && hasValue) {
            std::uint32_t ms = 0;
            if (!ParseMs(args[++i], ms)) {
                qm::WriteText(stderr, "quillmark-ipc: --silence-limit needs milliseconds\n");
                return 2;
            }
            options.SilenceLimit = std::chrono::milliseconds(ms);
        } else if (a == "--deadline" && hasValue) {
            std::uint32_t ms = 0;
            if (!ParseMs(args[++i], ms) || ms == 0) {
                qm::WriteText(stderr, "quillmark-ipc: --deadline needs milliseconds (> 0)\n");
                return 2;
            }
            options.Deadline = std::chrono::milliseconds(ms);
        } else if (!a.empty() && a[0] != '-' && command.empty()) {
            command = a;
        } else {
            qm::WriteText(stderr, "quillmark-ipc: unexpected argument \"" + a + "\" (see --help)\n");
            return 2;
        }
    }
    if (command.empty()) {
        qm::WriteText(stderr, "quillmark-ipc: no COMMAND given (see --help)\n");
        return 2;
    }

    bool answered = false;
    options.OnAttempt = [&](int attempt, const qm::TIPCResult& r) {
        answered = r.AnswerValid;
        if (verbose) PrintAttempt(attempt, r);
    };
    // Discovery and the request together end within the deadline.
    const qm::TRequestBudget budget(options);
    try {
        if (!server.empty()) qm::SetCurrentServerName(server);
        if (discover) {
            const std::uint32_t parent = qm::GetParentProcessId();
            const std::string found = qm::DiscoverHostServer(parent, budget.Left());
            if (verbose) {
                qm::WriteText(stderr, "discovery: parent process " + std::to_string(parent) + ", " +
                                          (found.empty() ? std::string("no host claims it, the default host serves")
                                                         : "host \"" + Shown(found) + "\"") +
                                          "\n");
            }
        }
        const std::string value = qm::ReadIPCValueSync(command, raise, data, budget.Left());
        // The value as the host sent it for a script that reads it; on a
        // console its control characters (SERVERPROCESS ends in a
        // backspace) are shown as escapes instead of acting.
        qm::WriteText(stdout, (qm::IsTerminal(stdout) ? Shown(value) : value) + "\n");
    } catch (const qm::EQuillmarkError& e) {
        qm::WriteText(stdout, "\n");
        qm::WriteText(stderr, "quillmark-ipc: " + Shown(e.what()) + "\n");
        return 1;
    }
    return answered ? 0 : 1;
}
