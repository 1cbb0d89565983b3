#include "UDemoSnapshot.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "UDemoSnapshotReport.h"
#include "UDialogController.h"
#include "UErrors.h"
#include "ULiveImportFrm.h"
#include "UMarkupLabel.h"
#include "UQtScreens.h"

namespace qm {

namespace {

void Snapshot(TLiveImportFrm& form, const std::string& dir, bool ok) {
    TSnapshotFacts facts;
    facts.Title = form.windowTitle().toStdString();
    facts.Built = ok;
    const QSize devicePixels = form.size() * form.devicePixelRatioF();
    if (ok) {
        facts.Caption = VisibleCaptionText(form.Label().HTMLText().Items);
        facts.VcfFile = form.VcfFileName();
        facts.PngFile = form.PngFileName();
        // As the Windows dialog reports it: the outer window's top-left
        // corner, the inner size in device pixels and the density the card
        // was made at.
        const TFormBounds bounds = FormBoundsOf(form);
        facts.Left = bounds.Left;
        facts.Top = bounds.Top;
        facts.InnerWidth = devicePixels.width();
        facts.InnerHeight = devicePixels.height();
        facts.PixelsPerInch = form.PixelsPerInch();
    }
    const std::string lines = WriteSnapshot(dir, facts, [&form, devicePixels](const std::string& windowPng) {
        // What the window system shows, where it can tell; else (or where it
        // gives less than the whole window in device pixels, as Qt's
        // offscreen platform on a scaled screen) the widget drawn by itself,
        // at the screen's pixel ratio.
        QPixmap shot;
        if (QScreen* screen = form.screen()) shot = screen->grabWindow(form.winId());
        if (shot.isNull() || shot.width() < devicePixels.width() || shot.height() < devicePixels.height())
            shot = form.grab();
        if (!shot.save(QString::fromStdString(windowPng), "PNG"))
            throw EInOutError("Die Datei \"" + windowPng + "\" kann nicht geschrieben werden", 0);
    });
    std::fputs(lines.c_str(), stdout);
}

}  // namespace

void InstallSnapshotOnFirstLoad(TLiveImportFrm& form) {
    const std::optional<std::string> dir = SnapshotFolder();
    if (!dir) return;
    const std::string folder = *dir;
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
