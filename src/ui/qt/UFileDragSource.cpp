#include "UFileDragSource.h"

#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QUrl>
#include <memory>

#include "UDragDetect.h"
#include "UErrors.h"

namespace qm {

namespace {

Qt::DropActions ActionsOf(TDragTypes types) {
    Qt::DropActions actions;
    if (types & dtCopy) actions |= Qt::CopyAction;
    if (types & dtMove) actions |= Qt::MoveAction;
    if (types & dtLink) actions |= Qt::LinkAction;
    return actions;
}

TDragTypes TypesOf(Qt::DropAction action) {
    // Qt's copy, move and link actions carry the same bits as the drop effects.
    return static_cast<TDragTypes>(action) & (dtCopy | dtMove | dtLink);
}

Qt::DropAction RunQDrag(QDrag& drag, Qt::DropActions allowed) {
    return drag.exec(allowed, Qt::CopyAction);
}

}  // namespace

TFileDragSource::TFileDragSource(QObject& dragSource) : FDragSource(dragSource), FRunner(RunQDrag) {}

void TFileDragSource::SetDragRunner(TDragRunner runner) { FRunner = runner ? std::move(runner) : RunQDrag; }

TDragResult TFileDragSource::StartDrag() {
    if (FDragging) throw EQuillmarkError("A drag and drop operation is already in progress");
    const TDragInProgress inProgress(FDragging);

    const TDragTypes allowed = FDragTypes;
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& file : FFiles) urls.append(QUrl::fromLocalFile(file));
    mime->setUrls(urls);

    // The drag belongs to Qt once it runs: on X11 the target asks for the
    // data only after the drop, when exec() has already returned, and Qt
    // serves it from this object and deletes it itself once the target is
    // done (a drag on the stack handed the target an empty uri-list). The
    // source widget as parent frees a drag that Qt never took.
    auto* drag = new QDrag(&FDragSource);
    // The drag takes the mime data over.
    drag->setMimeData(mime.release());
    if (ShowImage && OnGetDragImage) {
        bool handled = false;
        OnGetDragImage(*this, *drag, handled);
        if (!handled) drag->setPixmap(QPixmap());
    }
    return DragResultOf(TypesOf(FRunner(*drag, ActionsOf(allowed))), allowed);
}

void SetDragImageFromGraphic([[maybe_unused]] TFileDragSource& source, const QPixmap& graphic, QDrag& drag,
                             bool& handled) {
    handled = false;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (graphic.isNull() || !screen) return;
    const TDragImageSize size = DragImageSize(graphic.width(), graphic.height(), screen->geometry().width());
    if (size.Width == 0 || size.Height == 0) return;
    QPixmap image(size.Width, size.Height);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.drawPixmap(image.rect(), graphic);
    }
    drag.setPixmap(image);
    drag.setHotSpot(QPoint(size.Width, kDragImageHotSpotY));
    handled = true;
}

}  // namespace qm
