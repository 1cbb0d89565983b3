// Dragging files out of a window into other programs with OLE drag and
// drop: a data object offering the files as CF_HDROP (wide names) and as a
// shell item identifier list ("Shell IDList Array"), a drop source that
// drops when the button that started the drag is released, copy-only
// effects, and a drag image through the shell's drag-image helper where the
// system has one.
//
// Every call here runs on a thread that has initialised OLE (OleInitialize).
#pragma once

// First: it reads our colour headers around <windows.h>'s macros.
#include "UWinApi.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "UDragDetect.h"
#include "URGBImage.h"
#include "UWinHandles.h"

namespace qm {

// The data object of a file drag for `files` (full paths, UTF-8). It offers
// CF_HDROP and, when the shell can name every file, the "Shell IDList
// Array"; it accepts any HGLOBAL or stream data the drop target or the
// drag-image helper sets on it (drop feedback such as "Performed
// DropEffect") and gives it back on request. A file that no longer exists is
// offered all the same: the drop target decides. It also speaks the
// asynchronous extraction protocol (IDataObjectAsyncCapability): a target
// may switch asynchronous mode on only with `allowAsync`, and between its
// StartOperation and EndOperation the object reports that it is in an
// operation. Its data never changes, so a target may read it on its own
// thread after the drop.
TComPtr<IDataObject> CreateFileDataObject(const std::vector<std::string>& files, bool allowAsync = false);

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
    // Let the drop target extract the data asynchronously (default false).
    bool AllowAsyncTransfer = false;

    bool Dragging() const noexcept { return FDragging; }
    // The data object of the running drag, or of the last one afterwards
    // (null before the first).
    IDataObject* DataObject() const noexcept { return FData.Get(); }
    // The "Performed DropEffect" the target reported in the last drag.
    std::optional<DWORD> PerformedDropEffect() const;

    // Runs one drag synchronously and returns when the drop or cancellation
    // is over. The drag drops when the mouse buttons held now are released
    // (at once when none is held). Raises EQuillmarkError "An asynchronous
    // drag and drop operation is in progress" while a target still extracts
    // the last drag's data asynchronously, and "A drag and drop operation is
    // already in progress" when a drag of this source runs.
    TDragResult StartDrag();

    void SetDragRunner(TDragRunner runner);

private:
    std::vector<std::string> FFiles;
    TDragTypes FDragTypes = dtCopy;
    bool FDragging = false;
    TComPtr<IDataObject> FData;
    TDragRunner FRunner;
};

// A drop target that accepts nothing (no valid data, drop effect always
// none), so that the shell's drag-image helper draws the drag image while a
// drag passes over the window it is registered for. It serves one window:
// registering another revokes the first. Without the helper on the system
// it only refuses drops.
class TDragImageTarget {
public:
    TDragImageTarget();
    ~TDragImageTarget();
    TDragImageTarget(const TDragImageTarget&) = delete;
    TDragImageTarget& operator=(const TDragImageTarget&) = delete;

    // Registers the target for `window` (RegisterDragDrop); nothing when it
    // already serves that window. False when the system refused.
    bool RegisterWindow(HWND window);
    HWND Window() const noexcept { return FWindow; }
    IDropTarget* Target() const noexcept { return FTarget.Get(); }

private:
    TComPtr<IDropTarget> FTarget;
    HWND FWindow = nullptr;
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
