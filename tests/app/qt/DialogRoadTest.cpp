// The whole road of the dialog against a real quillmark-host process that
// started this test (ctest runs it as the host's child, so discovery finds
// that host through the parent process id). Run on its own, the test skips.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QWindow>
#include <QCloseEvent>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <regex>

#include "QRTestSupport.h"
#include "TestFiles.h"
#include "UFileDragSource.h"
#include "UFileUtil.h"
#include "ULiveImportFrm.h"
#include "UMarkupLabel.h"
#include "UPNGReader.h"
#include "UQtDragDetect.h"
#include "UShellJobs.h"

namespace fs = std::filesystem;

namespace {

using qm::test::ReadBytes;

// The large code on the offscreen platform's 800 x 800 screen: as large as
// its window with 4 modules of margin fits, 183 mm (184 mm would be 804
// rows of client area).
constexpr int kLargeEdge = 692;

std::string MaskRevision(const std::string& vcard) {
    return std::regex_replace(vcard, std::regex("\nREV:[0-9]{8}T[0-9]{6}Z\n"),
                              "\nREV:<time stamp>\n");
}

class TRecordingOpener : public qm::IShellOpener {
public:
    bool Open(const std::string& verb, const std::string& target, const std::string&) override {
        std::lock_guard lock(Lock);
        Requests.push_back(verb + " " + target);
        return true;
    }
    bool ShowInFolder(const std::string& file, const std::string&) override {
        std::lock_guard lock(Lock);
        Requests.push_back("show " + file);
        return true;
    }
    std::mutex Lock;
    std::vector<std::string> Requests;
};

// The record the host hands out, rewritten by the test between loads.
void WriteRecord(const std::string& path, const std::string& firstName) {
    std::string text = ReadBytes(QM_SOURCE_DIR "/samples/anna-berg.json");
    text = std::regex_replace(text, std::regex("\"FirstName\": \"Anna\""), "\"FirstName\": \"" + firstName + "\"");
    qm::test::WriteBytes(path, text);
}

class DialogRoad : public ::testing::Test {
protected:
    void SetUp() override {
        const char* record = std::getenv("QM_ROAD_RECORD");
        if (record == nullptr) GTEST_SKIP() << "runs as the child of quillmark-host (see tests/app/CMakeLists.txt)";
        RecordPath = record;
        WriteRecord(RecordPath, "Anna");
        Opener = std::make_shared<TRecordingOpener>();
        Shell = std::make_unique<qm::TShell>(Opener);
    }

    // Waits for the next finished load; false after 15 s.
    bool WaitForLoad(qm::TLiveImportFrm& form) {
        bool done = false;
        bool ok = false;
        const auto c = QObject::connect(&form, &qm::TLiveImportFrm::LoadFinished, [&](bool result) {
            done = true;
            ok = result;
        });
        const bool finished = QTest::qWaitFor([&] { return done; }, 15000);
        QObject::disconnect(c);
        return finished && ok;
    }

    static QPoint LinkPoint(qm::TMarkupLabel& label) {
        for (int y = 0; y < label.height(); ++y) {
            for (int x = 0; x < label.width(); ++x) {
                if (label.GetAnchorAt(x, y) == "x") return {x, y};
            }
        }
        return {-1, -1};
    }

    std::string RecordPath;
    std::shared_ptr<TRecordingOpener> Opener;
    std::unique_ptr<qm::TShell> Shell;
};

TEST_F(DialogRoad, FromHostRecordToCardFilesAndBack) {
    const std::string folder = qm::GetWorkingFolder();
    auto form = std::make_unique<qm::TLiveImportFrm>(Shell.get());
    form->SetPixelsPerInchOverride(96);
    // "100,200,300,400": 50 pixels right of and below the host's corner.
    EXPECT_EQ(form->pos(), QPoint(150, 250));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quillmark"));

    form->show();
    ASSERT_TRUE(WaitForLoad(*form));

    EXPECT_EQ(form->windowTitle().toStdString(),
              "Angebot AN-2026-0815 Anna Berg, K\xC3\xB6nigsallee 12, 40212 D\xC3\xBCsseldorf in D:\\Daten\\");
    EXPECT_EQ(form->Label().HTMLText().Items,
              (std::vector<std::string>{"</b>QRCode:<b> Anna Berg Gr\xC3\xBCnwald &amp; S\xC3\xB6hne GmbH",
                                        " | <A href=\"x\">Gr\xC3\xB6\xC3\x9F" "er</A>"}));
    EXPECT_EQ(form->Image().size(), QSize(454, 454));
    EXPECT_EQ(form->Image().pos(), QPoint(24, 53));
    EXPECT_EQ(form->size(), QSize(502, 531));

    const std::string base = "Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH";
    EXPECT_EQ(form->VcfFileName(), folder + base + ".vcf");
    EXPECT_EQ(form->PngFileName(), folder + base + ".png");
    const std::string vcard = ReadBytes(form->VcfFileName());
    EXPECT_EQ(MaskRevision(vcard), ReadBytes(QM_SOURCE_DIR "/tests/app/data/anna-berg.vcf"));

    // The image a phone sees holds exactly the card's text.
    const qm::TRGBImage image = qm::ReadPNGRGB(ReadBytes(form->PngFileName()));
    EXPECT_EQ(image.Width, 454);
    const qm::test::TDecoded decoded = qm::test::DecodeImage(image, false, 16);
    ASSERT_TRUE(decoded.Valid);
    EXPECT_EQ(decoded.Bytes, vcard);
    EXPECT_EQ(decoded.ECLevel, "M");

    // The focus starts on the code and comes back to it by Tab (the style
    // frames a focus the keyboard moved); the frame is drawn in the quiet
    // zone around the code, which stays the picture pixel for pixel.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ASSERT_TRUE(form->Image().hasFocus());
    QTest::keyClick(form.get(), Qt::Key_Tab);
    QTest::keyClick(form.get(), Qt::Key_Tab);
    ASSERT_TRUE(form->Image().hasFocus());
    const QImage shot = form->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect code(form->Image().mapTo(form.get(), QPoint(0, 0)), form->Image().size());
    EXPECT_EQ(shot.copy(code), QImage(QString::fromStdString(form->PngFileName())).convertToFormat(QImage::Format_RGB32));
    int framePixels = 0;
    for (int x = code.left() - 3; x <= code.right() + 3; ++x) framePixels += shot.pixel(x, code.top() - 3) != 0xFFFFFFFFu;
    EXPECT_GT(framePixels, 0);

    // The formatted record and its copy; the host's address file is consumed.
    EXPECT_TRUE(fs::exists(folder + "testcase.json"));
    EXPECT_EQ(ReadBytes(folder + "testcase.json"), ReadBytes(folder + "testcase.~json"));
    EXPECT_NE(ReadBytes(folder + "testcase.json").find("\"FirstName\":\"Anna\""), std::string::npos);
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".json") {
            EXPECT_EQ(name, "testcase.json");
        }
    }

    // The link asks for the large image and disappears with it.
    const QPoint link = LinkPoint(form->Label());
    ASSERT_GE(link.x(), 0) << "no link drawn";
    QTest::mouseClick(&form->Label(), Qt::LeftButton, {}, link);
    ASSERT_TRUE(WaitForLoad(*form));
    EXPECT_EQ(form->Image().size(), QSize(kLargeEdge, kLargeEdge));
    EXPECT_EQ(form->Label().HTMLText().Count(), 1u);
    EXPECT_EQ(LinkPoint(form->Label()).x(), -1);

    // F5: back to the small image, with the link.
    QTest::keyClick(form.get(), Qt::Key_F5);
    ASSERT_TRUE(WaitForLoad(*form));
    EXPECT_EQ(form->Image().size(), QSize(454, 454));
    EXPECT_EQ(form->Label().HTMLText().Count(), 2u);

    // A double click opens the card with the desktop's program.
    QTest::mouseDClick(&form->Image(), Qt::LeftButton, {}, QPoint(100, 100));
    ASSERT_TRUE(Shell->Pool().WaitForDone(5000));
    {
        std::lock_guard lock(Opener->Lock);
        EXPECT_EQ(Opener->Requests, std::vector<std::string>{"open " + form->VcfFileName()});
    }

    // Ctrl at the press drags the image file.
    QStringList dragged;
    form->DragSource().SetDragRunner([&](QDrag&, Qt::DropActions allowed) {
        dragged = form->DragSource().Files();
        EXPECT_EQ(allowed, Qt::CopyAction);
        return Qt::CopyAction;
    });
    QTimer::singleShot(300, [&] { QTest::mouseMove(&form->Image(), QPoint(160, 160)); });
    bool released = false;
    QTimer::singleShot(2000, [&] {
        QTest::mouseRelease(&form->Image(), Qt::LeftButton, {}, QPoint(160, 160));
        released = true;
    });
    QTest::mousePress(&form->Image(), Qt::LeftButton, Qt::ControlModifier, QPoint(100, 100));
    EXPECT_EQ(dragged, QStringList{QString::fromStdString(form->PngFileName())});
    ASSERT_TRUE(QTest::qWaitFor([&] { return released; }, 10000));

    // The host moves to another record: a new pair of files; closing deletes
    // only the current pair.
    const std::string firstVcf = form->VcfFileName();
    const std::string firstPng = form->PngFileName();
    WriteRecord(RecordPath, "Berta");
    QTest::keyClick(form.get(), Qt::Key_F5);
    ASSERT_TRUE(WaitForLoad(*form));
    const std::string secondVcf = form->VcfFileName();
    const std::string secondPng = form->PngFileName();
    EXPECT_NE(secondVcf, firstVcf);
    EXPECT_TRUE(fs::exists(secondVcf));
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    form.reset();
    EXPECT_FALSE(fs::exists(secondVcf));
    EXPECT_FALSE(fs::exists(secondPng));
    EXPECT_TRUE(fs::exists(firstVcf));
    EXPECT_TRUE(fs::exists(firstPng));
}

qm::TRGBImage ToRGB(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    qm::TRGBImage out(rgb.width(), rgb.height());
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = rgb.constScanLine(y);
        std::copy(line, line + 3 * rgb.width(), out.Pixels.begin() + std::ptrdiff_t{3} * rgb.width() * y);
    }
    return out;
}

// Ctrl+C, the keys for the sizes, Ctrl+O and every entry of the image's
// context menu, with the card's names announced to assistive technology.
// As the child of a host slow to answer (the SlowHost run: 300 ms before
// each 16 bytes of a reply), a load waits for it seconds long, off the
// window's thread: the window's event loop goes on meanwhile (a timer keeps
// firing, as the desktop's pings are answered), and a close from the
// window manager during the second load (the large code) ends
// the dialog at once: the window goes and the first load's pair with it
// while the load still waits, and the load writes nothing when it ends.
TEST_F(DialogRoad, SlowHostTheWindowAnswersWhileTheLoadWaits) {
    if (std::getenv("QM_ROAD_SLOW") == nullptr) GTEST_SKIP() << "runs as the child of a slow host";
    auto form = std::make_unique<qm::TLiveImportFrm>(Shell.get());
    int ticks = 0;
    int loads = 0;
    int ticksWhenLoaded = -1;
    int ticksWhenEnded = -1;
    int closeAt = -1;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (ticks == closeAt - 2) QTest::keyClick(form.get(), Qt::Key_Plus);
        if (ticks == closeAt) {
            QCloseEvent close;
            QApplication::sendEvent(form.get(), &close);  // the window manager's close button
        }
    });
    std::string vcf, png;
    QObject::connect(form.get(), &qm::TLiveImportFrm::LoadFinished, [&] {
        if (++loads > 1) return;
        ticksWhenLoaded = ticks;
        vcf = form->VcfFileName();
        png = form->PngFileName();
        closeAt = ticks + 3;
    });
    bool shownAtEnd = true, pairAtEnd = true;
    int loadsAtEnd = -1;
    form->EndProcessInLoad = [&] {
        ticksWhenEnded = ticks;
        shownAtEnd = form->isVisible();
        pairAtEnd = fs::exists(vcf) || fs::exists(png);
        loadsAtEnd = loads;
    };
    timer.start(100);
    form->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return loads == 2; }, 30000));
    EXPECT_GE(ticksWhenLoaded, 10);  // the load took over a second, the loop ran on
    ASSERT_FALSE(vcf.empty());
    EXPECT_EQ(ticksWhenEnded, closeAt) << "the close waited for the load";
    EXPECT_EQ(loadsAtEnd, 1);  // the second load still waited
    EXPECT_FALSE(shownAtEnd);
    EXPECT_FALSE(pairAtEnd);
    EXPECT_TRUE(form->isHidden());
    // The second load came to its end and wrote no pair (of the same name).
    EXPECT_FALSE(fs::exists(vcf) || fs::exists(png));
}

TEST_F(DialogRoad, CopyKeysAndTheContextMenu) {
    // The settings are this test's own (see CMakeLists.txt): 4.0 to begin with.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    ASSERT_NE(config, nullptr);
    const std::string conf = std::string(config) + "/Quillmark/quillmark.conf";
    fs::remove(conf);
    auto form = std::make_unique<qm::TLiveImportFrm>(Shell.get());
    form->SetPixelsPerInchOverride(96);
    QClipboard& clipboard = *QGuiApplication::clipboard();
    clipboard.clear();
    form->show();
    // Before the first card there is nothing to copy.
    QTest::keyClick(form.get(), Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(WaitForLoad(*form));
    EXPECT_TRUE(clipboard.mimeData() == nullptr || clipboard.mimeData()->formats().isEmpty());

    EXPECT_EQ(form->Image().accessibleName().toStdString(),
              "QR-Code der Visitenkarte von Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH");
    EXPECT_EQ(form->Label().accessibleName().toStdString(),
              "QRCode: Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH | Gr\xC3\xB6\xC3\x9F" "er");

    // Each load writes the card anew, with its own revision time.
    auto expectCardOnClipboard = [&] {
        const std::string vcard = ReadBytes(form->VcfFileName());
        const QMimeData* data = clipboard.mimeData();
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->urls(), QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(form->VcfFileName()))});
        EXPECT_EQ(data->data(QStringLiteral("text/vcard")).toStdString(), vcard);
        EXPECT_EQ(data->text().toStdString(), vcard);
        EXPECT_EQ(data->data(QStringLiteral("image/png")).toStdString(), ReadBytes(form->PngFileName()));
        const qm::test::TDecoded decoded = qm::test::DecodeImage(ToRGB(qvariant_cast<QImage>(data->imageData())), false, 16);
        ASSERT_TRUE(decoded.Valid);
        EXPECT_EQ(decoded.Bytes, vcard);
    };
    QTest::keyClick(form.get(), Qt::Key_C, Qt::ControlModifier);
    expectCardOnClipboard();

    QTest::keyClick(form.get(), Qt::Key_Plus);
    ASSERT_TRUE(WaitForLoad(*form));
    EXPECT_EQ(form->Image().size(), QSize(kLargeEdge, kLargeEdge));
    QTest::keyClick(form.get(), Qt::Key_Minus);
    ASSERT_TRUE(WaitForLoad(*form));
    EXPECT_EQ(form->Image().size(), QSize(454, 454));

    QTest::keyClick(form.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(Shell->Pool().WaitForDone(5000));
    {
        std::lock_guard lock(Opener->Lock);
        EXPECT_EQ(Opener->Requests, std::vector<std::string>{"open " + form->VcfFileName()});
        Opener->Requests.clear();
    }

    // Each right click chooses one entry by its text.
    QString choice;
    QStringList shown;
    int menus = 0;
    form->SetMenuRunner([&](QMenu& menu, QPoint) -> QAction* {
        ++menus;
        shown.clear();
        QAction* chosen = nullptr;
        for (QAction* action : menu.actions()) {
            shown << action->text() + (action->isEnabled() ? "" : " (aus)") +
                         (action->isCheckable() ? (action->isChecked() ? " [x]" : " [ ]") : "");
            if (action->text() == choice) chosen = action;
        }
        return chosen;
    });
    auto rightClick = [&](const QString& entry) {
        choice = entry;
        const int before = menus;
        QTimer::singleShot(50, [&] { QTest::mouseRelease(&form->Image(), Qt::RightButton, {}, QPoint(100, 100)); });
        QTest::mousePress(&form->Image(), Qt::RightButton, {}, QPoint(100, 100));
        return QTest::qWaitFor([&] { return menus > before; }, 5000);
    };

    clipboard.clear();
    ASSERT_TRUE(rightClick(QStringLiteral("Kopieren")));
    EXPECT_EQ(shown, (QStringList{QStringLiteral("\u00D6ffnen"), QStringLiteral("Kopieren"),
                                  QStringLiteral("Gr\u00F6\u00DFer"), QStringLiteral("Kleiner (aus)"),
                                  QStringLiteral("F\u00FCr \u00E4ltere Telefone (vCard 3.0) [ ]"),
                                  QStringLiteral("Im Ordner zeigen")}));
    expectCardOnClipboard();

    ASSERT_TRUE(rightClick(QStringLiteral("\u00D6ffnen")));
    ASSERT_TRUE(rightClick(QStringLiteral("Im Ordner zeigen")));
    ASSERT_TRUE(Shell->Pool().WaitForDone(5000));
    {
        std::lock_guard lock(Opener->Lock);
        EXPECT_EQ(Opener->Requests,
                  (std::vector<std::string>{"open " + form->VcfFileName(), "show " + form->VcfFileName()}));
    }

    ASSERT_TRUE(rightClick(QStringLiteral("Gr\u00F6\u00DFer")));
    ASSERT_TRUE(WaitForLoad(*form));
    EXPECT_EQ(form->Image().size(), QSize(kLargeEdge, kLargeEdge));
    ASSERT_TRUE(rightClick(QStringLiteral("Kleiner")));
    EXPECT_TRUE(shown.contains(QStringLiteral("Gr\u00F6\u00DFer (aus)")));
    ASSERT_TRUE(WaitForLoad(*form));
    EXPECT_EQ(form->Image().size(), QSize(454, 454));

    // The version switch builds the card shown again in 3.0 and remembers it
    // in the user's settings file.
    ASSERT_TRUE(rightClick(QStringLiteral("F\u00FCr \u00E4ltere Telefone (vCard 3.0)")));
    EXPECT_TRUE(ReadBytes(form->VcfFileName()).starts_with("BEGIN:VCARD\nVERSION:3.0\n"));
    EXPECT_EQ(form->Image().size(), QSize(454, 454));
    EXPECT_EQ(ReadBytes(conf), "[General]\nvCardVersion=3.0\n");
    ASSERT_TRUE(rightClick(QStringLiteral("F\u00FCr \u00E4ltere Telefone (vCard 3.0)")));
    EXPECT_TRUE(shown.contains(QStringLiteral("F\u00FCr \u00E4ltere Telefone (vCard 3.0) [x]")));
    EXPECT_TRUE(ReadBytes(form->VcfFileName()).starts_with("BEGIN:VCARD\nVERSION:4.0\n"));

    // Closed, the window leaves the card's text and picture on the
    // clipboard, but no longer the file it deletes.
    QTest::keyClick(form.get(), Qt::Key_C, Qt::ControlModifier);
    const QByteArray vcard = QByteArray::fromStdString(ReadBytes(form->VcfFileName()));
    form->close();
    const QMimeData* left = clipboard.mimeData();
    ASSERT_NE(left, nullptr);
    EXPECT_FALSE(left->hasUrls());
    EXPECT_FALSE(left->hasFormat(QStringLiteral("x-special/gnome-copied-files")));
    EXPECT_EQ(left->data(QStringLiteral("text/vcard")), vcard);
    EXPECT_EQ(left->text().toUtf8(), vcard);
    EXPECT_TRUE(left->hasImage());
}

// The dialog near the desktop's top-left corner, as with a maximised host:
// a press on the image and a one-pixel jitter is no drag, a real move is.
TEST_F(DialogRoad, AJitterNearTheScreenCornerStartsNoDrag) {
    auto form = std::make_unique<qm::TLiveImportFrm>(Shell.get());
    form->SetPixelsPerInchOverride(96);
    form->show();
    ASSERT_TRUE(WaitForLoad(*form));
    form->move(50, 50);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->pos() == QPoint(50, 50); }, 5000));

    // The detector's clock stands still unless the test moves it on, so
    // only the mouse decides.
    auto now = std::make_shared<qm::TDragTime>(qm::TDragClock::now());
    form->SetDragTimeSource([now] { return *now; });
    int drags = 0;
    form->DragSource().SetDragRunner([&](QDrag&, Qt::DropActions) {
        ++drags;
        return Qt::CopyAction;
    });
    auto pressAndMove = [&](QPoint press, QPoint to) {
        bool released = false;
        QTimer::singleShot(50, [&, to] {
            *now += std::chrono::milliseconds(300);
            QTest::mouseMove(&form->Image(), to);
        });
        QTimer::singleShot(150, [&, to] {
            QTest::mouseRelease(&form->Image(), Qt::LeftButton, {}, to);
            released = true;
        });
        QTest::mousePress(&form->Image(), Qt::LeftButton, {}, press);
        EXPECT_TRUE(QTest::qWaitFor([&] { return released; }, 10000));
    };
    pressAndMove(QPoint(210, 234), QPoint(211, 234));
    EXPECT_EQ(drags, 0);
    pressAndMove(QPoint(210, 234), QPoint(260, 284));
    EXPECT_EQ(drags, 1);
}

// The scaling of the window's own screen changes (its logical DPI, as X11
// reports a new Xft.dpi): the image is made for the new density, the card
// is kept.
TEST_F(DialogRoad, WhenItsScreensDensityChangesTheImageIsRebuiltForIt) {
    auto form = std::make_unique<qm::TLiveImportFrm>(Shell.get());
    form->SetPixelsPerInchOverride(96);
    form->show();
    ASSERT_TRUE(WaitForLoad(*form));
    const std::string vcf = ReadBytes(form->VcfFileName());
    EXPECT_EQ(qm::ReadPNGRGB(ReadBytes(form->PngFileName())).Width, 454);
    form->SetPixelsPerInchOverride(192);
    QScreen* const screen = form->screen();
    emit screen->logicalDotsPerInchChanged(screen->logicalDotsPerInch());
    EXPECT_EQ(qm::ReadPNGRGB(ReadBytes(form->PngFileName())).Width, 907);
    EXPECT_EQ(ReadBytes(form->VcfFileName()), vcf);
}

// Run with two offscreen screens of pixel ratio 1 and 2 side by side
// (tests/app/qt/two-screens.json); with one screen it skips.
TEST_F(DialogRoad, OnAScreenOfAnotherDensityTheImageIsRebuiltForIt) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2) GTEST_SKIP() << "needs the second screen of two-screens.json";
    auto form = std::make_unique<qm::TLiveImportFrm>(Shell.get());
    form->show();
    ASSERT_TRUE(WaitForLoad(*form));
    // The 120 mm code: 454 pixels at 96 pixels per inch, 907 at twice that.
    const auto edgeOn = [](const QScreen* screen) { return screen->devicePixelRatio() == 2.0 ? 907 : 454; };
    QScreen* const from = form->screen();
    QScreen* const to = from == screens[0] ? screens[1] : screens[0];
    ASSERT_NE(from->devicePixelRatio(), to->devicePixelRatio());
    const std::string vcf = ReadBytes(form->VcfFileName());
    EXPECT_EQ(qm::ReadPNGRGB(ReadBytes(form->PngFileName())).Width, edgeOn(from));

    // The window goes to the other screen: the image is made for its pixels.
    const QRect target = to->availableGeometry();
    form->move(target.topLeft() + QPoint(100, 100));
    form->windowHandle()->setScreen(to);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->screen() == to; }, 5000));
    EXPECT_EQ(qm::ReadPNGRGB(ReadBytes(form->PngFileName())).Width, edgeOn(to));
    EXPECT_EQ(ReadBytes(form->VcfFileName()), vcf);
    // Shown at its physical size: 454 layout pixels on either screen.
    EXPECT_EQ(form->Image().pixmap().devicePixelRatio(), to->devicePixelRatio());
    EXPECT_EQ(form->Image().size(), QSize(454, 454));
    EXPECT_EQ(form->size(), QSize(502, 531));
    EXPECT_TRUE(target.contains(form->frameGeometry()));
}

}  // namespace
