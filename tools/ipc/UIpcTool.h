// quillmark-ipc's command line: what it is asked to do, parsed apart from
// the program so that it is tested on its own.
#pragma once

#include <string>
#include <vector>

#include "UHostRequest.h"

namespace qm {

struct TIpcToolOptions {
    bool Help = false;
    bool Version = false;
    bool Verbose = false;   // discovery and each attempt on standard error
    bool Raise = false;     // stop at the first unanswered attempt
    bool Discover = true;   // false with --server or --no-discovery
    std::string Server;     // --server: the name asked, without discovery
    std::string Data;       // the request's DATA argument
    std::string Command;    // the request: any text, the host decides
    TIPCRequestOptions Request;  // connect timeout, silence limit, deadline
};

// Parses the arguments after the program name. --help and --version end the
// parsing (the rest is not looked at). Raises EQuillmarkError with a
// one-line English message on a mistake: an unknown option, an option
// without its value, milliseconds that are no number (a deadline of 0
// included), a second COMMAND or none.
TIpcToolOptions ParseIpcToolOptions(const std::vector<std::string>& args);

}  // namespace qm
