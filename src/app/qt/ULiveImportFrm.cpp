#include "ULiveImportFrm.h"

#include <QFontDatabase>
#include <QIcon>
#include <QImage>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <cctype>
#include <cmath>

#include "UAppShell.h"
#include "UCardBuilder.h"
#include "UFileDragSource.h"
#include "UFileUtil.h"
#include "UHostRequest.h"
#include "ULoadCardEvent.h"
#include "UMarkupLabel.h"
#include "UQtDragDetect.h"
#include "UQRAsPNG.h"
#include "UQREncoder.h"
#include "UQtScreens.h"
#include "UScreenSetup.h"
#include "UShellJobs.h"
#include "UStringUtil.h"

namespace qm {

namespace {

constexpr QPoint kDesignPosition{233, 303};
constexpr QSize kDesignClientSize{244, 205};
constexpr int kDesignLabelHeight = 29;
constexpr int kImageLeft = 10;
constexpr int kImageGapBelowLabel = 5;
constexpr int kClientMargin = 20;
constexpr int kSmallImageMM = 120;
constexpr int kLargeImageMM = 200;

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

// A path the host wrote in its own notation ("D:\Daten") keeps that
// notation; others get the platform's separator.
std::string WithTrailingSeparator(std::string_view path) {
    if (path.empty() || path.back() == '/' || path.back() == '\\') return std::string(path);
    const bool windowsPath = path.find('\\') != std::string_view::npos || path.back() == ':' ||
                             (path.size() == 1 && std::isalpha(static_cast<unsigned char>(path[0])));
    return windowsPath ? AddTrailingBackslash(path) : IncludeTrailingPathDelimiter(path);
}

}  // namespace

TLiveImportFrm::TLiveImportFrm(TShell* shell, QWidget* parent)
    : QWidget(parent),
      FShell(shell),
      PC(new QWidget(this)),
      HL(new TMarkupLabel(PC)),
      Image1(new QLabel(PC)),
      FileDragSource1(std::make_unique<TFileDragSource>(*Image1)) {
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
    HL->OnAnchorClick = [this](TMarkupLabel&, const std::string&) { HLAnchorClick(); };
    HL->SetLinkOpener([this](const std::string& target) {
        if (FShell != nullptr) FShell->OpenFileWithShell("open", target);
    });

    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->move(16, 32);
    Image1->installEventFilter(this);

    FileDragSource1->ShowImage = true;
    FileDragSource1->OnGetDragImage = [this](TFileDragSource& source, QDrag& drag, bool& handled) {
        SetDragImageFromGraphic(source, Image1->pixmap(), drag, handled);
    };

    // A failure while setting up is shown and the dialog still opens, with
    // the steps before the failure done.
    RunGuarded([this] { FormCreate(); });
}

TLiveImportFrm::~TLiveImportFrm() { FormDestroy(); }

void TLiveImportFrm::FormCreate() {
    FileDragSource1->SetDragTypes(dtCopy);
    TPropertyObject form("TLiveImportFrm", "LiveImportFrm", true);
    DefineWidgetProperties(form, *this);
    DefineWidgetProperties(form.AddComponent("TPanel", "PC"), *PC);
    ApplyScreenSetup(form, true);
    DiscoverHostServer();
    PlaceNearHost(ReadIPCValueSync("CORVANTAMETRICS"));
}

void TLiveImportFrm::FormDestroy() noexcept {
    if (!FPngFileName.empty() && FileExistsEx(FPngFileName)) DeleteFileIfExists(FPngFileName);
    if (!FVcfFileName.empty() && FileExistsEx(FVcfFileName)) DeleteFileIfExists(FVcfFileName);
}

void TLiveImportFrm::PlaceNearHost(std::string_view metrics) {
    PlaceFromHostMetrics(*this, metrics);
    const QPoint corner = frameGeometry().topLeft();
    KeepLeftOnMonitor(*this, TPoint{corner.x(), corner.y()});
}

int TLiveImportFrm::PixelsPerInch() const {
    if (FPixelsPerInchOverride > 0) return FPixelsPerInchOverride;
    const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (s == nullptr) return kDefaultPixelsPerInch;
    const int ppi = static_cast<int>(std::lround(s->logicalDotsPerInch() * s->devicePixelRatio()));
    return ppi > 0 ? ppi : kDefaultPixelsPerInch;
}

bool TLiveImportFrm::event(QEvent* event) {
    if (event->type() == TLoadCardEvent::kType) {
        const bool large = static_cast<TLoadCardEvent*>(event)->Large();
        const bool ok = RunGuarded([this, large] { WMLoadCard(large); });
        emit LoadFinished(ok);
        return true;
    }
    return QWidget::event(event);
}

void TLiveImportFrm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TLiveImportFrm::FormShow() { PostLoadCard(*this, false); }

std::string TLiveImportFrm::WindowCaption(std::string_view dbPath) const {
    return FAddressRecord.DisplayText + " in " + WithTrailingSeparator(dbPath);
}

void TLiveImportFrm::WMLoadCard(bool large) {
    const std::string file = ReadIPCValueSync("GETJSONADRESS");
    try {
        LoadHostRecord(FAddressRecord, file);
    } catch (...) {
        // The host's file is consumed whether or not it loaded.
        if (!file.empty()) DeleteFileIfExists(file);
        throw;
    }
    if (!file.empty()) DeleteFileIfExists(file);

    FAddressRecord.LoadedDocument->SaveToFile(GetWorkingFolder() + "testcase.json", true);
    const std::string dbPath = ReadIPCValueSync("DBPATH");
    setWindowTitle(ToQString(WindowCaption(dbPath)));
    BuildCard(large ? kLargeImageMM : kSmallImageMM);
}

void TLiveImportFrm::BuildCard(int sizeMM) {
    const TCardFields fields = ReadCardFields(FAddressRecord);
    const TCardText card = ComposeCard(fields, std::chrono::system_clock::now());

    FVcfFileName = GetWorkingFolder() + card.BaseName + ".vcf";
    FPngFileName = GetWorkingFolder() + card.BaseName + ".png";

    TStringList lines;
    for (const auto& line : CaptionLines(fields, sizeMM)) lines.Add(line);
    HL->SetHTMLText(lines);
    HL->PaintNow();

    TCardSettings settings;
    settings.SizeMM = sizeMM;
    settings.PixelsPerInch = PixelsPerInch();
    WriteCardPng(card.VCardText, FPngFileName, settings);
    WriteCardVcf(card.VCardText, FVcfFileName);

    QPixmap picture;
    if (!picture.load(ToQString(FPngFileName), "PNG")) {
        throw EInOutError("Das Bild \"" + FPngFileName + "\" kann nicht geladen werden", 0);
    }
    // The image is shown at its physical size: on a scaled screen its pixels
    // are device pixels.
    const QScreen* s = screen();
    if (s != nullptr && s->devicePixelRatio() > 0) picture.setDevicePixelRatio(s->devicePixelRatio());
    Image1->setPixmap(picture);
    Image1->setFixedSize(picture.deviceIndependentSize().toSize());
    LayoutAroundImage();
    KeepOnMonitor(*this);
}

void TLiveImportFrm::LayoutAroundImage() {
    const int labelHeight = HL->height();
    Image1->move(kImageLeft, labelHeight + kImageGapBelowLabel);
    const QSize client(Image1->width() + kClientMargin, labelHeight + Image1->height() + kClientMargin);
    setFixedSize(client);
    PC->setGeometry(0, 0, client.width(), client.height());
    HL->setGeometry(0, 0, client.width(), labelHeight);
}

void TLiveImportFrm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            close();
            return;
        case Qt::Key_F5:
            PostLoadCard(*this, false);
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void TLiveImportFrm::HLAnchorClick() { PostLoadCard(*this, true); }

void TLiveImportFrm::Image1DblClick() {
    // Before the first card there is nothing to open.
    if (FShell != nullptr && !FVcfFileName.empty()) FShell->OpenFileWithShell("open", FVcfFileName);
}

void TLiveImportFrm::Image1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos) {
    if (FPngFileName.empty() || (button != Qt::LeftButton && button != Qt::RightButton)) return;
    if (!DetectDragStart(PC, Image1->pos() + pos)) return;
    const std::string& file = shift.testFlag(Qt::ControlModifier) ? FPngFileName : FVcfFileName;
    FileDragSource1->SetFiles({ToQString(file)});
    FileDragSource1->StartDrag();
}

bool TLiveImportFrm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1) {
        if (event->type() == QEvent::MouseButtonDblClick) {
            RunGuarded([this] { Image1DblClick(); });
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* me = static_cast<QMouseEvent*>(event);
            const Qt::MouseButton button = me->button();
            const Qt::KeyboardModifiers shift = me->modifiers();
            const QPoint pos = me->position().toPoint();
            RunGuarded([this, button, shift, pos] { Image1MouseDown(button, shift, pos); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace qm
