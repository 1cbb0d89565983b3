// What the dialog's road of a load needs from its window. One implementation
// per toolkit (the Qt widget, the Win32 window); the controller
// (UDialogController.h) makes every decision and calls these to carry it out.
// Every call comes on the user-interface thread.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "UGeometry.h"
#include "UDialogLayout.h"
#include "UPlacement.h"

namespace qm {

class TPropertyObject;

// The commands of the image's context menu, in the menu's order.
enum class TContextCommand { ccOpen, ccCopy, ccLarger, ccSmaller, ccOlderPhones, ccShowInFolder };

// One entry of the context menu: its command, the German text shown,
// whether it can be chosen now and, for an entry that switches something on
// or off, whether it is on (shown with a check mark); nullopt for a plain
// command.
struct TMenuEntry {
    TContextCommand Command;
    std::string Text;
    bool Enabled;
    std::optional<bool> Checked;
    friend bool operator==(const TMenuEntry&, const TMenuEntry&) = default;
};

// What assistive technology announces (UTF-8 plain text, no markup): the
// window as a whole, the QR picture and the caption label.
struct TAccessibleNames {
    std::string Window;
    std::string Picture;
    std::string Caption;
    friend bool operator==(const TAccessibleNames&, const TAccessibleNames&) = default;
};

class IDialogView {
public:
    virtual ~IDialogView() = default;

    // The window caption (UTF-8, any length; the window may cut it).
    virtual void SetTitle(const std::string& title) = 0;
    // Replaces the caption label's markup by `lines` (joined without a
    // separator, as the label does) and paints the label at once.
    virtual void SetCaptionMarkup(std::span<const std::string> lines) = 0;
    // Shows the PNG file `pngPath` in the image control at its physical size
    // and returns the control's size in layout pixels; nullopt when the file
    // cannot be read as a picture (the control then keeps its old picture).
    virtual std::optional<TSize> ShowImage(const std::string& pngPath) = 0;
    // Lays the window out by `layout` (its sizes > 0): the caption label at
    // the top across the client width, LabelHeight high with its border LabelBorder,
    // the image control's top-left corner at ImagePos (client coordinates),
    // the client area ClientSize; the window's font and the label's text at
    // the window's density.
    virtual void SetLayout(const TDialogLayout& layout) = 0;
    // Pixels per inch of the screen the window is on, for the image (96 at
    // 100 %; the device pixel ratio included), 24..1200.
    virtual int PixelsPerInch() const = 0;
    // Pixels per inch of the window's layout pixels, the unit of SetLayout,
    // ShowImage, WindowBounds and Monitors (where the toolkit scales its
    // pixels itself, its logical density: 96 at any scale), 24..1200.
    virtual int LayoutPixelsPerInch() const = 0;
    // The window frame's share of the outer size at the window's density
    // (outer size minus client size), in layout pixels, each >= 0.
    virtual TSize FrameSize() const = 0;
    // Describes the window and its components (the form "TLiveImportFrm"
    // given, the white client panel "PC" of class "TPanel" added by the view)
    // with the properties the look-and-feel defaults may set.
    virtual void DefineProperties(TPropertyObject& form) = 0;

    // The window's outer rectangle and border as placement sees them.
    virtual TFormBounds WindowBounds() const = 0;
    // Moves the window's outer top-left corner to `outerTopLeft`; a visible
    // window is repainted completely afterwards.
    virtual void MoveWindow(TPoint outerTopLeft) = 0;
    // The monitors of the desktop in the system's order: whole rectangle,
    // work area, primary flag. Empty when the system reports none.
    virtual std::vector<TMonitor> Monitors() const = 0;

    // Posts the window's private load message to itself (`large` asks for
    // the large image); it is handled after everything already queued, never
    // inside this call.
    virtual void PostLoadCard(bool large) = 0;
    // Closes the window, which ends the program's message loop.
    virtual void Close() = 0;
    // Runs `work` on a worker thread and returns once it has ended, raising
    // what it raised. `work` touches neither the window nor the view. The
    // window stays responsive meanwhile: it paints, moves and answers the
    // system (the desktop's check for hung windows, the session's end);
    // keys and clicks in it are dropped until `work` has ended. A close
    // asked for meanwhile (not by Close()), or the session's end, ends the
    // dialog at once: the window goes, the controller's SessionEnding
    // deletes the pair, and the process ends without waiting for `work`.
    // Handlers of the controller reached meanwhile are those of the system
    // (density, session end), never a second load.
    virtual void RunResponsive(const std::function<void()>& work) = 0;
    // Shows `text` unchanged in the error message box titled
    // kApplicationTitle (error icon, OK button); returns when it is closed.
    virtual void ShowErrorBox(const std::string& text) = 0;

    // Queues the shell request `verb` on `file` (one pair of enclosing double
    // quotes stripped) on the worker pool and returns at once.
    virtual void OpenWithShell(const std::string& verb, const std::string& file) = 0;
    // Decides whether the press at `screenPoint` (virtual-desktop pixels) on
    // the image becomes a drag; runs the platform's detection loop.
    virtual bool DetectDragStart(TPoint screenPoint) = 0;
    // Drags `file` out of the window, copy only, and returns when the drop
    // or cancellation is over.
    virtual void StartFileDrag(const std::string& file) = 0;

    // Puts the card on the clipboard in one go, replacing what it held: the
    // file `vcfPath` as a file, `vcardText` (UTF-8 vCard) as a vCard and as
    // plain text, and the picture in the PNG file `pngPath` as an image.
    // Raises with a German message when the clipboard or the picture cannot
    // be had.
    virtual void CopyCardToClipboard(const std::string& vcfPath, const std::string& vcardText,
                                     const std::string& pngPath) = 0;
    // Shows `entries` (not empty) as a popup menu at `screenPoint`
    // (virtual-desktop pixels) and returns the command of the entry chosen,
    // nullopt when the menu was dismissed. Disabled entries cannot be chosen;
    // switches show whether they are on.
    virtual std::optional<TContextCommand> ShowContextMenu(TPoint screenPoint, std::span<const TMenuEntry> entries) = 0;
    // Shows the folder of `file` in the desktop's file manager, with `file`
    // selected where the platform can; returns at once.
    virtual void ShowInFolder(const std::string& file) = 0;
    // The width in layout pixels that the caption label gives `lines`
    // (joined, as SetCaptionMarkup shows them) on one line in its font,
    // >= 0. Nothing is shown.
    virtual int CaptionWidth(std::span<const std::string> lines) = 0;
    // What assistive technology announces for the window, the picture and
    // the caption label. The window's title is not changed by it.
    virtual void SetAccessibleNames(const TAccessibleNames& names) = 0;
};

}  // namespace qm
