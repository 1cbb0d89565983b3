#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "TGate.h"
#include "TestFiles.h"
#include "UAppShell.h"
#include "ULiveImportFrm.h"
#include "ULoadCardEvent.h"
#include "UQtScreens.h"
#include "UShellJobs.h"

namespace {

struct TShownMessage {
    std::string Title;
    std::string Text;
    friend bool operator==(const TShownMessage&, const TShownMessage&) = default;
};

class TRecordingMessageBox : public qm::IMessageBox {
public:
    explicit TRecordingMessageBox(std::vector<TShownMessage>& shown) : FShown(shown) {}
    void ShowError(const std::string& title, const std::string& text) override { FShown.push_back({title, text}); }

private:
    std::vector<TShownMessage>& FShown;
};

// Installs a recording message box for one test and restores the one before.
class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override { FPrevious = qm::ReplaceMessageBox(std::make_unique<TRecordingMessageBox>(Shown)); }
    void TearDown() override { qm::ReplaceMessageBox(std::move(FPrevious)); }
    std::vector<TShownMessage> Shown;

private:
    std::unique_ptr<qm::IMessageBox> FPrevious;
};

// The dialogs of this program find no host: a private, empty temporary
// folder, and failures go to a recorder instead of a modal box.
class TNoHostEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        FFolder = std::make_unique<qm::test::TTempDirEnv>();
        qm::ReplaceMessageBox(std::make_unique<TRecordingMessageBox>(FShown));
    }
    void TearDown() override { FFolder.reset(); }

private:
    std::unique_ptr<qm::test::TTempDirEnv> FFolder;
    std::vector<TShownMessage> FShown;
};

[[maybe_unused]] ::testing::Environment* const kNoHost = ::testing::AddGlobalTestEnvironment(new TNoHostEnvironment);

TEST(MessageBoxText, AppendsAFullStopAfterCharactersSortingAfterIt) {
    EXPECT_EQ(qm::MessageBoxText("Datei fehlt"), "Datei fehlt.");
    EXPECT_EQ(qm::MessageBoxText("Fehler 42"), "Fehler 42.");
    EXPECT_EQ(qm::MessageBoxText("Größe"), "Größe.");
    EXPECT_EQ(qm::MessageBoxText("Schluss."), "Schluss.");
    EXPECT_EQ(qm::MessageBoxText("Keine Verbindung zu Corvanta (Corvanta muss gestartet sein)"),
              "Keine Verbindung zu Corvanta (Corvanta muss gestartet sein)");
    EXPECT_EQ(qm::MessageBoxText("Achtung!"), "Achtung!");
    EXPECT_EQ(qm::MessageBoxText("a-"), "a-");
    EXPECT_EQ(qm::MessageBoxText("a/"), "a/.");
    EXPECT_EQ(qm::MessageBoxText(""), "");
}

TEST_F(MessageBoxTest, AFailedEventDeliveryCountsAsHandled) {
    EXPECT_TRUE(qm::NotifyGuarded([]() -> bool { throw std::runtime_error("Keine Verbindung (x)"); }));
    EXPECT_FALSE(qm::NotifyGuarded([] { return false; }));
    EXPECT_EQ(Shown, (std::vector<TShownMessage>{{"Quillmark", "Keine Verbindung (x)"}}));
}

TEST(ShellText, RecognisesLinkTargets) {
    EXPECT_TRUE(qm::IsUrlTarget("https://example.org"));
    EXPECT_TRUE(qm::IsUrlTarget("MAILTO:a@b.de"));
    EXPECT_FALSE(qm::IsUrlTarget("/tmp/mail.vcf"));
    EXPECT_FALSE(qm::IsUrlTarget("mailto"));
}

struct TRequest {
    std::string Verb;
    std::string Target;
    std::string Parameters;
    friend bool operator==(const TRequest&, const TRequest&) = default;
};

class TRecordingOpener : public qm::IShellOpener {
public:
    bool Open(const std::string& verb, const std::string& target, const std::string& parameters) override {
        const std::lock_guard lock(Mutex);
        Requests.push_back({verb, target, parameters});
        return !Refuse;
    }
    bool ShowInFolder(const std::string& file, const std::string&) override {
        const std::lock_guard lock(Mutex);
        Requests.push_back({"show in folder", file, ""});
        return !Refuse;
    }
    bool Refuse = false;  // the desktop refuses every request
    std::mutex Mutex;
    std::vector<TRequest> Requests;
};

TEST(Shell, QueuesShowingAFileInItsFolder) {
    auto opener = std::make_shared<TRecordingOpener>();
    {
        qm::TShell shell(opener);
        shell.ShowInFolder("");
        shell.ShowInFolder("/tmp/Max Muster.vcf");
        ASSERT_TRUE(shell.Pool().WaitForDone(10000));
    }
    EXPECT_EQ(opener->Requests, (std::vector<TRequest>{{"show in folder", "/tmp/Max Muster.vcf", ""}}));
}

TEST(Shell, QueuesTheOpenRequestWithoutEnclosingQuotes) {
    auto opener = std::make_shared<TRecordingOpener>();
    {
        qm::TShell shell(opener);
        shell.OpenFileWithShell("open", "\"/tmp/Max Muster.vcf\"");
        shell.OpenFileWithShell("open", "");
        ASSERT_TRUE(shell.Pool().WaitForDone(10000));
    }
    EXPECT_EQ(opener->Requests, (std::vector<TRequest>{{"open", "/tmp/Max Muster.vcf", ""}}));
}

// The desktop found no program: the user is told, in the error box on the
// window's thread, once for each request.
TEST_F(MessageBoxTest, ARequestTheDesktopRefusedIsShownInTheErrorBox) {
    auto opener = std::make_shared<TRecordingOpener>();
    opener->Refuse = true;
    qm::TShell shell(opener);
    shell.OpenFileWithShell("open", "/tmp/Max Muster.vcf");
    shell.ShowInFolder("/tmp/Max Muster.vcf");
    ASSERT_TRUE(shell.Pool().WaitForDone(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Shown.size() == 2; }, 5000));
    const std::string reason = ": Der Desktop hat kein Programm daf\xC3\xBCr gefunden.";
    std::vector<std::string> texts{Shown[0].Text, Shown[1].Text};
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "Die Datei \"/tmp/Max Muster.vcf\" kann nicht ge\xC3\xB6" "ffnet werden" + reason,
                         "Die Datei \"/tmp/Max Muster.vcf\" kann nicht im Ordner gezeigt werden" + reason}));
    EXPECT_EQ(Shown[0].Title, "Quillmark");
}

TEST(WorkerThreadPool, RunsFiveJobsAtOnceNeverASixthAndSurvivesFailingJobs) {
    qm::TWorkerThreadPool pool;
    EXPECT_EQ(pool.MaxThreadCount(), qm::kShellWorkerThreads);
    constexpr int kJobs = qm::kShellWorkerThreads + 2;
    qm::test::TGate gate;
    std::atomic<int> done{0};
    for (int i = 0; i < kJobs; ++i)
        pool.Queue([&, i] {
            gate.Enter();
            ++done;
            if (i % 3 == 0) throw std::runtime_error("job failed");
        });
    // Five are held at the gate at once; a sixth thread would take the next
    // job at once, so a short look finds it.
    EXPECT_TRUE(gate.WaitForMoreThan(qm::kShellWorkerThreads - 1, std::chrono::seconds(20))) << gate.Entered();
    EXPECT_FALSE(gate.WaitForMoreThan(qm::kShellWorkerThreads, std::chrono::milliseconds(200)));
    gate.Open();
    ASSERT_TRUE(pool.WaitForDone(30000));
    EXPECT_EQ(done.load(), kJobs);
}

}  // namespace

// Stands in for the desktop's file opener: every "file" URL the desktop
// services hand over arrives here, held at the gate until the test opens
// it, so that a second open made meanwhile overlaps with the first.
class TFileUrlHandler : public QObject {
    Q_OBJECT
public:
    std::atomic<int> Calls{0};
    qm::test::TGate Held;
public slots:
    void open(const QUrl&) {
        Held.Enter();
        ++Calls;
    }
};

namespace {

TEST(Shell, TwoOpensAtTheSameMomentBothReachTheDesktop) {
    TFileUrlHandler handler;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &handler, "open");
    {
        qm::TShell shell;
        shell.OpenFileWithShell("open", "/tmp/Max Muster.vcf");
        ASSERT_TRUE(handler.Held.WaitForMoreThan(0, std::chrono::seconds(10)));
        shell.OpenFileWithShell("open", "/tmp/Erika Muster.vcf");
        handler.Held.Open();
        ASSERT_TRUE(shell.Pool().WaitForDone(10000));
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(handler.Calls.load(), 2);
}

// Records the load requests a receiver gets.
class TLoadRecorder : public QObject {
public:
    std::vector<bool> Loads;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == qm::TLoadCardEvent::kType) Loads.push_back(static_cast<qm::TLoadCardEvent*>(event)->Large());
        return false;
    }
    void customEvent(QEvent* event) override {
        if (event->type() == qm::TLoadCardEvent::kType) Loads.push_back(static_cast<qm::TLoadCardEvent*>(event)->Large());
    }
};

TEST(LoadCardEvent, IsPostedWithItsSizeFlagAndDeliveredLater) {
    TLoadRecorder receiver;
    qm::PostLoadCard(receiver, true);
    qm::PostLoadCard(receiver, false);
    EXPECT_TRUE(receiver.Loads.empty());
    QCoreApplication::sendPostedEvents(&receiver);
    EXPECT_EQ(receiver.Loads, (std::vector<bool>{true, false}));
}

TEST(LiveImportFrm, ShowingPostsOneSmallLoadAndF5PostsAnother) {
    qm::TLiveImportFrm form;
    TLoadRecorder recorder;
    form.installEventFilter(&recorder);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QCoreApplication::sendPostedEvents(&form);
    EXPECT_EQ(recorder.Loads, (std::vector<bool>{false}));
    QTest::keyClick(&form, Qt::Key_F5);
    EXPECT_EQ(recorder.Loads.size(), 1u);  // posted, not sent
    QCoreApplication::sendPostedEvents(&form);
    EXPECT_EQ(recorder.Loads, (std::vector<bool>{false, false}));
    EXPECT_TRUE(form.isVisible());
}

TEST(LiveImportFrm, ItsPanelIsWhiteAfterTheScreenSetup) {
    qm::TLiveImportFrm form;
    const auto* panel = form.findChild<QWidget*>(QStringLiteral("PC"));
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->autoFillBackground());
    EXPECT_EQ(panel->palette().color(panel->backgroundRole()), QColor(Qt::white));
}

TEST(LiveImportFrm, IsPlacedFromTheHostMetricsOrCentred) {
    qm::TLiveImportFrm form;
    form.move(233, 303);
    form.PlaceNearHost(",80");
    EXPECT_EQ(form.pos(), QPoint(233, 130));
    form.PlaceNearHost("-5000,10");
    EXPECT_EQ(form.pos(), QPoint(QGuiApplication::primaryScreen()->geometry().left(), 60));
    form.PlaceNearHost("");
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(form.pos(), QPoint((work.x() + work.width()) / 2 - form.frameGeometry().width() / 2,
                                 (work.y() + work.height()) / 2 - form.frameGeometry().height() / 2));
}

TEST(QtScreens, MonitorsHaveExclusiveEdgesAndOnePrimary) {
    const std::vector<qm::TMonitor> monitors = qm::MonitorsFromScreens();
    ASSERT_EQ(monitors.size(), static_cast<std::size_t>(QGuiApplication::screens().size()));
    const QRect geometry = QGuiApplication::primaryScreen()->geometry();
    const auto primary = qm::PrimaryMonitor(monitors);
    ASSERT_TRUE(primary);
    EXPECT_TRUE(monitors[*primary].Primary);
    EXPECT_EQ(monitors[*primary].Bounds,
              (qm::TRect{geometry.x(), geometry.y(), geometry.x() + geometry.width(), geometry.y() + geometry.height()}));
}

TEST(QtScreens, ColourValuesBecomeQColors) {
    EXPECT_EQ(qm::ColorToQColor(0x00336699), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(qm::ColorToQColor(*qm::IdentToColor("clBtnFace")), QApplication::palette().color(QPalette::Button));
    EXPECT_FALSE(qm::ColorToQColor(qm::clNone).isValid());
}

}  // namespace

namespace {

TEST_F(MessageBoxTest, WithoutAHostTheLoadShowsTheNoConnectionMessageAndF5TriesAgain) {
    qm::TLiveImportFrm form;
    int loads = 0;
    QObject::connect(&form, &qm::TLiveImportFrm::LoadFinished, [&](bool ok) {
        EXPECT_FALSE(ok);
        ++loads;
    });
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return loads == 1; }, 10000));
    const TShownMessage expected{"Quillmark", "Keine Verbindung zu Corvanta (Corvanta muss gestartet sein)"};
    EXPECT_EQ(Shown, std::vector<TShownMessage>{expected});
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quillmark"));
    EXPECT_TRUE(form.VcfFileName().empty());
    EXPECT_TRUE(form.isVisible());

    QTest::keyClick(&form, Qt::Key_F5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loads == 2; }, 10000));
    EXPECT_EQ(Shown, (std::vector<TShownMessage>{expected, expected}));
}

}  // namespace

#include "AppShellTest.moc"
