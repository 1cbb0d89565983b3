#include "UDemoSnapshot.h"

#include "UWinApi.h"

#include <cstdio>
#include <exception>
#include <memory>

#include "UCommandLine.h"
#include "UDemoSnapshotReport.h"
#include "UDialogController.h"
#include "UFileUtil.h"
#include "ULiveImportFrm.h"
#include "UPNGWriter.h"
#include "UWinText.h"

namespace qm {

namespace {

std::string WindowTitle(HWND window) {
    std::wstring title(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    title.resize(static_cast<std::size_t>(GetWindowTextW(window, title.data(), static_cast<int>(title.size()))));
    return FromWide(title);
}

void Snapshot(TLiveImportFrm& form, const std::string& dir, bool ok) {
    TSnapshotFacts facts;
    facts.Title = WindowTitle(form.Handle());
    facts.Built = ok;
    if (ok) {
        facts.Caption = VisibleCaptionText(form.Label().HTMLText().Items);
        facts.VcfFile = form.VcfFileName();
        facts.PngFile = form.PngFileName();
        const TFormBounds bounds = form.WindowBounds();
        RECT client{};
        GetClientRect(form.Handle(), &client);
        facts.Left = bounds.Left;
        facts.Top = bounds.Top;
        facts.InnerWidth = client.right;
        facts.InnerHeight = client.bottom;
        facts.PixelsPerInch = form.PixelsPerInch();
    }
    WriteText(stdout, WriteSnapshot(dir, facts, [&form](const std::string& windowPng) {
                  // Everything painted before it is read back.
                  UpdateWindow(form.Handle());
                  WriteFileAtomic(windowPng, WritePNGRGB(form.CaptureClient()));
              }));
}

}  // namespace

void InstallSnapshotOnFirstLoad(TLiveImportFrm& form) {
    const std::optional<std::string> dir = SnapshotFolder();
    if (!dir) return;
    const std::string folder = *dir;
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
