// The rules of the dialog's shell requests ("open" a file or a link, show a
// file in its folder), the same for every front end: the size of the worker
// pool that keeps the dialog from waiting for the desktop, how long the
// program's end waits for it, and the texts of a request. Each front end's
// UShellJobs.h runs the pool and makes the platform's calls.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace qm {

// Worker threads of the program's pool.
inline constexpr int kShellWorkerThreads = 5;
// How long the program's end waits for shell calls still running: a call
// that hangs must not keep the program from ending.
inline constexpr std::chrono::milliseconds kShellExitWait{5000};

// Removes one pair of double quotes enclosing the whole text; only a text of
// more than 2 characters starting and ending with '"' is changed. A request
// is queued for the file name without them; an empty name queues nothing.
std::string StripEnclosingQuotes(std::string_view text);

// Encloses a non-empty text in double quotes unless it already starts and
// ends with one, as ShellExecuteW takes a path that may hold spaces.
std::string QuoteForShell(std::string_view text);

// What the user is told when the shell could not open `target` (a file, or a
// link: IsUrlTarget) or, with `inFolder`, show the file `target` in its
// folder: the request in German, then ": " and `reason`, the system's text
// for the error.
std::string ShellFailureText(std::string_view target, bool inFolder, std::string_view reason);

}  // namespace qm
