#include <cstdio>
#include <cstring>
#include <memory>

#include "UAppShell.h"
#include "UDemoSnapshot.h"
#include "UDemoSnapshotReport.h"
#include "UDialogUsage.h"
#include "UExitRemoval.h"
#include "ULiveImportFrm.h"
#include "UQuitSignals.h"
#include "UShellJobs.h"
#include "UVersion.h"

// The name of the desktop entry (quillmark.desktop) and of the icon: the
// desktop associates the window with the entry through it (the Wayland
// app id, and on X11 the WM_CLASS instance, which Qt takes from the
// program's file name).
constexpr const char* kDesktopFileName = "quillmark";

// What `quillmark --help` prints after the common part (UTF-8).
constexpr const char* kPlatformNotes = R"(Ohne Fenster: mit QUILLMARK_SNAPSHOT_DIR=ORDNER (ohne Bildschirm dazu
QT_QPA_PLATFORM=offscreen) lädt es die erste Karte, kopiert .vcf, .png und ein
Bild des Fensters nach ORDNER, gibt Titel, Beschriftung, Fensterlage und Pfade
aus und endet.
Arbeitsordner: $TMPDIR/CVTempDir/, sonst $XDG_RUNTIME_DIR/CVTempDir/, sonst
/tmp/CVTempDir/. Siehe quillmark(1) und host-integration.md.
)";

int main(int argc, char* argv[]) {
    // The host starts the dialog without arguments (and may pass some, which
    // are ignored); --help and --version alone are answered before any window
    // system is contacted, so that they work without a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs(qm::VersionLine("quillmark").c_str(), stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(qm::DialogUsage("quillmark", kPlatformNotes).c_str(), stdout);
        return 0;
    }
    // Before any thread: the card's pair goes also when Qt ends the program
    // with _exit (its Wayland client does when the compositor goes away).
    qm::StartExitGuardian();
    qm::TQuillmarkApplication app(argc, argv);
    qm::ReplaceMessageBox(std::make_unique<qm::TQtMessageBox>());
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
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
