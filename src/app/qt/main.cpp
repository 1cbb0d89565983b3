#include "UAppShell.h"
#include "UDemoSnapshot.h"
#include "ULiveImportFrm.h"
#include "UShellJobs.h"

int main(int argc, char* argv[]) {
    qm::TQuillmarkApplication app(argc, argv);
    // Worker threads for shell requests; freed (after their last job) at exit.
    qm::TShell shell;
    qm::TLiveImportFrm form(&shell);
    qm::InstallSnapshotOnFirstLoad(form);
    form.show();
    return QApplication::exec();
}
