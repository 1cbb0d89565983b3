// Dragging files out of the dialog into other programs: the files' URLs
// (text/uri-list), the allowed drop effects, and a drag image.
#pragma once

#include <QDrag>
#include <QPixmap>
#include <QStringList>
#include <functional>

#include "UDragDetect.h"

class QObject;

namespace qm {

class TFileDragSource {
public:
    // Raised with `handled` set to true when the handler gave `drag` an image.
    using TGetDragImage = std::function<void(TFileDragSource& source, QDrag& drag, bool& handled)>;
    // Runs the modal drag and returns the effect the target performed
    // (Qt::IgnoreAction when cancelled). The default runs QDrag::exec.
    using TDragRunner = std::function<Qt::DropAction(QDrag& drag, Qt::DropActions allowed)>;

    // `dragSource` (the widget the drag starts from) must outlive this source.
    explicit TFileDragSource(QObject& dragSource);

    // Full paths of the files offered; a file that no longer exists is offered
    // all the same (the drop target decides).
    const QStringList& Files() const noexcept { return FFiles; }
    void SetFiles(QStringList files) { FFiles = std::move(files); }

    // Allowed drop effects: any of dtCopy, dtMove, dtLink (default dtCopy).
    TDragTypes DragTypes() const noexcept { return FDragTypes; }
    void SetDragTypes(TDragTypes types) noexcept { FDragTypes = types & (dtCopy | dtMove | dtLink); }

    // Ask OnGetDragImage for a drag image (default false).
    bool ShowImage = false;
    TGetDragImage OnGetDragImage;

    bool Dragging() const noexcept { return FDragging; }

    // Runs one drag synchronously and returns when the drop or cancellation is
    // over. Raises EQuillmarkError "A drag and drop operation is already in
    // progress" when a drag of this source runs.
    TDragResult StartDrag();

    // Replaces the modal drag loop (for tests); an empty runner restores QDrag::exec.
    void SetDragRunner(TDragRunner runner);

private:
    QObject& FDragSource;
    QStringList FFiles;
    TDragTypes FDragTypes = dtCopy;
    bool FDragging = false;
    TDragRunner FRunner;
};

// Gives `drag` an image made from `graphic`: each side at most a tenth of
// the primary screen's width, the graphic stretched over a white background,
// the cursor at (image width, 16) so that the image hangs left of it.
// `handled` := whether an image was set (false for a null graphic or without
// a screen).
void SetDragImageFromGraphic(TFileDragSource& source, const QPixmap& graphic, QDrag& drag, bool& handled);

}  // namespace qm
