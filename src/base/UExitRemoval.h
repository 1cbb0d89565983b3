// Files that must not outlive the process however it ends normally: a
// toolkit that loses its display connection (the X server or the Wayland
// compositor went away) calls exit() from deep inside its event loop, past
// every destructor on the stack, and the dialog's card pair would stay in
// the working folder. Files registered here are deleted by an exit handler
// (std::atexit, installed on the first registration) unless they were
// released before. Thread-safe. A process that ends without exit handlers
// (Qt's Wayland client calls _exit when the compositor goes; SIGKILL) needs
// the guardian: a small process of its own that deletes what is registered
// once the program is gone, however it went.
#pragma once

#include <string>

namespace qm {

// Deletes `path` (a regular file, if it still exists) when the process
// exits; registering a path twice deletes it once. Never throws: without
// memory for the entry the file is simply not registered.
void RemoveAtExit(const std::string& path) noexcept;

// Forgets `path`: it stays after exit (unless registered again).
void KeepAtExit(const std::string& path) noexcept;

// Starts the guardian (POSIX: a forked process with every descriptor closed
// but one socket to this process; it deletes the files registered last when
// that socket closes, and ignores the termination signals that end the
// program, so that it outlives it). Call once, early in main, while the
// process has a single thread. Without it, or where it cannot start, the
// exit handler alone does the work. Windows: nothing (its window system
// ends no program behind its back).
void StartExitGuardian() noexcept;

}  // namespace qm
