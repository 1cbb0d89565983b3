// quillmark-host: serves the Quillmark pipe as the host application must.
// See HostUsage() for the command line.
#include <exception>
#include <string>
#include <vector>

#include "UCommandLine.h"
#include "UErrors.h"
#include "UHost.h"
#include "UProcess.h"
#include "UVersion.h"

int main(int argc, char** argv) {
    qm::RestrictLibrarySearch();
    const std::vector<std::string> args = qm::CommandLineArguments(argc, argv);
    // Everything after --launch belongs to the launched program.
    for (const std::string& a : args) {
        if (a == "--launch") break;
        if (a == "--version") {
            qm::WriteText(stdout, qm::VersionLine("quillmark-host"));
            return 0;
        }
    }
    qm::THostOptions options;
    try {
        options = qm::ParseHostOptions(args);
    } catch (const qm::EQuillmarkError& e) {
        qm::WriteText(stderr, std::string("quillmark-host: ") + e.what() + "\n");
        return 2;
    }
    if (options.Help) {
        qm::WriteText(stdout, qm::HostUsage());
        return 0;
    }
    int status = 1;
    try {
        status = qm::RunHost(options);
    } catch (const std::exception& e) {
        qm::WriteText(stderr, std::string("quillmark-host: ") + e.what() + "\n");
    }
    qm::RemoveAddressFilesLeft();
    return status;
}
