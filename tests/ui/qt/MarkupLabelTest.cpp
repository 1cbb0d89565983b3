// TMarkupLabel on the Qt surface (offscreen platform): the dialog's caption
// as drawn, Qt's events reaching the label's behaviour (a click, the
// buttons, keys and focus, the cursor, the tooltip, resizing), frames and
// pictures. What the label decides is tested without Qt in
// MarkupLabelBehaviourTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QHelpEvent>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include "UMarkupLabel.h"

namespace qm {
namespace {

struct TDrawn {
    TFontSpec Font;
    TPoint At;
    std::string Text;
    TColor Color;
};

// The Qt surface, also noting every text it draws.
class TRecordingSurface : public TQtSurface {
public:
    TRecordingSurface(QPainter* painter, const QPaintDevice* device, QPalette palette, TImageSources sources,
                      std::vector<TDrawn>& log)
        : TQtSurface(painter, device, std::move(palette), sources), FLog(log) {}
    void DrawText(const TFontSpec& font, TPoint at, std::string_view text, TColor color,
                  const std::vector<std::pair<std::size_t, std::size_t>>& underlined) override {
        FLog.push_back({font, at, std::string(text), color});
        TQtSurface::DrawText(font, at, text, color, underlined);
    }

private:
    std::vector<TDrawn>& FLog;
};

class TRecordingLabel : public TMarkupLabel {
public:
    using TMarkupLabel::TMarkupLabel;
    std::vector<TDrawn> Drawn;
    const TDrawn* Find(std::string_view text) const {
        for (const auto& d : Drawn)
            if (d.Text == text) return &d;
        return nullptr;
    }

protected:
    std::unique_ptr<TQtSurface> CreateSurface(QPainter* painter) override {
        if (painter) Drawn.clear();
        return std::make_unique<TRecordingSurface>(painter, this, palette(),
                                                   TImageSources{Images(), PictureStore(), &PictureCache()}, Drawn);
    }
};

const std::string kGroesser = "Gr\xC3\xB6\xC3\x9F" "er";

QFont DialogFont(bool bold) {
    QFont font(QFontDatabase::hasFamily("Tahoma") ? QStringLiteral("Tahoma") : QStringLiteral("DejaVu Sans"), 9);
    font.setBold(bold);
    return font;
}

// The dialog's instance of the label with its two caption lines.
struct Caption {
    QWidget Form;
    TRecordingLabel HL{&Form};
    std::vector<std::string> Clicks;

    Caption() {
        Form.resize(244, 205);
        HL.setGeometry(0, 0, 244, 29);
        HL.SetAlign(TControlAlign::alTop);
        HL.SetBorderWidth(6);
        HL.setFont(DialogFont(true));
        HL.SetHTMLText(TStringList{"</b>QRCode:<b> Anna Berg", " | <A href=\"x\">" + kGroesser + "</A>"});
        HL.OnAnchorClick = [this](TMarkupLabel&, const std::string& target) { Clicks.push_back(target); };
        Form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&Form));
        HL.PaintNow();
    }

    QPoint CentreOf(const std::string& text) const {
        const TDrawn* d = HL.Find(text);
        EXPECT_NE(d, nullptr) << text;
        if (!d) return {};
        QFontMetrics fm(ToQFont(d->Font), &HL);
        return {d->At.X + fm.horizontalAdvance(QString::fromStdString(text)) / 2, d->At.Y + fm.lineSpacing() / 2};
    }
};

bool IsBlue(QRgb p) { return qBlue(p) > 150 && qRed(p) < 100 && qGreen(p) < 100; }

TEST(MarkupLabel, DialogCaptionDrawsTheLinkBlueAndAPressRaisesAnchorClick) {
    Caption c;
    const TDrawn* code = c.HL.Find("QRCode:");
    const TDrawn* link = c.HL.Find(kGroesser);
    ASSERT_TRUE(code && link);
    EXPECT_EQ(c.HL.TextRect(), (TRect{6, 6, 238, 23}));  // Qt's client size reaches the layout
    EXPECT_EQ(code->At, (TPoint{6, 6}));

    // On screen: blue pixels (text and underline) only where the link is.
    QImage img = c.HL.grab().toImage();
    QFontMetrics bold(DialogFont(true), &c.HL);
    const int linkLeft = link->At.X;
    const int linkRight = linkLeft + bold.horizontalAdvance(QString::fromStdString(kGroesser));
    int blueInLink = 0, blueElsewhere = 0, underlineRow = -1;
    for (int y = 0; y < img.height(); ++y) {
        int rowBlue = 0;
        for (int x = 0; x < img.width(); ++x) {
            if (!IsBlue(img.pixel(x, y))) continue;
            (x >= linkLeft && x < linkRight ? blueInLink : blueElsewhere)++;
            ++rowBlue;
        }
        if (rowBlue > (linkRight - linkLeft) * 3 / 4) underlineRow = y;
    }
    EXPECT_GT(blueInLink, 20);
    EXPECT_EQ(blueElsewhere, 0);
    EXPECT_GT(underlineRow, 6 + bold.ascent() - 2);

    // Qt's buttons reach the label as its own: only the left one clicks.
    QTest::mouseClick(&c.HL, Qt::RightButton, {}, c.CentreOf(kGroesser));
    QTest::mouseClick(&c.HL, Qt::MiddleButton, {}, c.CentreOf(kGroesser));
    EXPECT_TRUE(c.Clicks.empty());
    QTest::mouseClick(&c.HL, Qt::LeftButton, {}, c.CentreOf(kGroesser));
    EXPECT_EQ(c.Clicks, (std::vector<std::string>{"x"}));
}

TEST(MarkupLabel, TabEnterAndSpaceReachTheAnchors) {
    Caption c;
    c.HL.SetHTMLText(std::string_view("<A href=\"a\">one</A> and <A href=\"b\">two</A>"));
    EXPECT_EQ(c.HL.focusPolicy(), Qt::TabFocus);
    c.Form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&c.Form));
    c.HL.clearFocus();
    c.HL.setFocus(Qt::BacktabFocusReason);
    ASSERT_TRUE(c.HL.hasFocus());
    EXPECT_EQ(c.HL.FocusedAnchor(), 2);
    QTest::keyClick(&c.HL, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(c.HL.FocusedAnchor(), 1);
    QTest::keyClick(&c.HL, Qt::Key_Return);
    QTest::keyClick(&c.HL, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(&c.HL, Qt::Key_Space);
    QTest::keyClick(&c.HL, Qt::Key_Return, Qt::ControlModifier);  // not plain: nothing
    EXPECT_EQ(c.Clicks, (std::vector<std::string>{"a", "a", "a"}));
    // No anchor left: the label takes no focus by Tab.
    c.HL.SetHTMLText(std::string_view("plain"));
    EXPECT_EQ(c.HL.focusPolicy(), Qt::NoFocus);
}

// What AutoSizing needs of Qt: a hidden label still lays out and is resized.
TEST(MarkupLabel, AutoSizingResizesTheHiddenWidget) {
    TMarkupLabel l;
    l.resize(200, 10);
    l.SetAutoSizing(true);
    l.SetHTMLText(std::string_view("line"));
    l.PaintNow();
    EXPECT_EQ(l.size(), QSize(200, QFontMetrics(l.font(), &l).lineSpacing() + TMarkupLabel::kAutoSizeMargin));
}

// Qt's mouse moves reach the label: the hand cursor over the link, the
// hover colour in the next paint, the arrow again elsewhere.
TEST(MarkupLabel, HoverCursorAndColour) {
    Caption c;
    c.HL.SetHover(true);
    c.HL.SetHoverFontColor(clRed);
    const QPoint link = c.CentreOf(kGroesser), plain = c.CentreOf("Anna ");
    QTest::mouseMove(&c.HL, link);
    QApplication::processEvents();
    EXPECT_EQ(c.HL.cursor().shape(), Qt::PointingHandCursor);
    c.HL.PaintNow();
    ASSERT_NE(c.HL.Find(kGroesser), nullptr);
    EXPECT_EQ(c.HL.Find(kGroesser)->Color, clRed);
    QTest::mouseMove(&c.HL, plain);
    QApplication::processEvents();
    EXPECT_EQ(c.HL.cursor().shape(), Qt::ArrowCursor);
}

TEST(MarkupLabel, TheHintShowsAsATooltip) {
    Caption c;
    c.HL.SetAnchorHint(true);
    const QPoint link = c.CentreOf(kGroesser);
    QHelpEvent over(QEvent::ToolTip, link, c.HL.mapToGlobal(link));
    QApplication::sendEvent(&c.HL, &over);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("x"));
    QToolTip::hideText();
}

TEST(MarkupLabel, PicturesFromTheImageListStoreAndLocalAddresses) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString path = dir.filePath("red.png");
    ASSERT_TRUE(red.save(path));
    QImage green(8, 8, QImage::Format_RGB32);
    green.fill(Qt::green);

    TImageList list(8, 8);
    list.Add(QPixmap::fromImage(green));
    TPictureStore store;
    store.Add("Logo", *LoadPictureFile(path));

    TMarkupLabel l;
    l.resize(200, 40);
    EXPECT_EQ(l.Images(), nullptr);
    l.SetImages(&list);
    l.SetPictureStore(&store);
    const std::string address = QUrl::fromLocalFile(path).toString().toStdString();
    l.SetHTMLText("<IMG SRC=\"IDX:0\"><IMG SRC=\"logo\"><IMG SRC=\"" + address + "\"><IMG SRC=\"IDX:9\">");
    l.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&l));
    l.PaintNow();
    QApplication::processEvents();  // the address is loaded outside painting
    EXPECT_EQ(l.PictureCache().Count(), 1u);
    l.PaintNow();
    QImage shot = l.grab().toImage();
    const int ppiScaled = 8 * l.logicalDpiY() / 96;
    // The pictures stand on the baseline of a line that is "gh" high.
    const int y = QFontMetrics(l.font(), &l).lineSpacing() - 2;
    EXPECT_EQ(shot.pixel(2, y), QColor(Qt::green).rgb());
    EXPECT_EQ(shot.pixel(ppiScaled + 2, y), QColor(Qt::red).rgb());
    EXPECT_EQ(shot.pixel(ppiScaled + 10, y), QColor(Qt::red).rgb());
    EXPECT_NE(shot.pixel(ppiScaled + 18, y), QColor(Qt::red).rgb());
    // A new text clears the cache.
    l.SetHTMLText(std::string_view("text"));
    EXPECT_EQ(l.PictureCache().Count(), 0u);
}

TEST(MarkupLabel, ImageListChangesRepaintAndItsDestructionIsNoticed) {
    TRecordingLabel l;
    l.resize(100, 30);
    l.SetHTMLText(std::string_view("a"));
    l.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&l));
    auto list = std::make_unique<TImageList>(8, 8);
    l.SetImages(list.get());
    QApplication::processEvents();
    l.Drawn.clear();
    list->Add(QPixmap(8, 8));
    QApplication::processEvents();
    EXPECT_NE(l.Find("a"), nullptr);  // repainted
    list.reset();
    EXPECT_EQ(l.Images(), nullptr);
}

TEST(MarkupLabel, RemoteAddressesDrawNothing) {
    EXPECT_FALSE(LoadPictureFromAddress("https://example.org/a.png"));
    EXPECT_FALSE(LoadPictureFromAddress("file:///no/such/file.png"));
}

TEST(MarkupLabel, FrameBevelsAndBorder) {
    TMarkupLabel l;
    l.resize(60, 40);
    l.SetColor(clWhite);
    l.SetBorderWidth(3);
    l.SetBorderStyle(TLabelBorderStyle::bsSingle);
    l.SetBevelOuter(TBevelCut::bvRaised);
    l.SetBevelWidth(2);
    l.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&l));
    QImage shot = l.grab().toImage();
    EXPECT_EQ(shot.pixel(0, 0), l.palette().color(QPalette::Light).rgb());
    EXPECT_EQ(shot.pixel(59, 39), l.palette().color(QPalette::Dark).rgb());
    EXPECT_EQ(shot.pixel(5, 20), QColor(Qt::black).rgb());
    EXPECT_EQ(shot.pixel(3, 20), QColor(Qt::white).rgb());
    EXPECT_EQ(shot.pixel(30, 20), QColor(Qt::white).rgb());
}

TEST(MarkupLabel, SystemColoursComeFromThePalette) {
    QPalette p;
    EXPECT_EQ(ToQColor(SystemColor(kColorHighlight), p), p.color(QPalette::Highlight));
    EXPECT_EQ(ToQColor(SystemColor(kColorBtnFace), p), p.color(QPalette::Button));
    EXPECT_EQ(ToQColor(clRed, p), QColor(255, 0, 0));
    EXPECT_EQ(ToQColor(ColorRGB(1, 2, 3), p), QColor(1, 2, 3));
    const TFontSpec font = FontSpecFromQFont(DialogFont(true), clBlue, 96);
    EXPECT_EQ(font.Size, 9);
    EXPECT_TRUE(font.Bold);
    QFont pixels("DejaVu Sans");
    pixels.setPixelSize(12);
    EXPECT_EQ(FontSpecFromQFont(pixels, clBlack, 96).Size, 9);
}

TEST(MarkupLabel, SuppressedPaintingDrawsNoText) {
    Caption c;
    c.HL.BeginUpdate();
    c.HL.Drawn.clear();
    c.HL.repaint();
    EXPECT_TRUE(c.HL.Drawn.empty());
    c.HL.EndUpdate();
    EXPECT_NE(c.HL.Find("QRCode:"), nullptr);
}

}  // namespace
}  // namespace qm
