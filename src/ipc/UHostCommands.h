// The requests a host answers: the command names a request carries in its
// COMMAND field, as the dialog, the test host and quillmark-ipc use them and
// docs/host-integration.md ("The four requests") describes them. A new
// request is one more entry here.
#pragma once

#include <array>
#include <string_view>

namespace qm {

// Asked of every host named in the exchange file during discovery; the
// answer is the instance's server name, a backspace and its process id.
inline constexpr std::string_view kCmdServerProcess = "SERVERPROCESS";
// The host window's position and size (comma-separated integers, left and
// top first), where the dialog places itself.
inline constexpr std::string_view kCmdHostMetrics = "CORVANTAMETRICS";
// The full path of a JSON file just written with the current record.
inline constexpr std::string_view kCmdAddressFile = "GETJSONADRESS";
// The path of the host's database folder, shown in the window title.
inline constexpr std::string_view kCmdDatabasePath = "DBPATH";

// Every request, in the order the guide lists them.
inline constexpr std::array<std::string_view, 4> kHostCommands{kCmdServerProcess, kCmdHostMetrics, kCmdAddressFile,
                                                               kCmdDatabasePath};

// Whether `command` is one of the requests a host answers.
constexpr bool IsHostCommand(std::string_view command) noexcept {
    for (const std::string_view known : kHostCommands) {
        if (known == command) return true;
    }
    return false;
}

}  // namespace qm
