// What a command-line program gets from the system it runs on: its
// arguments as UTF-8, whether an output stream is a terminal, and text
// written to it so that the terminal shows it.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The program's arguments after its own name, in UTF-8. `argc`/`argv` are
// main's. POSIX: argv as given. Windows: main's argv is in the ANSI code
// page, which cannot hold every file name, so the arguments are read from
// the UTF-16 command line (GetCommandLineW, CommandLineToArgvW) instead.
std::vector<std::string> CommandLineArguments(int argc, char* argv[]);

// True when `stream` writes to a terminal (Windows: a console, not a file,
// a pipe or the NUL device). Precondition: `stream` is an open C stream.
bool IsTerminal(std::FILE* stream) noexcept;

// Writes the UTF-8 text `utf8` to `stream` (after what the stream holds
// already) and flushes it. POSIX, and on Windows a stream that is no console
// (a file, a pipe, NUL): the bytes unchanged. A Windows console: the text
// as UTF-16 through WriteConsoleW, so that umlauts show in any console code
// page (bytes that are no UTF-8 show as U+FFFD); before text holding an
// escape character, virtual-terminal processing is switched on
// (ENABLE_VIRTUAL_TERMINAL_PROCESSING), so that a control sequence acts
// instead of showing. Returns false when the text could not be written.
// Precondition: `stream` is an open C stream. Any length, empty included.
bool WriteText(std::FILE* stream, std::string_view utf8) noexcept;

}  // namespace qm
