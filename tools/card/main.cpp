#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "UCardBatch.h"

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return qm::RunCardTool(args, stdout, stderr, ::isatty(STDERR_FILENO) != 0);
}
