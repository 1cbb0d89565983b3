#include <cstdio>

#include "UCardBatch.h"
#include "UCommandLine.h"
#include "UProcess.h"

int main(int argc, char* argv[]) {
    qm::RestrictLibrarySearch();
    return qm::RunCardTool(qm::CommandLineArguments(argc, argv), stdout, stderr, qm::IsTerminal(stderr));
}
