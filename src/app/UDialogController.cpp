#include "UDialogController.h"

#include <cctype>
#include <chrono>
#include <exception>
#include <utility>

#include "UCardBuilder.h"
#include "UDialogLayout.h"
#include "UErrorGuard.h"
#include "UErrors.h"
#include "UExitRemoval.h"
#include "UFileUtil.h"
#include "UFixedSurface.h"
#include "UHTMLText.h"
#include "UHostRequest.h"
#include "UPlacement.h"
#include "UProcess.h"
#include "UScreenSetup.h"
#include "UStringUtil.h"

namespace qm {

namespace {

bool IsWindowsPath(std::string_view path) {
    return path.find('\\') != std::string_view::npos || path.back() == ':' ||
           (path.size() == 1 && std::isalpha(static_cast<unsigned char>(path[0])));
}

}  // namespace

std::string MessageBoxText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) text += '.';
    return text;
}

std::string WindowCaption(std::string_view description, std::string_view dbPath) {
    // No path (the host gave none, or its answer never came in time): the
    // description alone, without a dangling " in ".
    if (dbPath.empty()) return std::string(description);
    std::string caption = std::string(description) + " in ";
    if (dbPath.back() == '/' || dbPath.back() == '\\') return caption + std::string(dbPath);
    // A path the host wrote in its own notation ("D:\Daten") keeps it.
    return caption + (IsWindowsPath(dbPath) ? AddTrailingBackslash(dbPath) : std::string(dbPath) + '/');
}

std::string VisibleCaptionText(std::span<const std::string> lines) {
    std::string markup;
    for (const std::string& line : lines) markup += line;
    // The engine itself decides what is drawn; an unbounded rectangle keeps
    // the whole caption on one line and uncut.
    TFixedSurface surface;
    TFontSpec font;
    font.Bold = true;
    constexpr int kUnbounded = 1 << 24;
    DrawHTMLText(surface, font, TRect{0, 0, kUnbounded, kUnbounded}, markup, false, true, std::nullopt, THTMLStyle{});
    std::string text;
    for (const auto& call : surface.Texts) text += call.Text;
    return text;
}

std::string PictureAccessibleName(const TCardFields& fields) {
    std::string name = "QR-Code der Visitenkarte";
    const char* separator = " von ";
    for (const std::string* part : {&fields.FirstName, &fields.LastName, &fields.Company}) {
        if (part->empty()) continue;
        name += separator;
        name += *part;
        separator = " ";
    }
    return name;
}

std::vector<std::string> FittedCaptionLines(const TCardFields& fields, int sizeMM, int room,
                                            const std::function<int(std::span<const std::string>)>& width) {
    std::vector<std::string> lines = CaptionLines(fields, sizeMM);
    if (width(lines) <= room) return lines;
    const std::string names = fields.FirstName + " " + fields.LastName + " " + fields.Company;
    // The widest cut that fits: widths grow with the bytes kept, so the
    // character boundaries are searched by halves.
    std::vector<std::size_t> cuts{0};
    for (std::size_t i = 1; i < names.size(); ++i)
        if ((static_cast<unsigned char>(names[i]) & 0xC0) != 0x80) cuts.push_back(i);
    std::size_t lo = 0;
    std::size_t hi = cuts.size() - 1;
    while (lo < hi) {
        const std::size_t mid = (lo + hi + 1) / 2;
        if (width(CaptionLines(names.substr(0, cuts[mid]) + std::string(kEllipsis), sizeMM)) <= room) lo = mid;
        else hi = mid - 1;
    }
    return CaptionLines(names.substr(0, cuts[lo]) + std::string(kEllipsis), sizeMM);
}

std::string WindowAccessibleName(std::string_view recordText) {
    std::string name = "Visitenkarte als QR-Code";
    if (!recordText.empty()) name += ": " + std::string(recordText);
    return name;
}

std::vector<TMenuEntry> ContextMenuEntries(int sizeMM, TVCardVersionChoice version) {
    const bool card = sizeMM != 0;
    return {{TContextCommand::ccOpen, std::string(kMenuOpen), card, std::nullopt},
            {TContextCommand::ccCopy, std::string(kMenuCopy), card, std::nullopt},
            {TContextCommand::ccLarger, std::string(kMenuLarger), sizeMM != kLargeImageMM, std::nullopt},
            {TContextCommand::ccSmaller, std::string(kMenuSmaller), sizeMM != kSmallImageMM, std::nullopt},
            {TContextCommand::ccOlderPhones, std::string(kMenuOlderPhones), !version.Locked,
             version.Value == TvCardVersion::vv30},
            {TContextCommand::ccShowInFolder, std::string(kMenuShowInFolder), card, std::nullopt}};
}

std::optional<TDialogIntent> IntentOfKey(TDialogKey key, bool ctrlHeld) {
    switch (key) {
        case TDialogKey::Escape:
            return TDialogIntent::Close;
        case TDialogKey::F5:
            return TDialogIntent::Reload;
        case TDialogKey::Minus:
            return TDialogIntent::Smaller;
        case TDialogKey::Plus:
            return TDialogIntent::Larger;
        case TDialogKey::C:
            return ctrlHeld ? std::optional(TDialogIntent::Copy) : std::nullopt;
        case TDialogKey::O:
            return ctrlHeld ? std::optional(TDialogIntent::Open) : std::nullopt;
        case TDialogKey::Return:
            return TDialogIntent::Open;
    }
    return std::nullopt;
}

namespace {

// Where a controller without settings keeps them: nowhere.
ISettingsStore& NoSettings() {
    static TNoSettingsStore store;
    return store;
}

}  // namespace

TDialogController::TDialogController(IDialogView& view, TIPCRequestOptions requests)
    : TDialogController(view, NoSettings(), std::move(requests)) {}

TDialogController::TDialogController(IDialogView& view, ISettingsStore& settings, TIPCRequestOptions requests)
    : FView(view),
      FSettings(settings),
      FRequests(std::move(requests)),
      FVCardVersion(ReadSetting(settings, kVCardVersion)) {}

TDialogController::~TDialogController() { SessionEnding(); }

void TDialogController::SessionEnding() noexcept {
    // Only the last pair: earlier ones stay for the user.
    try {
        if (!FPngFileName.empty() && FileExistsEx(FPngFileName)) DeleteFileIfExists(FPngFileName);
        if (!FVcfFileName.empty() && FileExistsEx(FVcfFileName)) DeleteFileIfExists(FVcfFileName);
    } catch (...) {
        // Out of memory for a path: what is left stays.
    }
    KeepAtExit(FPngFileName);
    KeepAtExit(FVcfFileName);
    FPngFileName.clear();
    FVcfFileName.clear();
    FVCardText.clear();
    FCardSizeMM = 0;  // as before the first card: nothing acts on one
    FSessionEnded = true;
}

template <typename Handler>
bool TDialogController::Guarded(Handler handler) {
    // The box runs an event loop of its own: shown once the exception is gone.
    const std::optional<std::string> message = FailureOf(handler);
    if (!message) return true;
    FView.ShowErrorBox(MessageBoxText(*message));
    return false;
}

bool TDialogController::FormCreate() {
    return Guarded([this] {
        TPropertyObject form("TLiveImportFrm", "LiveImportFrm", true);
        FView.DefineProperties(form);
        ApplyScreenSetup(form, true);
        // The host holds the start, discovery and all, up to the first card
        // no longer than one request's deadline.
        const TRequestBudget& budget = FStartBudget.emplace(FRequests);
        DiscoverHostServer(GetParentProcessId(), budget.Left());
        PlaceNearHost(ReadIPCValueSync(kCmdHostMetrics, false, {}, budget.Left()));
    });
}

void TDialogController::FormShow() { FView.PostLoadCard(false); }

bool TDialogController::LoadCard(bool large) {
    return Guarded([this, large] { WMLoadCard(large); });
}

TRequestBudget TDialogController::LoadBudget() {
    if (std::optional<TRequestBudget> start = std::exchange(FStartBudget, std::nullopt)) return *start;
    return TRequestBudget(FRequests);
}

void TDialogController::WMLoadCard(bool large) {
    const TRequestBudget budget = LoadBudget();
    // The requests and the file may take the whole budget: they run off the
    // window's thread, and the window keeps answering meanwhile.
    THostAddressFile address;
    FView.RunResponsive([&budget, &address] {
        const std::string file = ReadIPCValueSync(kCmdAddressFile, false, {}, budget.Left());
        address = ReadHostAddressFile(file, budget.End());
        // The host's record is consumed whether or not it loads. Whatever
        // else a process serving the pipe names (a document of the user, a
        // folder, a device) is left as it is: the name is data, not an
        // order. The file deleted is the file read, held open since: if
        // another process has put something else under its name meanwhile,
        // or a link in place of a folder on its path, nothing is deleted.
        address.Consume();
    });
    // The dialog ended (closed, or the session ended) while the host was
    // asked: nothing more is written.
    if (FSessionEnded) return;
    LoadHostDocument(FAddressRecord, std::move(address.Document));

    FAddressRecord.LoadedDocument->SaveToFile(GetWorkingFolder() + "testcase.json", true);
    std::string dbPath;
    FView.RunResponsive([&budget, &dbPath] { dbPath = ReadIPCValueSync(kCmdDatabasePath, false, {}, budget.Left()); });
    if (FSessionEnded) return;
    FView.SetTitle(WindowCaption(FAddressRecord.DisplayText, dbPath));
    BuildCard(large ? kLargeImageMM : kSmallImageMM);
}

void TDialogController::BuildCard(int sizeMM) { ShowCard(ReadCardFields(FAddressRecord), sizeMM); }

void TDialogController::ShowCard(const TCardFields& fields, int sizeMM) {
    const TCardText card = ComposeCard(fields, std::chrono::system_clock::now(), FVCardVersion.Value);

    // Both extensions have four characters; on Windows the whole path stays
    // within what the shell and the programs receiving a drop can open.
    const std::string folder = GetWorkingFolder();
    const std::string base = FitBaseNameToPath(card.BaseName, folder, 4, kMaxShellPathChars);
    const std::string vcf = folder + base + ".vcf";
    const std::string png = GetWorkingFolder() + base + ".png";

    const std::vector<std::string> caption = CaptionLines(fields, sizeMM);
    FView.SetCaptionMarkup(caption);
    FView.SetAccessibleNames({WindowAccessibleName(FAddressRecord.DisplayText), PictureAccessibleName(fields),
                              VisibleCaptionText(caption)});

    TCardSettings settings;
    const int modules = CardModules(card.VCardText, settings);
    settings.SizeMM = ImageSizeMM(sizeMM, modules);
    settings.PixelsPerInch = FView.PixelsPerInch();
    std::optional<TSize> image;
    // Registered before they are written: the process may end (its display
    // gone) the moment a file exists, and nothing of the pair may stay.
    RemoveAtExit(png);
    RemoveAtExit(vcf);
    try {
        WriteCardPng(card.VCardText, png, settings);
        WriteCardVcf(card.VCardText, vcf);
        image = FView.ShowImage(png);
        if (!image) throw EInOutError("Das Bild \"" + png + "\" kann nicht geladen werden", 0);
    } catch (...) {
        // The card shown before stays the card: a drag, a double click or a
        // copy never reaches a half-made one, and what this attempt wrote
        // of a new pair does not outlive it.
        if (png != FPngFileName) {
            DeleteFileIfExists(png);
            KeepAtExit(png);
        }
        if (vcf != FVcfFileName) {
            DeleteFileIfExists(vcf);
            KeepAtExit(vcf);
        }
        throw;
    }
    // Earlier pairs stay for the user; the one shown goes when the process
    // ends, also through exit() from inside the toolkit.
    if (FVcfFileName != vcf) KeepAtExit(FVcfFileName);
    if (FPngFileName != png) KeepAtExit(FPngFileName);
    FVcfFileName = vcf;
    FPngFileName = png;
    FVCardText = card.VCardText;
    FCardFields = fields;
    FCardSizeMM = sizeMM;
    FCardModules = modules;
    FCardImageMM = settings.SizeMM;
    LayOutImage(*image);
}

int TDialogController::ImageSizeMM(int sizeMM, int modules) const {
    if (sizeMM != kLargeImageMM) return sizeMM;
    // The large code is only of use when the whole of it is on the screen.
    const std::vector<TMonitor> monitors = FView.Monitors();
    const std::optional<std::size_t> own = OwnMonitor(monitors, FView.WindowBounds().Rect());
    if (!own) return sizeMM;
    const TRect& work = monitors[*own].WorkArea;
    return LargeImageMM({work.Width(), work.Height()}, FView.FrameSize(), FView.PixelsPerInch(),
                        FView.LayoutPixelsPerInch(), modules);
}

void TDialogController::LayOutImage(TSize image) {
    // The white panel around the picture is its quiet zone on screen.
    const TDialogLayout layout = LayoutAroundImage(FView.LayoutPixelsPerInch(), image, FCardModules);
    FView.SetLayout(layout);
    FitCaption(layout);
    if (std::exchange(FCentreAfterLayout, false)) {
        TFormBounds form = FView.WindowBounds();
        CenterOnWorkArea(form, FView.Monitors());
        FView.MoveWindow({form.Left, form.Top});
    }
    KeepOnMonitor();
}

void TDialogController::FitCaption(const TDialogLayout& layout) {
    // The label's text area: its client width less the border on each side.
    const int room = layout.ClientSize.Width - 2 * layout.LabelBorder;
    const auto width = [this](std::span<const std::string> lines) { return FView.CaptionWidth(lines); };
    const std::vector<std::string> full = CaptionLines(FCardFields, FCardSizeMM);
    const std::vector<std::string> fitted = FittedCaptionLines(FCardFields, FCardSizeMM, room, width);
    // The whole caption stays the label's accessible name.
    if (fitted != full || FCaptionShortened) FView.SetCaptionMarkup(fitted);
    FCaptionShortened = fitted != full;
}

bool TDialogController::DensityChanged() {
    return Guarded([this] {
        if (FCardSizeMM == 0) {
            FView.SetLayout(InitialLayout(FView.LayoutPixelsPerInch()));
            return;
        }
        // The picture is replaced whole (or not at all): the card stays a
        // card throughout, and the .vcf is not touched.
        TCardSettings settings;
        settings.SizeMM = ImageSizeMM(FCardSizeMM, FCardModules);
        settings.PixelsPerInch = FView.PixelsPerInch();
        WriteCardPng(FVCardText, FPngFileName, settings);
        const std::optional<TSize> image = FView.ShowImage(FPngFileName);
        if (!image) throw EInOutError("Das Bild \"" + FPngFileName + "\" kann nicht geladen werden", 0);
        FCardImageMM = settings.SizeMM;
        LayOutImage(*image);
    });
}

TSize TDialogController::ClientSizeAt(int pixelsPerInch) const noexcept {
    return CardLayoutAtDensity(pixelsPerInch, FCardSizeMM == 0 ? 0 : FCardImageMM, FCardModules).ClientSize;
}

void TDialogController::MoveStarted() noexcept { FUserMoving = true; }

void TDialogController::MoveEnded() {
    FUserMoving = false;
    if (std::exchange(FKeepOnMonitorAfterMove, false)) Guarded([this] { KeepOnMonitor(); });
}

void TDialogController::PlaceNearHost(std::string_view metrics) {
    const std::vector<TMonitor> monitors = FView.Monitors();
    TFormBounds form = FView.WindowBounds();
    const TPoint before{form.Left, form.Top};
    // Without a position from the host the window is centred, and centred
    // again once its first layout has given it its real size.
    FCentreAfterLayout = !HostMetricsGivePosition(metrics);
    if (FCentreAfterLayout) {
        CenterOnWorkArea(form, monitors);
    } else {
        PlaceFromHostMetrics(form, metrics, monitors);
    }
    KeepLeftOnMonitor(form, TPoint{form.Left, form.Top}, monitors);
    if (TPoint{form.Left, form.Top} != before) FView.MoveWindow({form.Left, form.Top});
}

void TDialogController::KeepOnMonitor() {
    // Pulled back while the user drags it from one monitor to another, the
    // window would jump under the mouse, and back onto the monitor it left,
    // with that monitor's density again.
    if (FUserMoving) {
        FKeepOnMonitorAfterMove = true;
        return;
    }
    TFormBounds form = FView.WindowBounds();
    if (qm::KeepOnMonitor(form, FView.Monitors())) FView.MoveWindow({form.Left, form.Top});
}

void TDialogController::Act(TDialogIntent intent) {
    switch (intent) {
        case TDialogIntent::Close:
            FView.Close();
            return;
        case TDialogIntent::Reload:
        case TDialogIntent::Smaller:
            FView.PostLoadCard(false);
            return;
        case TDialogIntent::Larger:
            FView.PostLoadCard(true);
            return;
        case TDialogIntent::Copy:
            CopyCard();
            return;
        case TDialogIntent::Open:
            ImageDoubleClick();
            return;
    }
}

void TDialogController::AnchorClick() { FView.PostLoadCard(true); }

void TDialogController::ImageDoubleClick() {
    if (FCardSizeMM == 0) return;
    Guarded([this] { FView.OpenWithShell("open", FVcfFileName); });
}

void TDialogController::ImageMouseDown(TPoint screenPoint, bool ctrlHeld) {
    FPressDragged = false;
    Guarded([this, screenPoint, ctrlHeld] {
        if (FCardSizeMM == 0) return;
        if (!FView.DetectDragStart(screenPoint)) return;
        // Set before the drag: its modal loop may swallow the release, and a
        // failing drag must not turn into a menu either.
        FPressDragged = true;
        FView.StartFileDrag(DragFileName(ctrlHeld));
    });
}

void TDialogController::ImageRightButtonUp(TPoint screenPoint) {
    if (std::exchange(FPressDragged, false)) return;
    ContextMenu(screenPoint);
}

void TDialogController::ContextMenu(TPoint screenPoint) {
    Guarded([this, screenPoint] {
        const std::vector<TMenuEntry> entries = ContextMenuEntries(FCardSizeMM, FVCardVersion);
        const std::optional<TContextCommand> chosen = FView.ShowContextMenu(screenPoint, entries);
        if (!chosen) return;
        // A view must not hand back what it showed disabled; if it does,
        // nothing happens.
        for (const TMenuEntry& entry : entries) {
            if (entry.Command == *chosen && entry.Enabled) RunCommand(*chosen);
        }
    });
}

void TDialogController::RunCommand(TContextCommand command) {
    switch (command) {
        case TContextCommand::ccOpen:
            ImageDoubleClick();
            break;
        case TContextCommand::ccCopy:
            CopyCard();
            break;
        case TContextCommand::ccLarger:
            AnchorClick();
            break;
        case TContextCommand::ccSmaller:
            FView.PostLoadCard(false);
            break;
        case TContextCommand::ccOlderPhones:
            SwitchVCardVersion();
            break;
        case TContextCommand::ccShowInFolder:
            if (!FVcfFileName.empty()) FView.ShowInFolder(FVcfFileName);
            break;
    }
}

void TDialogController::SwitchVCardVersion() {
    if (FVCardVersion.Locked) return;
    FVCardVersion.Value = FVCardVersion.Value == TvCardVersion::vv30 ? TvCardVersion::vv40 : TvCardVersion::vv30;
    Guarded([this] {
        // The card shown, not the host's current record: the host may have
        // moved on, and the record held may be one that failed to load.
        if (FCardSizeMM != 0) {
            const TCardFields fields = FCardFields;
            ShowCard(fields, FCardSizeMM);
        }
    });
    Guarded([this] { WriteSetting(FSettings, kVCardVersion, FVCardVersion.Value); });
}

void TDialogController::CopyCard() {
    if (FCardSizeMM == 0) return;
    Guarded([this] { FView.CopyCardToClipboard(FVcfFileName, FVCardText, FPngFileName); });
}

}  // namespace qm
