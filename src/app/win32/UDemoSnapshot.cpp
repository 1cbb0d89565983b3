#include "UDemoSnapshot.h"

#include "UWinApi.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "UAppShell.h"
#include "UCommandLine.h"
#include "UDialogController.h"
#include "UFileUtil.h"
#include "ULiveImportFrm.h"
#include "UPNGWriter.h"
#include "UStringUtil.h"
#include "UWinText.h"

namespace qm {

namespace {

class TStderrMessageBox : public IMessageBox {
public:
    void ShowError(const std::string& title, const std::string& text) override {
        WriteText(stderr, title + ": " + text + "\n");
    }
};

std::string WindowTitle(HWND window) {
    std::wstring title(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    title.resize(static_cast<std::size_t>(GetWindowTextW(window, title.data(), static_cast<int>(title.size()))));
    return FromWide(title);
}

void Snapshot(TLiveImportFrm& form, const std::string& dir, bool ok) {
    ForceFolders(dir);
    const std::string folder = IncludeTrailingPathDelimiter(dir);
    WriteText(stdout, "Fenstertitel: " + WindowTitle(form.Handle()) + "\n");
    if (!ok) return;
    // Everything painted before it is read back.
    UpdateWindow(form.Handle());
    WriteFileAtomic(folder + "window.png", WritePNGRGB(form.CaptureClient()));
    const std::string vcf = folder + ExtractFileName(form.VcfFileName());
    const std::string png = folder + ExtractFileName(form.PngFileName());
    CopyFileWithRetry(form.VcfFileName(), vcf);
    CopyFileWithRetry(form.PngFileName(), png);
    const std::string caption = VisibleCaptionText(form.Label().HTMLText().Items);
    const TFormBounds bounds = form.WindowBounds();
    RECT client{};
    GetClientRect(form.Handle(), &client);
    WriteText(stdout, "Beschriftung: " + caption + "\nFensterlage:  " + std::to_string(bounds.Left) + "," +
                          std::to_string(bounds.Top) + "; Innenfl\xC3\xA4" "che " + std::to_string(client.right) + " x " +
                          std::to_string(client.bottom) + "; " + std::to_string(form.PixelsPerInch()) +
                          " dpi\nvCard:        " + vcf + "\nQR-Code:      " + png + "\nFenster:      " + folder +
                          "window.png\n");
}

const char* SnapshotFolder() {
    const char* dir = std::getenv(kSnapshotVariable);
    return dir != nullptr && *dir != '\0' ? dir : nullptr;
}

}  // namespace

bool InstallHeadlessHandling() {
    if (SnapshotFolder() == nullptr) return false;
    ReplaceMessageBox(std::make_unique<TStderrMessageBox>());
    return true;
}

void InstallSnapshotOnFirstLoad(TLiveImportFrm& form) {
    const char* dir = SnapshotFolder();
    if (dir == nullptr) return;
    const std::string folder = dir;
    auto done = std::make_shared<bool>(false);
    form.OnLoadFinished = [&form, folder, done](bool ok) {
        if (*done) return;  // only the first load
        *done = true;
        bool built = ok;
        try {
            Snapshot(form, folder, ok);
        } catch (const std::exception& e) {
            WriteText(stderr, std::string(e.what()) + "\n");
            built = false;
        }
        std::fflush(stdout);
        std::fflush(stderr);
        PostQuitMessage(built ? 0 : 1);
    };
}

}  // namespace qm
