#include "ULiveImportFrm.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <cmath>

#include "UAppShell.h"
#include "UFileDragSource.h"
#include "ULoadCardEvent.h"
#include "UMarkupLabel.h"
#include "UQRAsPNG.h"
#include "UQREncoder.h"
#include "UQtScreens.h"
#include "UScreenSetup.h"
#include "UShellJobs.h"
#include "UStringList.h"

namespace qm {

namespace {

constexpr QPoint kDesignPosition{233, 303};
constexpr QSize kDesignClientSize{244, 205};
constexpr int kDesignLabelHeight = 29;

// "Tahoma" 9 pt where the system has it, else the desktop's sans-serif font
// at the same size.
QFont DialogFont() {
    QFont font(QStringLiteral("Tahoma"));
    if (!QFontDatabase::families().contains(QStringLiteral("Tahoma"))) {
        font = QFont();
        font.setStyleHint(QFont::SansSerif);
        font.setFamily(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    }
    font.setPointSize(9);
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

QString ToQString(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

TLiveImportFrm::TLiveImportFrm(TShell* shell, QWidget* parent)
    : QWidget(parent),
      FShell(shell),
      PC(new QWidget(this)),
      HL(new TMarkupLabel(PC)),
      Image1(new QLabel(PC)),
      FileDragSource1(std::make_unique<TFileDragSource>(*Image1)),
      FController(std::make_unique<TDialogController>(static_cast<IDialogView&>(*this))) {
    setObjectName(QStringLiteral("LiveImportFrm"));
    setWindowTitle(ToQString(kApplicationTitle));
    setWindowIcon(ProgramIcon());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFont(DialogFont());
    setFixedSize(kDesignClientSize);
    move(kDesignPosition);

    PC->setObjectName(QStringLiteral("PC"));
    PC->setGeometry(rect());
    PC->setAutoFillBackground(true);

    HL->setObjectName(QStringLiteral("HL"));
    QFont bold = font();
    bold.setBold(true);
    HL->setFont(bold);
    HL->SetAlign(TControlAlign::alTop);
    HL->SetBorderWidth(6);
    HL->SetAutoSizeType(TAutoSizeType::asVertical);
    HL->SetAutoSizing(false);
    HL->SetEllipsis(false);
    HL->SetHover(false);
    HL->SetURLColor(clBlue);
    HL->SetShadowColor(clGray);
    HL->SetShadowOffset(2);
    HL->SetVAlignment(TVAlignment::tvaTop);
    HL->SetHTMLText(std::string_view("Vcard"));
    HL->setGeometry(0, 0, width(), kDesignLabelHeight);
    HL->OnAnchorClick = [this](TMarkupLabel&, const std::string&) { FController->AnchorClick(); };
    HL->SetLinkOpener([this](const std::string& target) {
        if (FShell != nullptr) FShell->OpenFileWithShell("open", target);
    });

    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->move(16, 32);
    Image1->installEventFilter(this);

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

bool TLiveImportFrm::event(QEvent* event) {
    if (event->type() == TLoadCardEvent::kType) {
        const bool ok = FController->LoadCard(static_cast<TLoadCardEvent*>(event)->Large());
        emit LoadFinished(ok);
        return true;
    }
    return QWidget::event(event);
}

void TLiveImportFrm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FController->FormShow();
}

void TLiveImportFrm::keyPressEvent(QKeyEvent* event) {
    int virtualKey = 0;
    if (event->key() == Qt::Key_Escape) virtualKey = kVkEscape;
    if (event->key() == Qt::Key_F5) virtualKey = kVkF5;
    if (!FController->KeyDown(virtualKey)) QWidget::keyPressEvent(event);
}

bool TLiveImportFrm::eventFilter(QObject* watched, QEvent* event) {
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
    }
    return QWidget::eventFilter(watched, event);
}

void TLiveImportFrm::SetTitle(const std::string& title) { setWindowTitle(ToQString(title)); }

void TLiveImportFrm::SetCaptionMarkup(std::span<const std::string> lines) {
    TStringList list;
    for (const std::string& line : lines) list.Add(line);
    HL->SetHTMLText(list);
    HL->PaintNow();
}

int TLiveImportFrm::CaptionHeight() const { return HL->height(); }

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

void TLiveImportFrm::SetLayout(TPoint imagePos, TSize clientSize) {
    Image1->move(imagePos.X, imagePos.Y);
    const int labelHeight = HL->height();
    setFixedSize(clientSize.Width, clientSize.Height);
    PC->setGeometry(0, 0, clientSize.Width, clientSize.Height);
    HL->setGeometry(0, 0, clientSize.Width, labelHeight);
}

void TLiveImportFrm::DefineProperties(TPropertyObject& form) {
    DefineWidgetProperties(form, *this);
    DefineWidgetProperties(form.AddComponent("TPanel", "PC"), *PC);
}

TFormBounds TLiveImportFrm::WindowBounds() const { return FormBoundsOf(*this); }

void TLiveImportFrm::MoveWindow(TPoint outerTopLeft) {
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

bool TLiveImportFrm::IsActiveWindow() const { return isActiveWindow(); }

void TLiveImportFrm::PostLoadCard(bool large) { qm::PostLoadCard(*this, large); }

void TLiveImportFrm::Close() { close(); }

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

}  // namespace qm
