// The working folder and file operations that tolerate other processes
// holding the same files (the host writes the files this program reads, and
// several instances share the working folder).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "UStringList.h"

namespace qm {

// How retry loops wait; tests pass a recorder instead of really sleeping.
using TSleepFunction = std::function<void(std::chrono::milliseconds)>;
void DefaultSleep(std::chrono::milliseconds ms);

// The system's temporary folder. POSIX: $TMPDIR when set and not empty, else
// $XDG_RUNTIME_DIR, else "/tmp"; always ending in "/". Windows: what
// GetTempPathW reports (normally ending in "\\"), empty when it fails.
std::string GetTempFolder();

// The longest path, in UTF-16 code units, that the shell's calls (open, show
// in folder) and programs that receive a dropped or pasted file are sure to
// take: MAX_PATH less its terminating zero on Windows; no limit on POSIX.
#ifdef _WIN32
inline constexpr std::size_t kMaxShellPathChars = 259;
#else
inline constexpr std::size_t kMaxShellPathChars = static_cast<std::size_t>(-1);
#endif

// Name of the folder below the temporary folder that holds every file of the
// program.
inline constexpr std::string_view kWorkingFolderName = "CVTempDir";

// Temporary folder + "CVTempDir/" (+ sub + "/"), with the platform's
// separator, created when missing (POSIX: mode 0700). Raises
// EUnsafeFolderError with a German message when the folder (or the
// sub-folder) is not a folder, is a symbolic link (Windows: any reparse
// point, junctions too) or, on POSIX, belongs to another user; a folder that
// cannot be created is not an error here (writing into it fails later).
std::string GetWorkingFolder(std::string_view sub = {});

// Who owns a folder, as the user text of UProcess.h (CurrentUserId); ""
// when it cannot be read. GetWorkingFolder refuses a folder whose owner is
// not this process's user. Tests set a lookup that answers another user, to
// play a folder someone else made; an empty one restores the platform's own.
// Not thread-safe: set it before any other thread uses the working folder.
using TFolderOwnerLookup = std::function<std::string(const std::string& folder)>;
void SetFolderOwnerLookup(TFolderOwnerLookup lookup);

// Creates `dir` (absolute, or relative to the current folder) and every
// missing parent (POSIX: mode 0777 less the umask;
// with `mode` given, the folders it creates get that mode; Windows ignores
// `mode`: a new folder inherits its parent's access list). True when the folder
// exists afterwards. Raises EInOutError("Verzeichnis kann nicht erstellt
// werden", 3) for an empty path.
bool ForceFolders(std::string_view dir, unsigned mode = 0777);

// True when `path` names a folder (following links). Errors other than "not
// found" answer true, as the folder may exist behind a denied permission.
bool FolderExists(std::string_view path);

// True when `path` names something that is not a folder (following links; a
// dangling link is false, a link to a file true even when the file cannot be
// opened).
bool FileExistsEx(std::string_view path);

// True when the file is gone afterwards or was never there. Never raises.
bool DeleteFileIfExists(std::string_view path) noexcept;

// Copies `source` to `dest` in chunks of at most 61440 bytes, up to 10
// attempts, sleeping 100, 200, ... ms after each failed one. The copy is
// written beside `dest` and renamed over it, so a failed attempt never leaves
// a half-written `dest`. Raises EInOutError when `source` cannot be opened;
// false after 10 failed attempts.
bool CopyFileWithRetry(const std::string& source, const std::string& dest,
                       const TSleepFunction& sleep = DefaultSleep);

// Loads the lines of `path` into `list` (unchanged when the file is missing);
// up to 100 attempts 100 ms apart, the last failure raised. A path that is
// not a regular file raises ENotRegularFileError at once. With `deadline`,
// each attempt runs within it (RunWithin, UBoundedCall.h) and no pause
// passes it: the last failure is raised as soon as the next attempt could
// not start in time, and an attempt the file system leaves unanswered by
// then raises EInOutError with the no-answer code (ETIMEDOUT; Windows
// ERROR_TIMEOUT).
void LoadLinesWithRetry(TStringList& list, const std::string& path, const TSleepFunction& sleep = DefaultSleep,
                        std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);

// FileExistsEx waited for only until `deadline` (RunWithin,
// UBoundedCall.h): none when the file system gave no answer by then. For
// paths that another process names or controls.
std::optional<bool> FileExistsWithin(std::string_view path, std::chrono::steady_clock::time_point deadline);

// Tests only: runs at the start of every FileExistsEx, on the thread that
// makes it, given the path. A hook that blocks plays a file system that
// never answers; one that raises EInOutError a file another process holds
// locked. An empty hook removes it; a call already running keeps the hook it
// started with.
using TFileAccessHook = std::function<void(const std::string& path)>;
void SetFileAccessHook(TFileAccessHook hook);

// Whole-file helpers. ReadFileToString raises EInOutError when the file
// cannot be read. WriteFileAtomic writes a temporary file beside `path`,
// flushes it and renames it over `path`; on failure it raises EInOutError
// and leaves any earlier `path` untouched. On Windows a reader that holds
// `path` without allowing its deletion makes the replace wait: up to nine
// pauses of 50 ms through `sleep` (POSIX renames never wait for readers).
std::string ReadFileToString(const std::string& path);
// Like ReadFileToString, for a file whose name came from another process:
// only a regular file (following links) is read, and opening it never waits
// (a FIFO or pipe under that name would block the reader forever). Anything
// else raises ENotRegularFileError (an EInOutError) with code EINVAL
// (Windows: ERROR_INVALID_PARAMETER).
std::string ReadRegularFile(const std::string& path);
void WriteFileAtomic(const std::string& path, std::string_view content, const TSleepFunction& sleep = DefaultSleep);

// Whether `path` is an absolute path to something on this machine, with no
// NUL. Windows rules: a drive letter, ":" and "\", and no further ":" (an
// alternate data stream); so no "\\server\share", "\\?\" or "\\.\"
// form. POSIX rules: a leading "/". The one-argument form uses this
// platform's rules.
bool IsLocalAbsolutePath(std::string_view path, bool windowsRules) noexcept;
bool IsLocalAbsolutePath(std::string_view path) noexcept;

}  // namespace qm
