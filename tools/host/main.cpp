// quillmark-host: serves the Quillmark pipe as the host application must.
// See HostUsage() for the command line.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "UErrors.h"
#include "UHost.h"

int main(int argc, char** argv) {
    qm::THostOptions options;
    try {
        options = qm::ParseHostOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const qm::EQuillmarkError& e) {
        std::cerr << "quillmark-host: " << e.what() << "\n";
        return 2;
    }
    if (options.Help) {
        std::cout << qm::HostUsage();
        return 0;
    }
    try {
        return qm::RunHost(options);
    } catch (const std::exception& e) {
        std::cerr << "quillmark-host: " << e.what() << "\n";
        return 1;
    }
}
