// quillmark.exe: the dialog on Windows. The host starts it without
// arguments: everything comes from the host, and other arguments are
// ignored. "--help" or "--version" alone prints the usage or the version (to
// the output the caller redirected, else into the console of the command
// prompt that started it) and opens no window.
#include "UWinApi.h"

#include <cstdio>
#include <cwchar>
#include <exception>
#include <memory>
#include <string_view>

#include "UAppShell.h"
#include "UCommandLine.h"
#include "UDemoSnapshot.h"
#include "UDemoSnapshotReport.h"
#include "UDialogUsage.h"
#include "UFileDragSource.h"
#include "ULiveImportFrm.h"
#include "UShellJobs.h"
#include "UProcess.h"
#include "UVersion.h"
#include "UWinHandles.h"

namespace {

// What `quillmark.exe --help` prints after the common part.
constexpr const char* kPlatformNotes = R"(Ohne Bildschirm: mit QUILLMARK_SNAPSHOT_DIR=ORDNER lädt es die erste Karte,
kopiert .vcf, .png und ein Bild des Fensters nach ORDNER, gibt Titel,
Beschriftung, Fensterlage und Pfade aus und endet.
Arbeitsordner: %TEMP%\CVTempDir\ (GetTempPathW). Siehe host-integration.md.
)";

// Writes `text` where the caller of `quillmark.exe --version` sees it. A
// program of the GUI subsystem gets no console: its output is the one the
// caller redirected (a file, a pipe, NUL), or none; with none it writes into
// the console of the process that started it, when that has one.
void PrintForCaller(std::string_view text) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const bool redirected = out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN;
    if (!redirected && AttachConsole(ATTACH_PARENT_PROCESS) == FALSE) return;
    if (!redirected && _wfreopen(L"CONOUT$", L"w", stdout) == nullptr) return;
    qm::WriteText(stdout, text);
}

// Runs the thread's message loop until WM_QUIT; the dialog previews key
// messages first and keeps those it handled. Returns the quit message's
// exit code.
int RunMessageLoop(qm::TLiveImportFrm& form) {
    MSG message;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return 1;
        if (form.PreviewMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

int Run(int showCommand) {
    // OLE for drag and drop on this (the user-interface) thread.
    const qm::TOleInitialization ole;
    qm::AllowDropMessagesThroughFilter();
    // Worker threads for shell requests; they finish their last job at exit.
    qm::TShell shell;
    // Before the dialog exists: a failure while it is set up must not open a
    // message box that nobody can close.
    const bool headless = qm::InstallHeadlessHandling();
    qm::TLiveImportFrm form(&shell);
    if (headless && !form.CreatedWithoutFailure()) return 1;
    qm::InstallSnapshotOnFirstLoad(form);
    form.Show(showCommand);
    return RunMessageLoop(form);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int showCommand) {
    qm::RestrictLibrarySearch();
    if (commandLine != nullptr && std::wcscmp(commandLine, L"--version") == 0) {
        PrintForCaller(qm::VersionLine("quillmark"));
        return 0;
    }
    if (commandLine != nullptr && std::wcscmp(commandLine, L"--help") == 0) {
        PrintForCaller(qm::DialogUsage("quillmark.exe", kPlatformNotes));
        return 0;
    }
    int status = 1;
    // The application's rule: a failure that leaves everything else ends in
    // the message box.
    qm::ReplaceMessageBox(std::make_unique<qm::TWinMessageBox>());
    qm::RunGuarded([&] { status = Run(showCommand); });
    return status;
}
