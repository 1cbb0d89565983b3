#include <cstdio>

#include "UCardBatch.h"
#include "UCommandLine.h"

int main(int argc, char* argv[]) {
    return qm::RunCardTool(qm::CommandLineArguments(argc, argv), stdout, stderr, qm::IsTerminal(stderr));
}
