// Dragging files out of a window into other programs with OLE drag and
// drop: a data object offering the files as CF_HDROP (wide names) and as a
// shell item identifier list ("Shell IDList Array"), a drop source that
// drops when the button that started the drag is released, copy-only
// effects, and a drag image through the shell's drag-image helper where the
// system has one.
//
// Every call here runs on a thread that has initialised OLE (OleInitialize).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "UDragDetect.h"
#include "URGBImage.h"
#include "UWinApi.h"
#include "UWinHandles.h"

#include <shlobj.h>

namespace qm {

// The data object of a file drag for `files` (full paths, UTF-8). It offers CF_HDROP and, when the shell can name every file, the
// "Shell IDList Array"; it accepts any HGLOBAL or stream data the drop
// target or the drag-image helper sets on it (drop feedback such as
// "Performed DropEffect") and gives it back on request. A file that no
// longer exists is offered all the same: the drop target decides.
TComPtr<IDataObject> CreateFileDataObject(const std::vector<std::string>& files);

// The CF_HDROP block of `files`: a DROPFILES header (offset 20, point 0,0,
// not non-client, wide characters), each path in UTF-16 with a terminating
// zero, and one more zero; 22 + 2 x (sum of path lengths + number of paths)
// bytes.
std::vector<std::uint8_t> FileDropBlock(const std::vector<std::string>& files);

// The paths in a CF_HDROP medium (wide or ANSI), in order.
std::vector<std::string> FilesOfDrop(HDROP drop);

// Allows the messages of dropped files and data copies (WM_DROPFILES,
// WM_COPYDATA, WM_COPYGLOBALDATA) through this process's message filter,
// so that a drop from a less privileged program still arrives. Does
// nothing where the system has no such filter; failures are ignored.
void AllowDropMessagesThroughFilter() noexcept;

class TFileDragSource {
public:
    // Raised when a drag image is wanted; set `handled` when the handler
    // gave `helper` an image for the source's DataObject().
    using TGetDragImage = std::function<void(TFileDragSource& source, IDragSourceHelper& helper, bool& handled)>;
    // Runs the modal drag loop (DoDragDrop by default; tests may replace it).
    using TDragRunner = std::function<HRESULT(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect)>;

    TFileDragSource();

    // Full paths (UTF-8) of the files offered.
    const std::vector<std::string>& Files() const noexcept { return FFiles; }
    void SetFiles(std::vector<std::string> files) { FFiles = std::move(files); }

    // Allowed drop effects: any of dtCopy, dtMove, dtLink (default dtCopy).
    TDragTypes DragTypes() const noexcept { return FDragTypes; }
    void SetDragTypes(TDragTypes types) noexcept { FDragTypes = types & (dtCopy | dtMove | dtLink); }

    // Ask the shell's drag-image helper for an image through OnGetDragImage
    // (default false). Without the helper (CoCreateInstance fails) the drag
    // runs without an image.
    bool ShowImage = false;
    TGetDragImage OnGetDragImage;

    bool Dragging() const noexcept { return FDragging; }
    // The data object of the running drag, or of the last one afterwards
    // (null before the first).
    IDataObject* DataObject() const noexcept { return FData.Get(); }
    // The "Performed DropEffect" the target reported in the last drag.
    std::optional<DWORD> PerformedDropEffect() const;

    // Runs one drag synchronously and returns when the drop or cancellation
    // is over. The drag drops when the mouse buttons held now are released
    // (at once when none is held). Raises EQuillmarkError "A drag and drop
    // operation is already in progress" when a drag of this source runs.
    TDragResult StartDrag();

    void SetDragRunner(TDragRunner runner);

private:
    std::vector<std::string> FFiles;
    TDragTypes FDragTypes = dtCopy;
    bool FDragging = false;
    TComPtr<IDataObject> FData;
    TDragRunner FRunner;
};

// Gives the drag an image made from `graphic`: each side at most a tenth of
// the screen width, the graphic stretched over a white 32-bit bitmap, the
// cursor at (image width, 16) so that the image hangs left of it, no colour
// key. `handled` := whether the helper took the image (then it owns the
// bitmap). Precondition: called from OnGetDragImage (the source has its
// data object).
void SetDragImageFromGraphic(TFileDragSource& source, const TRGBImage& graphic, IDragSourceHelper& helper,
                             bool& handled);

}  // namespace qm
