#include "UHost.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <iostream>

#include "UByteOrder.h"
#include "UErrors.h"
#include "UFileUtil.h"
#include "UIPCFrame.h"

namespace qm {

namespace {

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
        else if (a == "--launch") {
            if (i + 1 >= args.size()) throw EQuillmarkError("--launch needs a program");
            o.Launch.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else {
            throw EQuillmarkError("unknown option \"" + a + "\" (see --help)");
        }
    }
    if (!o.Name.empty() && !IsValidServerName(o.Name)) {
        throw EQuillmarkError("--name: a server name may not be \".\" or \"..\" nor contain \"/\"");
    }
    return o;
}

std::string HostUsage() {
    return R"(Usage: quillmark-host [OPTIONS] [--launch PROGRAM [ARGS...]]

A host for Quillmark: serves the pipe <working folder>pipes/NAME (the working
folder is $TMPDIR/CVTempDir/, else $XDG_RUNTIME_DIR/CVTempDir/, else
/tmp/CVTempDir/), lists NAME in CVT-EXCHANGELOCALSERVICE.TXT there, and
answers the four requests:
  SERVERPROCESS     NAME, a backspace, the host's process id
  CORVANTAMETRICS   the --metrics text
  GETJSONADRESS     path of a fresh copy of the --record file (the client deletes it)
  DBPATH            the --dbpath text
Connections are served one after another. The exchange file line and the
socket are removed again on exit, also on SIGINT, SIGTERM and SIGHUP.

Options:
  --name NAME         server name (default: quillmark-host-<pid>)
  --record FILE       JSON address record to hand out (default: none, empty answer)
  --metrics "L,T,..." answer to CORVANTAMETRICS, left and top first (default: empty)
  --dbpath TEXT       answer to DBPATH (default: empty)
  --default           list NAME on the first line (the default host); else last
  --no-exchange       do not list NAME in the exchange file
  --launch PROG ARGS  start PROG with ARGS as a child (everything after PROG is
                      its arguments); exit when it exits, with its exit status
                      (128+N when signal N ended it)
  --keep-running      with --launch: keep serving after the child has exited
  -v, --verbose       log every request on standard error
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
  --no-accept         listen with a backlog of 0 and never accept (a busy pipe)
  --stale-socket      leave the socket file with nobody listening on it

When it is ready the host writes "quillmark-host: serving NAME ..." on
standard error; standard output is left to the launched program.
Exit status: the child's with --launch; when stopped by signal N while the
child runs, 128+N (the signal is passed on to the child); 0 when stopped by a
signal otherwise; 1 on a start-up error; 2 on a usage error; 127 when PROGRAM
cannot be started.
)";
}

std::string AnswerCommand(const THostOptions& options, std::string_view command, pid_t ownPid,
                          std::string& problem) {
    if (command == "SERVERPROCESS") {
        const std::int64_t pid = options.ClaimPid.value_or(ownPid);
        return options.Name + "\b" + std::to_string(pid);
    }
    if (command == "CORVANTAMETRICS") return options.Metrics;
    if (command == "DBPATH") return options.DbPath;
    if (command == "GETJSONADRESS") {
        if (options.RecordFile.empty()) return {};
        static std::atomic<unsigned> counter{0};
        try {
            const std::string path = GetWorkingFolder() + "CVT-ADDRESS-" + std::to_string(ownPid) + "-" +
                                     std::to_string(++counter) + ".json";
            WriteFileAtomic(path, ReadFileToString(options.RecordFile));
            return path;
        } catch (const EQuillmarkError& e) {
            problem = e.what();
            return {};
        }
    }
    problem = "unknown command \"" + std::string(command) + "\"";
    return {};
}

namespace {

sockaddr_un SocketAddress(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        throw EQuillmarkError("socket path too long (at most " + std::to_string(sizeof addr.sun_path - 1) +
                              " bytes): " + path);
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return addr;
}

// True when a live listener answers on `path`.
bool SomeoneListens(const sockaddr_un& addr) {
    TFileHandle probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!probe) return false;
    const int rc = ::connect(probe.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    return rc == 0 || errno == EAGAIN;
}

[[noreturn]] void RaiseSystem(const std::string& what) {
    throw EQuillmarkError(what + ": " + std::strerror(errno));
}

}  // namespace

THostServer::THostServer(THostOptions options, int cancelFd) : options_(std::move(options)), cancelFd_(cancelFd) {
    if (options_.Name.empty()) options_.Name = "quillmark-host-" + std::to_string(::getpid());
    path_ = PipeSocketPath(options_.Name);
    const sockaddr_un addr = SocketAddress(path_);

    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) throw EQuillmarkError("not a socket, left alone: " + path_);
        if (SomeoneListens(addr)) throw EQuillmarkError("server name in use by a running host: " + options_.Name);
        ::unlink(path_.c_str());  // left behind by a host that is gone
    }

    listen_.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listen_) RaiseSystem("socket");
    if (::bind(listen_.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        RaiseSystem("bind " + path_);
    }
    if (::lstat(path_.c_str(), &st) == 0) {
        dev_ = st.st_dev;
        ino_ = st.st_ino;
    }
    if (::listen(listen_.Get(), options_.NoAccept ? 0 : SOMAXCONN) != 0) RaiseSystem("listen " + path_);
    if (options_.StaleSocket) listen_.Reset();
}

THostServer::~THostServer() {
    listen_.Reset();
    // Remove the socket only while it is still ours: a later host of the
    // same name may have replaced it.
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_) ::unlink(path_.c_str());
}

void THostServer::Log(const std::string& line) const {
    if (options_.Verbose) std::cerr << "quillmark-host " << options_.Name << ": " << line << std::endl;
}

bool THostServer::Pause(std::chrono::milliseconds pause) const {
    if (pause.count() <= 0) return true;
    pollfd fd{cancelFd_, POLLIN, 0};
    return ::poll(&fd, cancelFd_ >= 0 ? 1 : 0, static_cast<int>(pause.count())) == 0;
}

void THostServer::ServePending() {
    if (!listen_ || options_.NoAccept) return;
    for (;;) {
        TFileHandle connection(::accept4(listen_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!connection) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;  // EAGAIN: nobody else waiting
        }
        Serve(std::move(connection));
    }
}

void THostServer::Serve(TFileHandle connection) {
    // A silent host waits for the client to give up; otherwise a client that
    // stalls may hold the host no longer than the client's own limit.
    const auto limit = options_.Silent ? std::chrono::milliseconds(std::chrono::hours(24)) : kSilenceLimit;
    if (options_.HangUp) return;
    TSocketStream pipe(std::move(connection), limit, cancelFd_);
    std::vector<char> chunk;
    TMessageData request;
    if (TPipeStatus st = ReadFrame(pipe, request, chunk); !st.Ok()) {
        Log("request not read: " + st.ErrorDesc + " (" + std::to_string(st.LastError) + ")");
        return;
    }
    const std::string command = request.Data().ReadString("COMMAND");
    Log("request \"" + command + "\"");
    if (options_.CloseEarly) return;
    if (options_.Silent) {
        char sink[256];
        while (pipe.Read(sink).Error == 0) {
        }
        return;
    }

    std::string problem;
    const std::string value = AnswerCommand(options_, command, ::getpid(), problem);
    if (!problem.empty()) std::cerr << "quillmark-host " << options_.Name << ": " << problem << std::endl;
    if (!WriteReply(pipe, value)) return;

    std::array<char, 8> marker{};
    if (TPipeStatus st = ReadExact(pipe, marker, "end marker"); !st.Ok()) {
        Log("no end marker (" + std::to_string(st.LastError) + ")");
    } else if (marker != kEndMarker) {
        Log("unexpected bytes where the end marker belongs");
    }
}

bool THostServer::WriteReply(IPipeStream& pipe, std::string_view value) {
    TMessageData reply;
    reply.SetID(options_.ReplyId);
    reply.Data().WriteString("DATA", value);
    std::string frame = EncodeFrame(reply);
    if (options_.ReplySize) {
        std::string field;
        AppendLE(field, *options_.ReplySize);
        frame.replace(8 + options_.ReplyId.size(), 8, field);
    }
    if (options_.Truncate) frame.resize(std::min(frame.size(), *options_.Truncate));
    const std::size_t piece = options_.Piece == 0 ? frame.size() : options_.Piece;
    for (std::size_t at = 0; at < frame.size(); at += piece) {
        if (!Pause(options_.Slow)) return false;
        const std::size_t n = std::min(piece, frame.size() - at);
        if (std::uint32_t e = pipe.Write(std::span<const char>(frame.data() + at, n)); e != 0) {
            Log("reply not written (" + std::to_string(e) + ")");
            return false;
        }
    }
    // A reply that was cut or claims a false size ends with the connection.
    return !options_.Truncate && !options_.ReplySize;
}

}  // namespace qm
