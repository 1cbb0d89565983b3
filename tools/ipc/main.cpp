// quillmark-ipc: finds the host that started it (or the default host) and
// asks it for one value, exactly as the dialog does. For host developers
// who want to check their host.
#include <cstdio>
#include <string>
#include <vector>

#include "UCommandLine.h"
#include "UErrors.h"
#include "UHostRequest.h"
#include "UIpcTool.h"
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
    qm::TIpcToolOptions o;
    try {
        o = qm::ParseIpcToolOptions(args);
    } catch (const qm::EQuillmarkError& e) {
        qm::WriteText(stderr, std::string("quillmark-ipc: ") + e.what() + "\n");
        return 2;
    }
    if (o.Help) {
        qm::WriteText(stdout, kUsage);
        return 0;
    }
    if (o.Version) {
        qm::WriteText(stdout, qm::VersionLine("quillmark-ipc"));
        return 0;
    }
    const bool verbose = o.Verbose;
    qm::TIPCRequestOptions options = o.Request;

    bool answered = false;
    options.OnAttempt = [&](int attempt, const qm::TIPCResult& r) {
        answered = r.AnswerValid;
        if (verbose) PrintAttempt(attempt, r);
    };
    // Discovery and the request together end within the deadline.
    const qm::TRequestBudget budget(options);
    try {
        if (!o.Server.empty()) qm::SetCurrentServerName(o.Server);
        if (o.Discover) {
            const std::uint32_t parent = qm::GetParentProcessId();
            const std::string found = qm::DiscoverHostServer(parent, budget.Left());
            if (verbose) {
                qm::WriteText(stderr, "discovery: parent process " + std::to_string(parent) + ", " +
                                          (found.empty() ? std::string("no host claims it, the default host serves")
                                                         : "host \"" + Shown(found) + "\"") +
                                          "\n");
            }
        }
        const std::string value = qm::ReadIPCValueSync(o.Command, o.Raise, o.Data, budget.Left());
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
