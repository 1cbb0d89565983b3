// The dialog's road of one load, without a toolkit: asks the host for its
// window position, the current address record and the database path, writes
// testcase.json and the .vcf/.png pair, and tells the window (IDialogView)
// what to show. What keys ask for, the caption's link, a double click and a
// drag on the image are decided here too. Each front end (Qt, Win32) owns
// one controller and forwards its window's events to it.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "UCardBuilder.h"
#include "UCommonCVJSON.h"
#include "UDialogView.h"
#include "UDragDetect.h"
#include "UGeometry.h"
#include "UHostRequest.h"
#include "USettingsStore.h"

namespace qm {

// Title of the application: task bar, the window before the first load and
// the caption of every error message box.
inline constexpr std::string_view kApplicationTitle = "Quillmark";

// Shown for a failure that carries no message of its own.
inline constexpr std::string_view kUnknownErrorMessage = "Unbekannter Fehler";

// What the user asks the dialog for: close the window, load the current
// record's small image again (Reload; Smaller asks the same, as the menu's
// "Kleiner"), load its large image, put the card on the clipboard, open the
// .vcf.
enum class TDialogIntent { Close, Reload, Larger, Smaller, Copy, Open };

// The keys the dialog answers, as every toolkit knows them: Plus and Minus
// are the "+" and "-" of the main keyboard and of the number pad alike,
// Return also the number pad's Enter.
enum class TDialogKey { Escape, Return, F5, Plus, Minus, C, O };

// What `key` asks for, `ctrlHeld` whether Ctrl was down with it. Esc
// closes; F5 reloads, "-" asks for the smaller and "+" for the larger
// image; Ctrl+C copies the card, Ctrl+O and Enter open it (Enter is the
// keyboard's way to the picture's default action). Esc, F5, "+", "-" and
// Enter ask the same with or without Ctrl; C and O without it ask for
// nothing.
std::optional<TDialogIntent> IntentOfKey(TDialogKey key, bool ctrlHeld);

// Texts of the image's context menu.
inline constexpr std::string_view kMenuOpen = "\xC3\x96" "ffnen";
inline constexpr std::string_view kMenuCopy = "Kopieren";
inline constexpr std::string_view kMenuLarger = "Gr\xC3\xB6\xC3\x9F" "er";
inline constexpr std::string_view kMenuSmaller = "Kleiner";
inline constexpr std::string_view kMenuOlderPhones = "F\xC3\xBCr \xC3\xA4ltere Telefone (vCard 3.0)";
inline constexpr std::string_view kMenuShowInFolder = "Im Ordner zeigen";

// The text an error message box shows for `message`: a "." is appended when
// the last byte sorts after "." (so a text ending in ")" or "!" gets none, one
// ending in a letter, a digit or a non-ASCII character gets one); an empty
// message stays empty.
std::string MessageBoxText(std::string_view message);

// "<description> in <dbPath with a trailing separator>". A path in Windows
// notation (a backslash, a drive letter) gets "\", any other path the
// platform's separator. An empty path (none given, or the request failed)
// gives the description alone.
std::string WindowCaption(std::string_view description, std::string_view dbPath);

// The caption as the label shows it, as plain text: `lines` laid out by the
// caption's text engine on one unbounded line, tags and entities resolved.
std::string VisibleCaptionText(std::span<const std::string> lines);

// The caption's lines for a label whose text may be `room` layout pixels
// wide, `width` giving the width the label lays lines out in: CaptionLines
// when they fit; else the names cut at a character boundary and ended with
// "…", as much of them as still fits, so that the link after them (" |
// Größer") stays whole and can be clicked. Down to "…" alone when even that
// does not fit.
std::vector<std::string> FittedCaptionLines(const TCardFields& fields, int sizeMM, int room,
                                            const std::function<int(std::span<const std::string>)>& width);

// What a screen reader announces for the QR picture: "QR-Code der
// Visitenkarte von " and the non-empty ones of first name, last name and
// company (raw, one space between); without any name only "QR-Code der
// Visitenkarte".
std::string PictureAccessibleName(const TCardFields& fields);

// What a screen reader announces for the dialog window itself (its title
// stays the record's text and the database path, as hosts know it): what the
// window is, then `recordText` when it is not empty.
std::string WindowAccessibleName(std::string_view recordText);

// The context menu for the card built last at `sizeMM` (0: none built yet)
// with the vCard version `version`. All six entries always, in the order of
// TContextCommand; "Größer" and "Kleiner" both, the one for the size shown
// disabled; without a card "Öffnen", "Kopieren" and "Im Ordner zeigen" are
// disabled. "Für ältere Telefone (vCard 3.0)" is the only switch, on for
// 3.0 and disabled when a policy fixes the version; without a card it still
// switches, for the next card.
std::vector<TMenuEntry> ContextMenuEntries(int sizeMM, TVCardVersionChoice version = {});

class TDialogController {
public:
    // `view` must outlive the controller. Nothing happens until FormCreate.
    // Host requests are made with `requests` (the program's limits unless a
    // test shortens them or puts a scripted transport in). Cards are 4.0 and
    // no choice of version is remembered.
    explicit TDialogController(IDialogView& view, TIPCRequestOptions requests = {});
    // The same with the user's settings in `settings` (must outlive the
    // controller): the vCard version is read from it here, and a change of
    // version by the user is written to it.
    TDialogController(IDialogView& view, ISettingsStore& settings, TIPCRequestOptions requests = {});
    TDialogController(const TDialogController&) = delete;
    TDialogController& operator=(const TDialogController&) = delete;
    // Deletes the current .vcf and .png (earlier pairs stay). Calls nothing
    // on the view, so the window may already be half torn down.
    ~TDialogController();

    // The dialog ends: the user's session ends (log-off, shut-down; the
    // system may end the process any moment after), or the window closes
    // (the process may end before the destructor runs, also while a load
    // waits for the host). Deletes the current .vcf and .png as the
    // destructor would and forgets them, so that the destructor deletes
    // nothing twice, nothing acts on the card any more, and a load that is
    // waiting for the host writes nothing when its wait ends. Calls nothing
    // on the view. Any time, also before the first card and repeatedly.
    void SessionEnding() noexcept;

    // The handlers. Each one shows a failure that leaves it in the view's
    // error box (MessageBoxText of the message) and returns false; the
    // dialog stays usable.

    // Window created: applies the look-and-feel defaults, discovers the host
    // that started this program and places the window near the host's window.
    // This handler and the first LoadCard after it share one budget of
    // requests.Deadline; every later load has one of its own.
    bool FormCreate();
    // Window shown: posts the first load (small image).
    void FormShow();
    // The posted load message: fetches the record, saves testcase.json, sets
    // the title and builds the card (`large`: 200 mm, else 120 mm). The file
    // the host names is read only as ReadHostAddressFile allows and deleted
    // only when it held an address record.
    bool LoadCard(bool large);
    // Carries out what the user asked for while the window is active:
    // Close closes it; Reload and Smaller post a load of the small image,
    // Larger one of the large image (as the caption's link; also when it is
    // shown already); Copy as CopyCard, Open as the double click.
    void Act(TDialogIntent intent);
    // The caption's link was clicked: posts a load of the large image.
    void AnchorClick();
    // Double click on the image: asks the shell to open the .vcf; nothing
    // before the first card.
    void ImageDoubleClick();
    // A mouse button went down on the image at `screenPoint` (virtual-desktop
    // pixels). Once a card is built and the press becomes a drag, the .png
    // (`ctrlHeld`) or the .vcf is dragged out.
    void ImageMouseDown(TPoint screenPoint, bool ctrlHeld);
    // The right mouse button was released on the image at `screenPoint`:
    // shows the context menu unless the press before it became a drag.
    void ImageRightButtonUp(TPoint screenPoint);
    // Shows the context menu (ContextMenuEntries) at `screenPoint` and
    // carries out the entry chosen: "Öffnen" as the double click,
    // "Kopieren" as CopyCard, "Größer" as the link, "Kleiner" as F5, "Für
    // ältere Telefone" as SwitchVCardVersion, "Im Ordner zeigen" shows the
    // .vcf in its folder.
    void ContextMenu(TPoint screenPoint);
    // Switches between vCard 4.0 and 3.0 unless a policy fixes the version:
    // the card shown is built again at once in the new version at its size
    // (same names, same files), and the choice is stored in the settings.
    // Before the first card only the next card is affected.
    void SwitchVCardVersion();
    // The version of the cards and whether the user may change it.
    TVCardVersionChoice VCardVersion() const noexcept { return FVCardVersion; }
    // Puts the current card on the clipboard (the .vcf as a file, its text,
    // the QR picture); nothing before the first card.
    void CopyCard();
    // The window's density changed (it moved to a monitor of another
    // density, or the monitor's scaling changed; the view already reports
    // the new densities): lays the window out at the new density and
    // rebuilds the card's image for it, the .png written anew at its new
    // pixel size with the same size in millimetres (the large one capped
    // anew to its monitor); the .vcf stays as it is. Before the first card
    // only the layout changes. Returns false when that failed (shown).
    bool DensityChanged();
    // The client size DensityChanged lays the window out at for
    // `pixelsPerInch` (24..1200), for a view whose layout pixels are its
    // screen's pixels: the card shown at the millimetres it was built at
    // (CardLayoutAtDensity), the first layout before the first card. (The
    // large image may come out smaller where the monitor is too small for it.)
    TSize ClientSizeAt(int pixelsPerInch) const noexcept;
    // The user started moving or sizing the window: until MoveEnded it stays
    // where the user takes it, also when it is laid out anew meanwhile (on a
    // monitor of another density).
    void MoveStarted() noexcept;
    // The user let go of the window: when a layout meanwhile would have
    // kept it on its monitor, that happens now, once.
    void MoveEnded();

    // Places the window 50 pixels right of and below the host window's corner
    // given by `metrics` (the "CORVANTAMETRICS" reply; centred on the primary
    // work area when it gives no position, and again after the first card's
    // layout), then corrects its left edge against the monitor at its
    // top-left corner.
    void PlaceNearHost(std::string_view metrics);

    // The files of the card shown: set only once both were written and the
    // picture shown, so a failed build leaves the card before it; empty
    // before the first one.
    const std::string& VcfFileName() const noexcept { return FVcfFileName; }
    const std::string& PngFileName() const noexcept { return FPngFileName; }
    // The file a drag offers: the .png with Ctrl held, else the .vcf.
    const std::string& DragFileName(bool ctrlHeld) const noexcept { return ctrlHeld ? FPngFileName : FVcfFileName; }

private:
    template <typename Handler>
    bool Guarded(Handler handler);
    // The budget of a load: what is left of the start's for the first one.
    TRequestBudget LoadBudget();
    void WMLoadCard(bool large);
    void BuildCard(int sizeMM);
    void ShowCard(const TCardFields& fields, int sizeMM);
    // The size in mm to build the image at for `sizeMM` asked for: the large
    // one capped so that its window, around a code of `modules` modules
    // across, fits the work area of the window's monitor.
    int ImageSizeMM(int sizeMM, int modules) const;
    // Lays the window out around the picture shown (`image` pixels, the
    // last card's FCardModules across): at the window's density, centred after the first layout when the host gave
    // no position, kept on its monitor.
    void LayOutImage(TSize image);
    // Shows the caption of the card shown, shortened to the label's width
    // when it does not fit there.
    void FitCaption(const TDialogLayout& layout);
    void KeepOnMonitor();
    void RunCommand(TContextCommand command);

    IDialogView& FView;
    ISettingsStore& FSettings;
    TIPCRequestOptions FRequests;
    // The start's budget until the first load takes it over.
    std::optional<TRequestBudget> FStartBudget;
    TVCardVersionChoice FVCardVersion;
    TCVJSONObject FAddressRecord;
    std::string FPngFileName;
    std::string FVcfFileName;
    // The last card's fields, its vCard text (what the .vcf holds) and its
    // size asked for in mm (kSmallImageMM or kLargeImageMM; the large image
    // as built may be capped to its monitor); 0 before the first card.
    TCardFields FCardFields;
    std::string FVCardText;
    int FCardSizeMM = 0;
    // Set by SessionEnding: a load that was waiting for the host then
    // writes nothing more. Both run on the window's thread (the host is
    // waited for off it, the files are written on it), so a close that
    // comes while the load waits is seen before anything is written.
    bool FSessionEnded = false;
    // Modules across the last card's image (CardModules) and the millimetres
    // it was built at (for the large image: capped to its monitor).
    int FCardModules = 1;
    int FCardImageMM = 0;
    // The user moves the window (MoveStarted); a layout meanwhile leaves it
    // where it is and keeps it on its monitor when the move ends.
    bool FUserMoving = false;
    bool FKeepOnMonitorAfterMove = false;
    // The caption shown is shortened to fit the label.
    bool FCaptionShortened = false;
    // The host gave no position: centre the window after its next layout.
    bool FCentreAfterLayout = false;
    // Whether the last press on the image became a drag: its button's
    // release then opens no menu.
    bool FPressDragged = false;
};

}  // namespace qm
