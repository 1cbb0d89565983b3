// What a command-line program gets from the system it runs on: its
// arguments as UTF-8 and whether an output stream is a terminal.
#pragma once

#include <cstdio>
#include <string>
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

}  // namespace qm
