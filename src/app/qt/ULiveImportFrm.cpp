#include "ULiveImportFrm.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QAccessible>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "UAppShell.h"
#include "UContrast.h"
#include "UErrors.h"
#include "UFileDragSource.h"
#include "ULoadCardEvent.h"
#include "UMarkupLabel.h"
#include "UMarkupLabelAccessible.h"
#include "UQRAsPNG.h"
#include "UQREncoder.h"
#include "UQRPictureView.h"
#include "UQtSurface.h"
#include "UQtScreens.h"
#include "UQtSettingsStore.h"
#include "UScreenSetup.h"
#include "UShellJobs.h"
#include "UStringList.h"

namespace qm {

namespace {

constexpr QPoint kDesignPosition{233, 303};

// Wayland lets no client place or move its windows: the compositor does.
bool OnWayland() { return QGuiApplication::platformName().startsWith(QStringLiteral("wayland")); }

// "Tahoma" 9 pt where the system has it, else the desktop's sans-serif font
// at the same size.
QFont DialogFont() {
    QFont font(QStringLiteral("Tahoma"));
    if (!QFontDatabase::families().contains(QStringLiteral("Tahoma"))) {
        font = QFont();
        font.setStyleHint(QFont::SansSerif);
        font.setFamily(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    }
    font.setPointSize(kDialogFontPoints);
    return font;
}

// The window's icon: a QR code of the program's name, two-module light
// border, drawn large enough for the task bar.
QIcon ProgramIcon() {
    const TQRSymbol symbol = EncodeQRBytes(kApplicationTitle, 0);
    const int n = symbol.Matrix.Size();
    constexpr int kBorder = 2;
    QImage image(n + 2 * kBorder, n + 2 * kBorder, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            if (symbol.Matrix.Dark(x, y)) image.setPixel(x + kBorder, y + kBorder, qRgb(0, 0, 0));
        }
    }
    return QIcon(QPixmap::fromImage(image.scaled(image.width() * 4, image.height() * 4)));
}

TColor PlainColor(const QColor& c) { return ColorRGB(c.red(), c.green(), c.blue()); }

QString ToQString(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The dialog's key that Qt's `key` is (either keyboard block's "+" and "-",
// either Enter); none for a key the dialog has no use for.
std::optional<TDialogKey> DialogKeyOf(int key) {
    switch (key) {
        case Qt::Key_Escape:
            return TDialogKey::Escape;
        case Qt::Key_F5:
            return TDialogKey::F5;
        case Qt::Key_Plus:
            return TDialogKey::Plus;
        case Qt::Key_Minus:
            return TDialogKey::Minus;
        case Qt::Key_C:
            return TDialogKey::C;
        case Qt::Key_O:
            return TDialogKey::O;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return TDialogKey::Return;
        default:
            return std::nullopt;
    }
}

}  // namespace

TLiveImportFrm::TLiveImportFrm(TShell* shell, QWidget* parent)
    : QWidget(parent),
      FShell(shell),
      PC(new QWidget(this)),
      HL(new TMarkupLabel(PC)),
      Image1(new TQRPictureView(PC)),
      FileDragSource1(std::make_unique<TFileDragSource>(*Image1)),
      FSettings(std::make_unique<TQtSettingsStore>()),
      FController(std::make_unique<TDialogController>(static_cast<IDialogView&>(*this), *FSettings)) {
    // What screen readers are told of the window, its picture and caption.
    QAccessible::installFactory(DialogAccessibleFactory);
    QAccessible::installFactory(MarkupLabelAccessibleFactory);
    setObjectName(QStringLiteral("LiveImportFrm"));
    setWindowTitle(ToQString(kApplicationTitle));
    setWindowIcon(ProgramIcon());
    // A fixed-size dialog: a title and a close button, nothing to maximise
    // (a compositor that draws no maximise button for a fixed size is told
    // so outright, and Qt's own Wayland decoration obeys the hints).
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(DialogFont());
    const TDialogLayout initial = InitialLayout(LayoutPixelsPerInch());
    setFixedSize(initial.ClientSize.Width, initial.ClientSize.Height);
    move(kDesignPosition);

    PC->setObjectName(QStringLiteral("PC"));
    PC->setGeometry(rect());
    PC->setAutoFillBackground(true);
    // White around the code, as on Windows, whatever the desktop's theme:
    // the light border a reader needs around a QR code goes on past the
    // picture's own.
    QPalette panel = PC->palette();
    panel.setColor(QPalette::Window, Qt::white);
    PC->setPalette(panel);

    HL->setObjectName(QStringLiteral("HL"));
    QFont bold = font();
    bold.setBold(true);
    HL->setFont(bold);
    HL->SetAlign(TControlAlign::alTop);
    HL->SetBorderWidth(initial.LabelBorder);
    HL->SetAutoSizeType(TAutoSizeType::asVertical);
    HL->SetAutoSizing(false);
    HL->SetEllipsis(false);
    HL->SetHover(false);
    FollowTheme();
    HL->SetShadowColor(clGray);
    HL->SetShadowOffset(2);
    HL->SetVAlignment(TVAlignment::tvaTop);
    HL->SetHTMLText(std::string_view("Vcard"));
    HL->setGeometry(0, 0, width(), initial.LabelHeight);
    HL->OnAnchorClick = [this](TMarkupLabel&, const std::string&) { FController->AnchorClick(); };
    HL->SetLinkOpener([this](const std::string& target) {
        if (FShell != nullptr) FShell->OpenFileWithShell("open", target);
    });

    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->move(initial.ImagePos.X, initial.ImagePos.Y);
    Image1->installEventFilter(this);
    PC->installEventFilter(this);  // the picture's focus frame, in the quiet zone
    // The keyboard starts on the code (Enter opens the card, the menu key
    // and Shift+F10 open its menu), then Tab goes on to the caption's link.
    Image1->OnActivate = [this] { FController->ImageDoubleClick(); };
    Image1->OnMenu = [this] { KeyboardContextMenu(); };
    setTabOrder(Image1, HL);
    Image1->setFocus(Qt::OtherFocusReason);

    // Copy is the only drop effect offered.
    FileDragSource1->SetDragTypes(dtCopy);
    FileDragSource1->ShowImage = true;
    FileDragSource1->OnGetDragImage = [this](TFileDragSource& source, QDrag& drag, bool& handled) {
        SetDragImageFromGraphic(source, Image1->pixmap(), drag, handled);
    };

    // A failure while setting up is shown and the dialog still opens, with
    // the steps before the failure done.
    FCreated = FController->FormCreate();
}

TLiveImportFrm::~TLiveImportFrm() { FController.reset(); }

int TLiveImportFrm::PixelsPerInch() const {
    if (FPixelsPerInchOverride > 0) return FPixelsPerInchOverride;
    const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (s == nullptr) return kDefaultPixelsPerInch;
    const int ppi = static_cast<int>(std::lround(s->logicalDotsPerInch() * s->devicePixelRatio()));
    return ppi > 0 ? ppi : kDefaultPixelsPerInch;
}

int TLiveImportFrm::LayoutPixelsPerInch() const {
    const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    const int ppi = s != nullptr ? static_cast<int>(std::lround(s->logicalDotsPerInch())) : 0;
    return ppi > 0 ? ppi : kDefaultPixelsPerInch;
}

void TLiveImportFrm::FollowTheme() {
    // The link is blue where blue can be read on the theme's caption colour
    // (a dark theme's is not), else the theme's own link colour, else a
    // blue made readable.
    const QPalette& palette = HL->palette();
    HL->SetURLColor(ReadableLinkColor(clBlue, PlainColor(ToQColor(HL->Color(), palette)),
                                      PlainColor(palette.color(QPalette::Active, QPalette::Link))));
}

bool TLiveImportFrm::event(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) FollowTheme();
    if (event->type() == TLoadCardEvent::kType) {
        const bool large = static_cast<TLoadCardEvent*>(event)->Large();
        if (FBusy) {
            FLoadAfterLoad = large;  // one load at a time
            return true;
        }
        const bool ok = FController->LoadCard(large);
        emit LoadFinished(ok);
        // Closed meanwhile: no load follows.
        if (const std::optional<bool> next = std::exchange(FLoadAfterLoad, std::nullopt); next && !FEndedInLoad)
            PostLoadCard(*next);
        return true;
    }
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    // The screen's pixel ratio changed under the window (its scaling).
    if (event->type() == QEvent::DevicePixelRatioChange) FController->DensityChanged();
#endif
    return QWidget::event(event);
}

void TLiveImportFrm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!FWatchingScreen && windowHandle() != nullptr) {
        // On a screen of another density the image is rebuilt for its pixels.
        FWatchingScreen = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this](QScreen* s) {
            WatchScreenDensity(s);
            FController->DensityChanged();
        });
        WatchScreenDensity(windowHandle()->screen());
    }
    if (!event->spontaneous() && !FRemapping) FController->FormShow();
}

void TLiveImportFrm::WatchScreenDensity(QScreen* s) {
    // The user may change the scaling of the screen the window stays on (or
    // Xft.dpi on X11): the screen then signals its new logical DPI, which
    // Qt before 6.6 reports by no event to the window.
    disconnect(FScreenDensityWatch);
    FScreenDensityWatch = {};
    if (s != nullptr)
        FScreenDensityWatch =
            connect(s, &QScreen::logicalDotsPerInchChanged, this, [this] { FController->DensityChanged(); });
}

void TLiveImportFrm::keyPressEvent(QKeyEvent* event) {
    // Shift+F10 is the menu key's twin on every desktop, but Qt turns only
    // the menu key into a context menu event.
    if (event->key() == Qt::Key_F10 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
        KeyboardContextMenu();
        return;
    }
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    const std::optional<TDialogKey> key = DialogKeyOf(event->key());
    if (const std::optional<TDialogIntent> intent = key ? IntentOfKey(*key, ctrl) : std::nullopt)
        FController->Act(*intent);
    else
        QWidget::keyPressEvent(event);
}

void TLiveImportFrm::contextMenuEvent(QContextMenuEvent* event) {
    // The mouse's menu comes from the image's right-button release, which
    // knows whether the press became a drag; the menu key and Shift+F10 open
    // it over the image's centre.
    if (event->reason() != QContextMenuEvent::Keyboard) {
        QWidget::contextMenuEvent(event);
        return;
    }
    KeyboardContextMenu();
}

void TLiveImportFrm::KeyboardContextMenu() {
    const QPoint centre = Image1->mapToGlobal(Image1->rect().center());
    FController->ContextMenu({centre.x(), centre.y()});
}

bool TLiveImportFrm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PC && event->type() == QEvent::Paint) {
        // The panel has painted its white; its paint event draws nothing else.
        QPainter painter(PC);
        Image1->PaintFocusFrame(painter);
        return false;
    }
    if (watched == Image1) {
        if (event->type() == QEvent::MouseButtonDblClick) {
            FController->ImageDoubleClick();
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* me = static_cast<QMouseEvent*>(event);
            // The detector works in screen coordinates: a point relative to
            // the image or the panel could be mistaken for a screen point
            // when the window sits near the desktop's top-left corner.
            const QPoint global = me->globalPosition().toPoint();
            FController->ImageMouseDown({global.x(), global.y()}, me->modifiers().testFlag(Qt::ControlModifier));
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto* me = static_cast<QMouseEvent*>(event);
            if (me->button() != Qt::RightButton) return false;
            const QPoint global = me->globalPosition().toPoint();
            // The release may arrive while the press's drag detection is
            // still on the stack; the menu waits until that has returned.
            QMetaObject::invokeMethod(
                this, [this, global] { FController->ImageRightButtonUp({global.x(), global.y()}); },
                Qt::QueuedConnection);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TLiveImportFrm::SetTitle(const std::string& title) { setWindowTitle(ToQString(title)); }

void TLiveImportFrm::SetCaptionMarkup(std::span<const std::string> lines) {
    HL->SetHTMLText(lines);
    HL->PaintNow();
}

std::optional<TSize> TLiveImportFrm::ShowImage(const std::string& pngPath) {
    QPixmap picture;
    if (!picture.load(ToQString(pngPath), "PNG")) return std::nullopt;
    // The image is shown at its physical size: on a scaled screen its pixels
    // are device pixels.
    const QScreen* s = screen();
    if (s != nullptr && s->devicePixelRatio() > 0) picture.setDevicePixelRatio(s->devicePixelRatio());
    Image1->setPixmap(picture);
    Image1->setFixedSize(picture.deviceIndependentSize().toSize());
    return TSize{Image1->width(), Image1->height()};
}

void TLiveImportFrm::SetLayout(const TDialogLayout& layout) {
    const QSize before = size();
    // Qt sizes the 9-point font for the screen itself: FontHeight is not needed.
    Image1->move(layout.ImagePos.X, layout.ImagePos.Y);
    setFixedSize(layout.ClientSize.Width, layout.ClientSize.Height);
    PC->setGeometry(0, 0, layout.ClientSize.Width, layout.ClientSize.Height);
    HL->SetBorderWidth(layout.LabelBorder);
    HL->setGeometry(0, 0, layout.ClientSize.Width, layout.LabelHeight);
    if (OnWayland() && isVisible() && (width() > before.width() || height() > before.height())) {
        // A Wayland window grows from the corner the compositor gave it,
        // past the output's edge when that was low or far right, and the
        // client cannot move it (MoveWindow). Mapped anew, it is placed
        // anew by the compositor, for its new size; the active window asks
        // to be active again (xdg-activation, from the user's last input).
        const bool active = isActiveWindow();
        FRemapping = true;
        hide();
        show();
        FRemapping = false;
        if (active) activateWindow();
    }
}

TSize TLiveImportFrm::FrameSize() const {
    const QSize frame = frameGeometry().size() - size();
    return {std::max(0, frame.width()), std::max(0, frame.height())};
}

void TLiveImportFrm::DefineProperties(TPropertyObject& form) {
    DefineWidgetProperties(form, *this);
    DefineWidgetProperties(form.AddComponent("TPanel", "PC"), *PC);
}

TFormBounds TLiveImportFrm::WindowBounds() const { return FormBoundsOf(*this); }

void TLiveImportFrm::MoveWindow(TPoint outerTopLeft) {
    if (OnWayland()) {
        // The compositor places the window, not the client. Said
        // once, so that a host that gave a position learns why it is unused.
        static bool said = false;
        if (!std::exchange(said, true))
            std::fputs("Quillmark: Unter Wayland legt der Compositor die Lage des Fensters fest; "
                       "die Position vom Host wird nicht verwendet.\n",
                       stderr);
        return;
    }
    const bool visible = isVisible();
    if (visible) setUpdatesEnabled(false);
    TFormBounds form = FormBoundsOf(*this);
    form.Left = outerTopLeft.X;
    form.Top = outerTopLeft.Y;
    MoveWindowTo(*this, form);
    if (visible) {
        setUpdatesEnabled(true);
        repaint();
    }
}

std::vector<TMonitor> TLiveImportFrm::Monitors() const { return MonitorsFromScreens(); }

void TLiveImportFrm::PostLoadCard(bool large) { qm::PostLoadCard(*this, large); }

void TLiveImportFrm::Close() { close(); }

namespace {

// Drops the input events (keys, mouse, wheel, touch) of `form` and its
// children while it lives.
class TInputBlock : public QObject {
public:
    explicit TInputBlock(QWidget& form) : FForm(form) { QCoreApplication::instance()->installEventFilter(this); }
    ~TInputBlock() override { QCoreApplication::instance()->removeEventFilter(this); }
    TInputBlock(const TInputBlock&) = delete;
    TInputBlock& operator=(const TInputBlock&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!event->isInputEvent() || !watched->isWidgetType()) return false;
        const auto* widget = static_cast<QWidget*>(watched);
        return widget == &FForm || FForm.isAncestorOf(widget);
    }

private:
    QWidget& FForm;
};

}  // namespace

void TLiveImportFrm::RunResponsive(const std::function<void()>& work) {
    QEventLoop loop;
    std::exception_ptr error;
    const auto run = [&work, &error] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
    };
    std::thread worker;
    std::atomic<bool> finished{false};
    try {
        // The worker's end reaches this thread as a queued call: it quits the
        // loop once the loop runs, however early the worker ends.
        worker = std::thread([&run, &loop, &finished] {
            run();
            finished = true;
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        run();  // no thread to be had: the work runs here, as it once did
    }
    if (worker.joinable()) {
        // Painting, the compositor's pings, the session's messages and the
        // window manager's close go on (on X11 the close counts as input,
        // which a loop excluding input would hold back until the load is
        // over); keys and clicks in the window are dropped meanwhile.
        const bool busy = std::exchange(FBusy, true);
        TInputBlock block(*this);
        loop.exec();
        // Every loop was told to quit (the session's end, a quit from
        // outside) while the host kept the load waiting: the dialog ends now.
        if (!finished) EndInLoad();
        FBusy = busy;
        worker.join();
    }
    if (error) std::rethrow_exception(error);
}

void TLiveImportFrm::closeEvent(QCloseEvent* event) {
    WithdrawCardFileFromClipboard();
    // Closed from outside (the window manager's close button, the session's
    // end) while a load waits for the host: the dialog ends at once.
    if (FBusy) EndInLoad();
    QWidget::closeEvent(event);
}

void TLiveImportFrm::WithdrawCardFileFromClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (FCopied.isNull() || clipboard->mimeData() != FCopied.data()) return;
    auto kept = std::make_unique<QMimeData>();
    for (const QString& format : FCopied->formats()) {
        if (format == QLatin1String("text/uri-list") || format == QLatin1String("x-special/gnome-copied-files"))
            continue;
        kept->setData(format, FCopied->data(format));
    }
    if (FCopied->hasImage()) kept->setImageData(FCopied->imageData());
    FCopied = kept.get();
    // The clipboard takes ownership of the data.
    clipboard->setMimeData(kept.release());
}

void TLiveImportFrm::EndInLoad() {
    if (std::exchange(FEndedInLoad, true)) return;
    // The window goes first, then the pair; the load writes nothing more.
    hide();
    WithdrawCardFileFromClipboard();
    FController->SessionEnding();
    // The host may keep the load waiting for half a minute: the process
    // ends without it, after what the program's end does besides (the
    // shell's requests given their time).
    if (FShell != nullptr) FShell->Pool().WaitForDone(kShellExitWaitMs);
    if (EndProcessInLoad) EndProcessInLoad();
}

void TLiveImportFrm::ShowErrorBox(const std::string& text) { qm::ShowErrorBox(text); }

void TLiveImportFrm::OpenWithShell(const std::string& verb, const std::string& file) {
    if (FShell != nullptr) FShell->OpenFileWithShell(verb, file);
}

bool TLiveImportFrm::DetectDragStart(TPoint screenPoint) {
    return qm::DetectDragStart(PC, QPoint(screenPoint.X, screenPoint.Y), FDragTime);
}

void TLiveImportFrm::StartFileDrag(const std::string& file) {
    FileDragSource1->SetFiles({ToQString(file)});
    FileDragSource1->StartDrag();
}


void TLiveImportFrm::CopyCardToClipboard(const std::string& vcfPath, const std::string& vcardText,
                                         const std::string& pngPath) {
    QFile file(ToQString(pngPath));
    QByteArray png;
    if (file.open(QIODevice::ReadOnly)) png = file.readAll();
    QImage picture;
    if (png.isEmpty() || !picture.loadFromData(png, "PNG"))
        throw EInOutError("Das Bild \"" + pngPath + "\" kann nicht geladen werden", 0);

    const QUrl url = QUrl::fromLocalFile(ToQString(vcfPath));
    auto data = std::make_unique<QMimeData>();
    // The file for file managers and mail composers (RFC 2483 uri-list; the
    // GNOME file managers paste only from their own list with its verb).
    data->setUrls({url});
    data->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + url.toEncoded());
    // The card's text for address books (RFC 6350 section 10.1 media type)
    // and for editors.
    const QByteArray text = QByteArray::fromStdString(vcardText);
    data->setData(QStringLiteral("text/vcard"), text);
    data->setText(QString::fromUtf8(text));
    // The picture: the PNG file itself, and as an image for programs that
    // ask the clipboard for other image formats.
    data->setData(QStringLiteral("image/png"), png);
    data->setImageData(picture);
    // The clipboard takes ownership of the data.
    FCopied = data.get();
    QGuiApplication::clipboard()->setMimeData(data.release());
}

std::optional<TContextCommand> TLiveImportFrm::ShowContextMenu(TPoint screenPoint, std::span<const TMenuEntry> entries) {
    QMenu menu(this);
    std::vector<std::pair<const QAction*, TContextCommand>> commands;
    for (const TMenuEntry& entry : entries) {
        QAction* action = menu.addAction(ToQString(entry.Text));
        action->setEnabled(entry.Enabled);
        if (entry.Checked) {
            action->setCheckable(true);
            action->setChecked(*entry.Checked);
        }
        commands.emplace_back(action, entry.Command);
    }
    const QPoint at(screenPoint.X, screenPoint.Y);
    const QAction* chosen = FMenuRunner ? FMenuRunner(menu, at) : menu.exec(at);
    for (const auto& [action, command] : commands) {
        if (action == chosen && action->isEnabled()) return command;
    }
    return std::nullopt;
}

void TLiveImportFrm::ShowInFolder(const std::string& file) {
    if (FShell != nullptr) FShell->ShowInFolder(file);
}

int TLiveImportFrm::CaptionWidth(std::span<const std::string> lines) {
    std::string markup;
    for (const std::string& line : lines) markup += line;
    return HL->OneLineWidth(markup);
}

void TLiveImportFrm::SetAccessibleNames(const TAccessibleNames& names) {
    setAccessibleName(ToQString(names.Window));
    Image1->setAccessibleName(ToQString(names.Picture));
    HL->setAccessibleName(ToQString(names.Caption));
}

}  // namespace qm
