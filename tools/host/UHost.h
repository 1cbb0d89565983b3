// The test host: its command line and the server that answers the dialog's
// requests on the pipe.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "UMessageData.h"
#include "UPipeTransport.h"

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
    bool NoAccept = false;                // never accept: every pipe instance stays busy
    bool StaleSocket = false;             // POSIX: leave the socket file with nobody listening
    bool HangUp = false;                  // close each connection at once, unread
    std::string ReplyId;                  // ID of reply frames
    std::optional<std::size_t> Truncate;  // write only this many reply bytes, then close
    std::chrono::milliseconds Slow{0};    // pause before each piece of a reply
    std::size_t Piece = 0;                // write replies in pieces of this many bytes; 0: whole
    std::optional<std::int64_t> ReplySize;  // payload size claimed in reply frames
    std::optional<std::int64_t> ClaimPid;   // process id reported for "SERVERPROCESS"
    std::optional<std::string> AnswerPath;  // answered for "GETJSONADRESS" as it is
};

// Parses the arguments after the program name. Raises EQuillmarkError with a
// one-line English message on a mistake (a server name that cannot name a
// pipe or holds a control character is one). Everything after "--launch
// PROGRAM" belongs to the program.
THostOptions ParseHostOptions(const std::vector<std::string>& args);

// The --help text.
std::string HostUsage();

// The answer to one "COMMAND", as the host application gives it. A
// "GETJSONADRESS" writes a fresh copy of the record file into the working
// folder as a new file "CVT-ADDRESS-<ownPid>-<n>.json", taking the next n
// while a file of that name exists (left by an earlier process of the same
// id), and answers its full path ("" when there is no record or it cannot
// be read; the failure goes to `problem`).
std::string AnswerCommand(const THostOptions& options, std::string_view command, std::uint32_t ownPid,
                          std::string& problem);

// Deletes the address files AnswerCommand wrote that are still there: the
// client never took them (a reply that was cut, a record it refused). For
// the host's end.
void RemoveAddressFilesLeft() noexcept;

// Writes `content` as the new file `path`: false, and nothing written, when
// something of that name exists already (POSIX: O_EXCL, no link followed,
// mode 0600; Windows: CREATE_NEW). Raises EInOutError when it cannot be
// written. UHostPosix.cpp / UHostWin32.cpp.
bool WriteNewFile(const std::string& path, std::string_view content);

// Instances of the pipe a host serves on Windows: so many clients can be
// connected at once before the pipe is busy (231).
inline constexpr std::size_t kHostPipeInstances = 4;

// Waits up to the given time for a request to stop the host; true when one
// came (then the caller gives up what it was waiting for).
using TStopWait = std::function<bool(std::chrono::milliseconds)>;

// One line on standard error when options.Verbose is set.
void HostLog(const THostOptions& options, const std::string& line);

// Serves one connection on an open pipe, shared by every platform: reads
// the request frame, answers it (or misbehaves as the options say), and
// takes the client's end marker. `pause` carries the --slow pauses.
void ServeConnection(IPipeStream& pipe, const THostOptions& options, std::uint32_t ownPid, const TStopWait& pause);

// How long a connection may stall the host: a silent host waits for the
// client to give up; otherwise a client that stalls holds the host no
// longer than the client's own limit.
std::chrono::milliseconds ConnectionLimit(const THostOptions& options);

// Runs the host until it is told to stop (SIGINT, SIGTERM, SIGHUP on POSIX;
// Ctrl+C, Ctrl+Break, closing the console on Windows) or its launched child
// has ended; returns the exit status that HostUsage() describes. Raises
// EQuillmarkError on a start-up failure. UHostPosix.cpp / UHostWin32.cpp.
int RunHost(const THostOptions& options);

}  // namespace qm
