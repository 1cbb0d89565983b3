// The test host: its command line and the server that answers the dialog's
// requests on the pipe.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "UMessageData.h"
#include "UPosixPipe.h"

namespace qm {

struct THostOptions {
    std::string Name;        // server name; "" means "quillmark-host-<pid>"
    std::string RecordFile;  // JSON address record; "" answers "GETJSONADRESS" empty
    std::string Metrics;     // answer to "CORVANTAMETRICS"
    std::string DbPath;      // answer to "DBPATH"
    bool AsDefault = false;  // first line of the exchange file
    bool ListInExchange = true;
    std::vector<std::string> Launch;  // program and arguments to start as a child
    bool KeepRunning = false;         // keep serving after the child exited
    bool Verbose = false;
    bool Help = false;

    // Misbehaviour on purpose, for tests.
    bool Silent = false;                  // read the request, never answer
    bool CloseEarly = false;              // close the connection before answering
    bool NoAccept = false;                // listen with a backlog of 0 and never accept
    bool StaleSocket = false;             // leave the socket file with nobody listening
    bool HangUp = false;                  // close each connection at once, unread
    std::string ReplyId;                  // ID of reply frames
    std::optional<std::size_t> Truncate;  // write only this many reply bytes, then close
    std::chrono::milliseconds Slow{0};    // pause before each piece of a reply
    std::size_t Piece = 0;                // write replies in pieces of this many bytes; 0: whole
    std::optional<std::int64_t> ReplySize;  // payload size claimed in reply frames
    std::optional<std::int64_t> ClaimPid;   // process id reported for "SERVERPROCESS"
};

// Parses the arguments after the program name. Raises EQuillmarkError with a
// one-line English message on a mistake. Everything after "--launch PROGRAM"
// belongs to the program.
THostOptions ParseHostOptions(const std::vector<std::string>& args);

// The --help text.
std::string HostUsage();

// The answer to one "COMMAND", as the host application gives it. A
// "GETJSONADRESS" writes a fresh copy of the record file into the working
// folder and answers its full path ("" when there is no record or it cannot
// be read; the failure goes to `problem`).
std::string AnswerCommand(const THostOptions& options, std::string_view command, pid_t ownPid,
                          std::string& problem);

// Listens on <working folder>pipes/<name> and serves one connection after
// another. A socket file left behind by a host that is gone is replaced; a
// name another live host serves raises EQuillmarkError. The socket file is
// removed again when the server is destroyed (unless it was replaced).
class THostServer {
public:
    // `cancelFd` becomes readable when the host is told to stop (-1: never).
    THostServer(THostOptions options, int cancelFd);
    THostServer(const THostServer&) = delete;
    THostServer& operator=(const THostServer&) = delete;
    ~THostServer();

    const std::string& Name() const noexcept { return options_.Name; }
    const std::string& SocketPath() const noexcept { return path_; }
    // The listening socket (-1 with StaleSocket); readable when a client waits.
    int ListenFd() const noexcept { return listen_.Get(); }
    // Accepts and serves every client that is waiting now.
    void ServePending();

private:
    void Serve(TFileHandle connection);
    // False when the connection is to end without waiting for the end marker.
    bool WriteReply(IPipeStream& pipe, std::string_view value);
    // Sleeps up to `pause`; false when told to stop meanwhile.
    bool Pause(std::chrono::milliseconds pause) const;
    void Log(const std::string& line) const;

    THostOptions options_;
    int cancelFd_;
    std::string path_;
    TFileHandle listen_;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
};

}  // namespace qm
