#include "UDemoSnapshot.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "UAppShell.h"
#include "UDialogController.h"
#include "UFileUtil.h"
#include "ULiveImportFrm.h"
#include "UMarkupLabel.h"
#include "UQtScreens.h"
#include "UStringUtil.h"

namespace qm {

namespace {

class TStderrMessageBox : public IMessageBox {
public:
    void ShowError(const std::string& title, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    }
};

void Snapshot(TLiveImportFrm& form, const std::string& dir, bool ok) {
    ForceFolders(dir);
    const std::string folder = IncludeTrailingPathDelimiter(dir);
    std::printf("Fenstertitel: %s\n", form.windowTitle().toUtf8().constData());
    if (!ok) return;
    // What the window system shows, where it can tell; else (or where it
    // gives less than the whole window in device pixels, as Qt's offscreen
    // platform on a scaled screen) the widget drawn by itself, at the
    // screen's pixel ratio.
    QPixmap shot;
    if (QScreen* screen = form.screen()) shot = screen->grabWindow(form.winId());
    const QSize devicePixels = form.size() * form.devicePixelRatioF();
    if (shot.isNull() || shot.width() < devicePixels.width() || shot.height() < devicePixels.height())
        shot = form.grab();
    shot.save(QString::fromStdString(folder + "window.png"), "PNG");
    const std::string vcf = folder + ExtractFileName(form.VcfFileName());
    const std::string png = folder + ExtractFileName(form.PngFileName());
    CopyFileWithRetry(form.VcfFileName(), vcf);
    CopyFileWithRetry(form.PngFileName(), png);
    const std::string caption = VisibleCaptionText(form.Label().HTMLText().Items);
    std::printf("Beschriftung: %s\n", caption.c_str());
    // As the Windows dialog reports it: the outer window's top-left corner,
    // the inner size in device pixels and the density the card was made at.
    const TFormBounds bounds = FormBoundsOf(form);
    std::printf("Fensterlage:  %d,%d; Innenfl\xC3\xA4" "che %d x %d; %d dpi\n", bounds.Left, bounds.Top,
                devicePixels.width(), devicePixels.height(), form.PixelsPerInch());
    std::printf("vCard:        %s\nQR-Code:      %s\nFenster:      %swindow.png\n", vcf.c_str(), png.c_str(),
                folder.c_str());
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
    QObject::connect(&form, &TLiveImportFrm::LoadFinished, &form, [&form, folder](bool ok) {
        // Let the window paint its new content before it is grabbed.
        QTimer::singleShot(200, &form, [&form, folder, ok] {
            bool built = ok;
            try {
                Snapshot(form, folder, ok);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s\n", e.what());
                built = false;
            }
            std::fflush(stdout);
            QApplication::exit(built ? 0 : 1);
        });
    }, Qt::SingleShotConnection);
}

}  // namespace qm
