#include "UHost.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <mutex>

#include "UByteOrder.h"
#include "UCommandLine.h"
#include "UErrors.h"
#include "UFileUtil.h"
#include "UHostCommands.h"
#include "UIPCFrame.h"

namespace qm {

namespace {

#ifdef _WIN32
constexpr const char* kServerNameSeparator = "\"\\\"";
#else
constexpr const char* kServerNameSeparator = "\"/\"";
#endif

std::int64_t ParseInteger(std::string_view option, std::string_view text, std::int64_t min) {
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min) {
        throw EQuillmarkError(std::string(option) + ": not a valid number: \"" + std::string(text) + "\"");
    }
    return value;
}

}  // namespace

THostOptions ParseHostOptions(const std::vector<std::string>& args) {
    THostOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw EQuillmarkError(a + " needs a value");
            return args[++i];
        };
        if (a == "-h" || a == "--help") o.Help = true;
        else if (a == "--name") o.Name = value();
        else if (a == "--record") o.RecordFile = value();
        else if (a == "--metrics") o.Metrics = value();
        else if (a == "--dbpath") o.DbPath = value();
        else if (a == "--default") o.AsDefault = true;
        else if (a == "--no-exchange") o.ListInExchange = false;
        else if (a == "--keep-running") o.KeepRunning = true;
        else if (a == "-v" || a == "--verbose") o.Verbose = true;
        else if (a == "--silent") o.Silent = true;
        else if (a == "--close-early") o.CloseEarly = true;
        else if (a == "--no-accept") o.NoAccept = true;
        else if (a == "--stale-socket") o.StaleSocket = true;
        else if (a == "--hang-up") o.HangUp = true;
        else if (a == "--reply-id") o.ReplyId = value();
        else if (a == "--truncate") o.Truncate = static_cast<std::size_t>(ParseInteger(a, value(), 0));
        else if (a == "--slow") o.Slow = std::chrono::milliseconds(ParseInteger(a, value(), 0));
        else if (a == "--piece") o.Piece = static_cast<std::size_t>(ParseInteger(a, value(), 1));
        else if (a == "--reply-size") o.ReplySize = ParseInteger(a, value(), INT64_MIN);
        else if (a == "--claim-pid") o.ClaimPid = ParseInteger(a, value(), 0);
        else if (a == "--answer-path") o.AnswerPath = value();
        else if (a == "--launch") {
            if (i + 1 >= args.size()) throw EQuillmarkError("--launch needs a program");
            o.Launch.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else {
            throw EQuillmarkError("unknown option \"" + a + "\" (see --help)");
        }
    }
    // A line break would split the name over two exchange-file lines, a
    // backspace the "SERVERPROCESS" reply: no control characters at all.
    const bool hasControl = std::any_of(o.Name.begin(), o.Name.end(),
                                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    if (!o.Name.empty() && (hasControl || !IsValidServerName(o.Name))) {
        throw EQuillmarkError(std::string("--name: a server name may not be \".\" or \"..\" nor contain ") +
                              kServerNameSeparator + " or a control character");
    }
    return o;
}

std::string HostUsage() {
#ifdef _WIN32
    constexpr const char* kWhere = R"(A host for Quillmark: serves the named pipe \\.\pipe\NAME, lists NAME in
CVT-EXCHANGELOCALSERVICE.TXT in the working folder (%TEMP%\CVTempDir\), and
answers the four requests:
)";
    constexpr const char* kCleanUp = R"(Connections are served one after another on several pipe instances. The
exchange file line is removed again on exit, also on Ctrl+C, Ctrl+Break and
when the console closes.
)";
    constexpr const char* kPlatformMisbehaviour =
        "  --no-accept         create the pipe instances and never connect them (a busy pipe)\n";
    constexpr const char* kStopped =
        "when stopped by Ctrl+C or Ctrl+Break while the child runs, 130 (a console\nchild has the Ctrl+C too; the windows of a window program, the dialog, are\nasked to close with WM_CLOSE)";
#else
    constexpr const char* kWhere = R"(A host for Quillmark: serves the pipe <working folder>pipes/NAME (the working
folder is $TMPDIR/CVTempDir/, else $XDG_RUNTIME_DIR/CVTempDir/, else
/tmp/CVTempDir/), lists NAME in CVT-EXCHANGELOCALSERVICE.TXT there, and
answers the four requests:
)";
    constexpr const char* kCleanUp = R"(Connections are served one after another. The exchange file line and the
socket are removed again on exit, also on SIGINT, SIGTERM and SIGHUP.
)";
    constexpr const char* kPlatformMisbehaviour =
        "  --no-accept         listen with a backlog of 0 and never accept (a busy pipe)\n"
        "  --stale-socket      leave the socket file with nobody listening on it\n";
    constexpr const char* kStopped =
        "when stopped by signal N while the child runs, 128+N (the signal is passed\non to the child)";
#endif
    return std::string("Usage: quillmark-host [OPTIONS] [--launch PROGRAM [ARGS...]]\n\n") + kWhere +
           R"(  SERVERPROCESS     NAME, a backspace, the host's process id
  CORVANTAMETRICS   the --metrics text
  GETJSONADRESS     path of a fresh copy of the --record file, a new file
                    CVT-ADDRESS-<pid>-<n>.json (the next n while the name is
                    taken); the client deletes it, the host deletes those left
                    when it ends
  DBPATH            the --dbpath text
)" + kCleanUp + R"(
Options:
  --name NAME         server name (default: quillmark-host-<pid>); no control
                      characters
  --record FILE       JSON address record to hand out (default: none, empty answer)
  --metrics "L,T,..." answer to CORVANTAMETRICS, left and top first (default: empty)
  --dbpath TEXT       answer to DBPATH (default: empty)
  --default           list NAME on the first line (the default host); else last
  --no-exchange       do not list NAME in the exchange file
  --launch PROG ARGS  start PROG with ARGS as a child (everything after PROG is
                      its arguments); exit when it exits, with its exit status
  --keep-running      with --launch: keep serving after the child has exited
  -v, --verbose       log every request and the child's end on standard error
  -h, --help          show this text
  --version           print the program name and version

Misbehaviour, for tests:
  --silent            read each request and never answer (until the client closes)
  --close-early       close each connection after reading the request
  --slow MS           pause MS milliseconds before each piece of a reply
  --piece N           write replies in pieces of N bytes
  --reply-size N      claim a payload size of N in replies (say -1 or 100000000)
                      and close without waiting for the end marker
  --reply-id TEXT     send TEXT as the ID of replies (default: empty)
  --truncate N        write only the first N bytes of each reply, then close
  --hang-up           close each connection at once without reading it
  --claim-pid N       report process id N in SERVERPROCESS
  --answer-path PATH  answer GETJSONADRESS with PATH as it is (any file, folder
                      or device: what a hostile host could name)
)" + kPlatformMisbehaviour + R"(
When it is ready the host writes "quillmark-host: serving NAME ..." on
standard error; standard output is left to the launched program.
Exit status: the child's with --launch (128+N when signal N ended it); )" +
           kStopped + R"(; 0 when stopped otherwise; 1 on a start-up error; 2 on
a usage error; 127 when PROGRAM cannot be started.
)";
}

namespace {

std::mutex& AddressFilesLock() {
    static std::mutex lock;
    return lock;
}

// Every address file handed out, consumed or not.
std::vector<std::string>& AddressFilesWritten() {
    static std::vector<std::string> files;
    return files;
}

}  // namespace

void RemoveAddressFilesLeft() noexcept {
    const std::lock_guard<std::mutex> hold(AddressFilesLock());
    for (const std::string& path : AddressFilesWritten()) DeleteFileIfExists(path);
    AddressFilesWritten().clear();
}

std::string AnswerCommand(const THostOptions& options, std::string_view command, std::uint32_t ownPid,
                          std::string& problem) {
    if (command == kCmdServerProcess) {
        const std::int64_t pid = options.ClaimPid.value_or(static_cast<std::int64_t>(ownPid));
        return options.Name + "\b" + std::to_string(pid);
    }
    if (command == kCmdHostMetrics) return options.Metrics;
    if (command == kCmdDatabasePath) return options.DbPath;
    if (command == kCmdAddressFile) {
        if (options.AnswerPath) return *options.AnswerPath;
        if (options.RecordFile.empty()) return {};
        static std::atomic<unsigned> counter{0};
        try {
            const std::string record = ReadRegularFile(options.RecordFile);
            const std::string folder = GetWorkingFolder();
            // Process ids repeat (across reboots, in containers, under Wine
            // every first process is 32): a file of an earlier process is
            // neither overwritten nor handed out as ours.
            constexpr int kNameAttempts = 1000;
            for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
                const std::string path =
                    folder + "CVT-ADDRESS-" + std::to_string(ownPid) + "-" + std::to_string(++counter) + ".json";
                if (!WriteNewFile(path, record)) continue;
                const std::lock_guard<std::mutex> hold(AddressFilesLock());
                AddressFilesWritten().push_back(path);
                return path;
            }
            problem = "no free address file name in " + folder;
        } catch (const EQuillmarkError& e) {
            problem = e.what();
        }
        return {};
    }
    problem = "unknown command \"" + std::string(command) + "\"";
    return {};
}

void HostLog(const THostOptions& options, const std::string& line) {
    if (options.Verbose) WriteText(stderr, "quillmark-host " + options.Name + ": " + line + "\n");
}

std::chrono::milliseconds ConnectionLimit(const THostOptions& options) {
    return options.Silent ? std::chrono::milliseconds(std::chrono::hours(24)) : kSilenceLimit;
}

namespace {

// Writes the reply frame for `value`, misshapen as the options say. False
// when the connection is to end without waiting for the end marker.
bool WriteReply(IPipeStream& pipe, const THostOptions& options, std::string_view value, const TStopWait& pause) {
    TMessageData reply;
    reply.SetID(options.ReplyId);
    reply.Data().WriteString("DATA", value);
    std::string frame = EncodeFrame(reply);
    if (options.ReplySize) {
        std::string field;
        AppendLE(field, *options.ReplySize);
        frame.replace(8 + options.ReplyId.size(), 8, field);
    }
    if (options.Truncate) frame.resize(std::min(frame.size(), *options.Truncate));
    const std::size_t piece = options.Piece == 0 ? frame.size() : options.Piece;
    for (std::size_t at = 0; at < frame.size(); at += piece) {
        if (options.Slow.count() > 0 && pause && pause(options.Slow)) return false;
        const std::size_t n = std::min(piece, frame.size() - at);
        if (std::uint32_t e = pipe.Write(std::span<const char>(frame.data() + at, n)); e != 0) {
            HostLog(options, "reply not written (" + std::to_string(e) + ")");
            return false;
        }
    }
    // A reply that was cut or claims a false size ends with the connection.
    return !options.Truncate && !options.ReplySize;
}

}  // namespace

void ServeConnection(IPipeStream& pipe, const THostOptions& options, std::uint32_t ownPid, const TStopWait& pause) {
    std::vector<char> chunk;
    TMessageData request;
    if (TPipeStatus st = ReadFrame(pipe, request, chunk); !st.Ok()) {
        HostLog(options, "request not read: " + st.ErrorDesc + " (" + std::to_string(st.LastError) + ")");
        return;
    }
    const std::string command = request.Data().ReadString("COMMAND");
    HostLog(options, "request \"" + command + "\"");
    if (options.CloseEarly) return;
    if (options.Silent) {
        char sink[256];
        while (pipe.Read(sink).Error == 0) {
        }
        return;
    }

    std::string problem;
    const std::string value = AnswerCommand(options, command, ownPid, problem);
    if (!problem.empty()) WriteText(stderr, "quillmark-host " + options.Name + ": " + problem + "\n");
    if (!WriteReply(pipe, options, value, pause)) return;

    std::array<char, 8> marker{};
    if (TPipeStatus st = ReadExact(pipe, marker, "end marker"); !st.Ok()) {
        HostLog(options, "no end marker (" + std::to_string(st.LastError) + ")");
    } else if (marker != kEndMarker) {
        HostLog(options, "unexpected bytes where the end marker belongs");
    } else {
        HostLog(options, "end marker");
    }
}

}  // namespace qm
