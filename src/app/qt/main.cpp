#include "UAppShell.h"
#include "UDemoSnapshot.h"
#include "ULiveImportFrm.h"
#include "UQuitSignals.h"
#include "UShellJobs.h"

int main(int argc, char* argv[]) {
    qm::TQuillmarkApplication app(argc, argv);
    // Worker threads for shell requests; freed (after their last job) at exit.
    qm::TShell shell;
    // Before the dialog exists: a failure while it is set up must not open a
    // message box that nobody can close.
    const bool headless = qm::InstallHeadlessHandling();
    // A termination signal closes every window (the dialog deletes its card
    // files as it goes) and ends every running event loop, nested ones
    // (a message box, a drag) included.
    qm::TQuitOnSignals quitOnSignals([](int) {
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    });
    qm::TLiveImportFrm form(&shell);
    if (headless && !form.CreatedWithoutFailure()) return 1;
    qm::InstallSnapshotOnFirstLoad(form);
    form.show();
    return QApplication::exec();
}
