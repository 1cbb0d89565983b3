// The one dialog window of the program on Windows: a top-level window of
// its own class, a thin view over the dialog controller
// (UDialogController.h), which fetches the host's current address record,
// builds the card and decides what the window shows and does.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "UDialogController.h"
#include "UDialogView.h"
#include "UFileDragSource.h"
#include "UMarkupLabel.h"
#include "URGBImage.h"
#include "UWinAccessible.h"
#include "UWinDragDetect.h"
#include "UWinHandles.h"

namespace qm {

class TShell;

// The private message that starts a load: WM_USER + 1, wParam 1 for the
// large image, lParam 0.
inline constexpr UINT WM_LOADCARD = WM_USER + 1;

class TLiveImportFrm : private IDialogView {
public:
    // The window class of the dialog.
    static constexpr const wchar_t* kWindowClass = L"TLiveImportFrm";

    // Creates the (hidden) dialog at its design position (233, 303) with its
    // design client size (244 x 205 at 96 dpi, scaled to the window's
    // density), applies the screen set-up, discovers
    // the host that started the program and places the window near the
    // host's window. A failure there is shown and the dialog still exists.
    // `shell` (may be null: double clicks and links then open nothing) must
    // outlive the dialog. Raises EQuillmarkError when the window cannot be
    // created; a failure while it is set up destroys the window again. Call
    // on the thread that runs the message loop.
    explicit TLiveImportFrm(TShell* shell = nullptr);
    TLiveImportFrm(const TLiveImportFrm&) = delete;
    TLiveImportFrm& operator=(const TLiveImportFrm&) = delete;
    // Destroys the window if it still exists, then deletes the current .vcf
    // and .png (earlier pairs stay).
    ~TLiveImportFrm();

    // Shows the window (nCmdShow as for ShowWindow), registers it as a drop
    // target for drag images (where OLE is initialised) and posts the first
    // load.
    void Show(int showCommand = SW_SHOWNORMAL);

    // False when setting up the dialog failed (the failure was shown).
    bool CreatedWithoutFailure() const noexcept { return FCreated; }
    // The window; null once it has been destroyed (closed). WM_GETFONT gives
    // its font: Tahoma 9 pt at the window's density.
    HWND Handle() const noexcept { return FHandle; }

    // Gives the dialog the first look at a key message of its thread (the
    // form sees key presses before its controls): Tab and Shift+Tab move the
    // keyboard focus between the picture and the caption's links; the menu
    // key opens the context menu; the dialog's keys (IntentOfKey) pressed
    // in a child are handled, except Enter and Space on a focused link,
    // which the link takes. True when the message was handled: it must not
    // be translated and dispatched then.
    bool PreviewMessage(const MSG& message);

    // The files of the last card built; empty before the first one.
    const std::string& VcfFileName() const noexcept { return FController->VcfFileName(); }
    const std::string& PngFileName() const noexcept { return FController->PngFileName(); }
    TMarkupLabel& Label() const noexcept { return *HL; }
    TFileDragSource& DragSource() const noexcept { return *FileDragSource1; }
    // The picture's control (its window text names the picture). It takes
    // the keyboard focus first and shows a focus frame while it has it.
    HWND ImageControl() const noexcept { return Image1; }
    // Pixels at 96 dpi (scaled to the window's density) between the picture
    // and its focus frame, which is drawn on the panel: inside the margins
    // around the picture (the narrowest, above it, is 5).
    static constexpr int kFocusFrameGap = 3;
    // The default action screen readers announce for the picture.
    static constexpr const wchar_t* kPictureAction = L"\u00D6ffnen";
    // The picture shown and its place in the client area.
    const TRGBImage& Image() const noexcept { return FImage; }
    TRect ImageRect() const noexcept;

    // The client area as it is drawn (panel, caption, image), read back
    // through WM_PRINTCLIENT into a 32-bit DIB.
    TRGBImage CaptureClient() const;

    // Called after every handled load message with whether a card was built.
    std::function<void(bool ok)> OnLoadFinished;
    // Ends the process when the window closes, or the session ends, while a
    // load waits for the host, once the window is off the screen and the
    // pair deleted: by default at once, the load's worker thread with it
    // (ExitProcess). Tests put in their own; when it returns, the window is
    // destroyed and the load is waited for as before, writing nothing.
    std::function<void()> EndProcessInLoad = [] {
        std::fflush(nullptr);
        ExitProcess(0);
    };
    // The clock of drag detection on the image; empty: the steady clock.
    void SetDragTimeSource(TDragTimeSource now) { FDragTime = std::move(now); }
    // Runs the context menu `menu` at the screen point `at` and returns the
    // chosen item's identifier (0: none). Empty: TrackPopupMenu, modal, as
    // the user sees it; tests put in their own to read the menu and choose.
    using TMenuRunner = std::function<UINT(HMENU menu, POINT at)>;
    void SetMenuRunner(TMenuRunner runner) { FMenuRunner = std::move(runner); }

    // IDialogView, public for the program and its tests. The window's
    // density: WindowDpi when it was made, then the one each
    // WM_DPICHANGED brings (the program is per-monitor DPI aware).
    int PixelsPerInch() const override;
    int LayoutPixelsPerInch() const override;
    TFormBounds WindowBounds() const override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // The picture control's subclass: its focus frame and its object for
    // screen readers.
    static LRESULT CALLBACK PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR form) noexcept;
    bool PreviewKey(HWND target, WPARAM key);
    // Tab order: the picture, then the caption's links.
    void MoveFocus(bool backwards);
    // The keyboard's way to the context menu: over the picture's centre.
    void ContextMenuAtPicture();
    // The constructor's work once the window exists.
    void CreateParts();
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc) const;
    bool OverImage(LPARAM lParam) const noexcept;
    void RecreateFont(const std::wstring& face);
    // The window goes: off the screen, the pair deleted, then destroyed;
    // while a load waits for the host the process ends instead
    // (EndProcessInLoad).
    void Dismiss();

    // IDialogView
    void SetTitle(const std::string& title) override;
    void SetCaptionMarkup(std::span<const std::string> lines) override;
    std::optional<TSize> ShowImage(const std::string& pngPath) override;
    void SetLayout(const TDialogLayout& layout) override;
    TSize FrameSize() const override;
    void DefineProperties(TPropertyObject& form) override;
    void MoveWindow(TPoint outerTopLeft) override;
    std::vector<TMonitor> Monitors() const override;
    void PostLoadCard(bool large) override;
    void Close() override;
    void RunResponsive(const std::function<void()>& work) override;
    void ShowErrorBox(const std::string& text) override;
    void OpenWithShell(const std::string& verb, const std::string& file) override;
    bool DetectDragStart(TPoint screenPoint) override;
    void StartFileDrag(const std::string& file) override;
    void CopyCardToClipboard(const std::string& vcfPath, const std::string& vcardText,
                             const std::string& pngPath) override;
    std::optional<TContextCommand> ShowContextMenu(TPoint screenPoint, std::span<const TMenuEntry> entries) override;
    void ShowInFolder(const std::string& file) override;
    int CaptionWidth(std::span<const std::string> lines) override;
    // The colours of the caption and the panel for the system's colours and
    // High Contrast (DialogColors).
    void FollowTheme();
    // The window's icons at its density: ICON_SMALL SM_CXSMICON, ICON_BIG
    // SM_CXICON pixels wide.
    void LoadWindowIcons();
    void SetAccessibleNames(const TAccessibleNames& names) override;

    TShell* FShell;
    HWND FHandle = nullptr;
    TFontHandle FFont;
    std::wstring FFontFace = L"Tahoma";
    int FFontHeight = 0;
    int FPixelsPerInch = 96;
    TColor FColor = SystemColor(COLOR_BTNFACE);
    // The panel's colour of the look-and-feel defaults, and the one it is
    // painted with (a High Contrast theme's window colour instead).
    TColor FPanelColor = clWhite;
    TColor FPanelPaint = clWhite;
    // The icons the window shows (WM_SETICON), made for its density.
    TIconHandle FSmallIcon;
    TIconHandle FBigIcon;
    TRGBImage FImage;
    TPoint FImagePos;
    TDragTimeSource FDragTime;
    TMenuRunner FMenuRunner;
    // What the window announces to screen readers (its title stays the
    // record's text and the database path).
    std::string FWindowAccessibleName;
    bool FCreated = false;
    // Work of RunResponsive is running; a load asked for meanwhile follows
    // the load that runs, a close ends the dialog at once (Dismiss).
    bool FBusy = false;
    std::optional<bool> FLoadAfterLoad;
    std::unique_ptr<TMarkupLabel> HL;
    // A static control over the image that draws it (owner-drawn) and whose
    // window text is the picture's name for assistive technology; without
    // SS_NOTIFY it lets the mouse through to the form (HTTRANSPARENT).
    HWND Image1 = nullptr;
    std::unique_ptr<TFileDragSource> FileDragSource1;
    // Lets the drag image show while a drag passes over the dialog itself.
    std::unique_ptr<TDragImageTarget> DragImageTarget1;
    // The user's settings in the registry.
    std::unique_ptr<ISettingsStore> FSettings;
    // Made once the window it talks to exists.
    std::unique_ptr<TDialogController> FController;
    // The child that had the keyboard focus when the window was last
    // deactivated; it gets it back on activation.
    HWND FFocusedChild = nullptr;
    // What screen readers learn about the window and the picture; last, as
    // they use the members above.
    class TAccessibleForm;
    class TAccessiblePicture;
    std::shared_ptr<IAccessibleSource> FAccessible;
    std::shared_ptr<IAccessibleSource> FPictureAccessible;
};

}  // namespace qm
