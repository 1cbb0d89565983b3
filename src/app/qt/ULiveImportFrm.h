// The one dialog window of the program on Qt: a thin view over the dialog
// controller (UDialogController.h), which fetches the host's current address
// record, builds the card and decides what the window shows and does.
#pragma once

#include <QMimeData>
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "UDialogController.h"
#include "UDialogView.h"
#include "UQRPictureView.h"
#include "UQtDragDetect.h"
#include "USettingsStore.h"

class QAction;
class QLabel;
class QMenu;

namespace qm {

class TFileDragSource;
class TMarkupLabel;
class TShell;

class TLiveImportFrm : public QWidget, private IDialogView {
    Q_OBJECT
public:
    // Creates the dialog at its design position (233, 303), applies the
    // screen set-up, discovers the host that started the program and places
    // the window near the host's window. `shell` (may be null: double clicks
    // and links then open nothing) must outlive the dialog. The user's
    // settings are those of TQtSettingsStore.
    explicit TLiveImportFrm(TShell* shell = nullptr, QWidget* parent = nullptr);
    // Deletes the current .vcf and .png (earlier pairs stay).
    ~TLiveImportFrm() override;

    // False when setting up the dialog failed (the failure was shown).
    bool CreatedWithoutFailure() const noexcept { return FCreated; }

    // See TDialogController::PlaceNearHost.
    void PlaceNearHost(std::string_view metrics) { FController->PlaceNearHost(metrics); }

    // The files of the last card built; empty before the first one.
    const std::string& VcfFileName() const noexcept { return FController->VcfFileName(); }
    const std::string& PngFileName() const noexcept { return FController->PngFileName(); }
    TMarkupLabel& Label() const noexcept { return *HL; }
    QLabel& Image() const noexcept { return *Image1; }
    TFileDragSource& DragSource() const noexcept { return *FileDragSource1; }

    // Pixels per inch of the screen the dialog is on (logical DPI times the
    // device pixel ratio), 96 without a screen. Tests may fix it.
    int PixelsPerInch() const override;
    // The screen's logical DPI (Qt scales its device-independent pixels by
    // the pixel ratio itself: 96 at any scale), 96 without a screen.
    int LayoutPixelsPerInch() const override;
    void SetPixelsPerInchOverride(int ppi) noexcept { FPixelsPerInchOverride = ppi; }
    // The clock of drag detection on the image; empty: the steady clock.
    // Tests move it on by hand.
    void SetDragTimeSource(TDragTimeSource now) { FDragTime = std::move(now); }

    // Runs the image's context menu at a screen point and returns the action
    // chosen (one of the menu's) or null when it was dismissed. Default:
    // QMenu::exec, modal. Tests choose without a user.
    using TMenuRunner = std::function<QAction*(QMenu&, QPoint)>;
    void SetMenuRunner(TMenuRunner runner) { FMenuRunner = std::move(runner); }

    // Ends the process when the window closes, or the application is told
    // to quit, while a load waits for the host, once the window is hidden
    // and the pair deleted: by default at once, the load's worker thread
    // with it (std::_Exit). Tests put in their own; when it returns, the
    // load is waited for as before, writing nothing.
    std::function<void()> EndProcessInLoad = [] {
        std::fflush(nullptr);
        std::_Exit(0);
    };

signals:
    // After every handled load request: whether a card was built.
    void LoadFinished(bool ok);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // IDialogView
    void SetTitle(const std::string& title) override;
    void SetCaptionMarkup(std::span<const std::string> lines) override;
    std::optional<TSize> ShowImage(const std::string& pngPath) override;
    void SetLayout(const TDialogLayout& layout) override;
    TSize FrameSize() const override;
    void DefineProperties(TPropertyObject& form) override;
    TFormBounds WindowBounds() const override;
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
    void SetAccessibleNames(const TAccessibleNames& names) override;

    // The window closes while a load waits for the host: hides it, deletes
    // the pair and ends the process (EndProcessInLoad).
    void EndInLoad();
    // The card's files are about to be deleted: when the clipboard still
    // holds the card this window put there, it keeps the text and the
    // picture but no longer names the file (text/uri-list and the GNOME
    // file managers' list), so that a paste after the window has gone
    // never gets a deleted file, and a clipboard manager, which takes the
    // clipboard over when the program ends (X11), keeps only what lasts.
    void WithdrawCardFileFromClipboard();
    // The caption's link colour for the desktop theme's colours.
    void FollowTheme();
    // The context menu over the picture's centre, as the keyboard opens it.
    void KeyboardContextMenu();
    // Follows the logical DPI of `s`, the window's screen (none: nothing).
    void WatchScreenDensity(QScreen* s);

    int FPixelsPerInchOverride = 0;
    TShell* FShell;
    TDragTimeSource FDragTime;
    TMenuRunner FMenuRunner;
    bool FCreated = false;
    bool FWatchingScreen = false;
    // The window is being hidden and shown again for the compositor to
    // place it anew (Wayland): its showing is no new start.
    bool FRemapping = false;
    // Work of RunResponsive is running; a close meanwhile ends the dialog
    // at once (EndInLoad, once).
    bool FBusy = false;
    bool FEndedInLoad = false;
    // A load asked for while one runs (its `large`): posted after it.
    std::optional<bool> FLoadAfterLoad;
    QMetaObject::Connection FScreenDensityWatch;
    // What this window last put on the clipboard; null once the clipboard
    // has let it go (another program copied since).
    QPointer<QMimeData> FCopied;

    QWidget* PC;
    TMarkupLabel* HL;
    TQRPictureView* Image1;
    std::unique_ptr<TFileDragSource> FileDragSource1;
    std::unique_ptr<ISettingsStore> FSettings;
    // Last: made once the widgets it talks to exist, gone before they are.
    std::unique_ptr<TDialogController> FController;
};

}  // namespace qm
