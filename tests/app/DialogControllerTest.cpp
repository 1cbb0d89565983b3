// The dialog's road of a load without a window: the controller against a
// recording view and a real quillmark-host process serving this test.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <chrono>
#include <filesystem>
#include <future>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "HostProcess.h"
#include "PipeDoubles.h"
#include "TestFiles.h"
#include "UBoundedCall.h"
#include "UCardBuilder.h"
#include "UDialogController.h"
#include "UFileUtil.h"
#include "UHostRequest.h"
#include "UIPCFrame.h"
#include "UPNGReader.h"
#include "UPeerFile.h"
#include "UScreenSetup.h"
#include "USettingsStore.h"

namespace fs = std::filesystem;

namespace {

using qm::TPoint;
using qm::TSize;
using qm::test::ReadBytes;

constexpr const char* kNoConnection = "Keine Verbindung zu Corvanta (Corvanta muss gestartet sein)";

// Does what a window would, and writes down every call.
class TRecordingView : public qm::IDialogView {
public:
    std::vector<std::string> Titles;
    std::vector<std::vector<std::string>> Captions;
    std::vector<std::string> ShownImages;
    std::vector<qm::TDialogLayout> Layouts;
    std::vector<TPoint> Moves;
    std::deque<bool> Posted;
    int Closes = 0;
    int ResponsiveRuns = 0;
    std::function<void()> WhileWaiting;  // what the system does while work runs
    std::vector<std::string> Errors;
    std::vector<std::pair<std::string, std::string>> ShellRequests;
    std::vector<TPoint> DragChecks;
    bool DragAnswer = true;
    std::vector<std::string> Drags;
    qm::TColor PanelColor = qm::clNone;

    qm::TFormBounds Bounds{233, 303, 250, 230};
    int Ppi = 96;
    TSize Frame{0, 0};
    std::vector<qm::TMonitor> Screens{{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, true}};

    void SetTitle(const std::string& title) override { Titles.push_back(title); }
    void SetCaptionMarkup(std::span<const std::string> lines) override { Captions.emplace_back(lines.begin(), lines.end()); }
    std::optional<TSize> ShowImage(const std::string& pngPath) override {
        ShownImages.push_back(pngPath);
        const qm::TRGBImage image = qm::ReadPNGRGB(ReadBytes(pngPath));
        return TSize{image.Width, image.Height};
    }
    void SetLayout(const qm::TDialogLayout& layout) override {
        Layouts.push_back(layout);
        Bounds.Width = layout.ClientSize.Width + Frame.Width;
        Bounds.Height = layout.ClientSize.Height + Frame.Height;
    }
    int PixelsPerInch() const override { return Ppi; }
    int LayoutPixelsPerInch() const override { return Ppi; }
    TSize FrameSize() const override { return Frame; }
    void DefineProperties(qm::TPropertyObject& form) override {
        form.AddComponent("TPanel", "PC").DefineOrdinal("Color", [this](std::int64_t v) {
            PanelColor = static_cast<qm::TColor>(v);
        });
    }
    qm::TFormBounds WindowBounds() const override { return Bounds; }
    void MoveWindow(TPoint to) override {
        Moves.push_back(to);
        Bounds.Left = to.X;
        Bounds.Top = to.Y;
    }
    std::vector<qm::TMonitor> Monitors() const override { return Screens; }
    void PostLoadCard(bool large) override { Posted.push_back(large); }
    void Close() override { ++Closes; }
    void RunResponsive(const std::function<void()>& work) override {
        work();
        ++ResponsiveRuns;
        if (WhileWaiting) WhileWaiting();
    }
    void ShowErrorBox(const std::string& text) override { Errors.push_back(text); }
    void OpenWithShell(const std::string& verb, const std::string& file) override {
        ShellRequests.emplace_back(verb, file);
    }
    bool DetectDragStart(TPoint screenPoint) override {
        DragChecks.push_back(screenPoint);
        return DragAnswer;
    }
    void StartFileDrag(const std::string& file) override { Drags.push_back(file); }

    std::vector<std::vector<std::string>> Copies;  // vcf path, text, png path
    std::vector<std::vector<qm::TMenuEntry>> Menus;
    std::optional<qm::TContextCommand> MenuAnswer;
    std::vector<std::string> FolderRequests;
    std::vector<qm::TAccessibleNames> AccessibleNames;

    void CopyCardToClipboard(const std::string& vcfPath, const std::string& vcardText,
                             const std::string& pngPath) override {
        Copies.push_back({vcfPath, vcardText, pngPath});
    }
    std::optional<qm::TContextCommand> ShowContextMenu(TPoint, std::span<const qm::TMenuEntry> entries) override {
        Menus.emplace_back(entries.begin(), entries.end());
        return MenuAnswer;
    }
    void ShowInFolder(const std::string& file) override { FolderRequests.push_back(file); }
    void SetAccessibleNames(const qm::TAccessibleNames& names) override { AccessibleNames.push_back(names); }
    // Each byte of the caption's markup is a pixel wide unless a test says otherwise.
    std::function<int(std::span<const std::string>)> MeasureCaption = [](std::span<const std::string> lines) {
        int width = 0;
        for (const std::string& line : lines) width += static_cast<int>(line.size());
        return width;
    };
    int CaptionWidth(std::span<const std::string> lines) override { return MeasureCaption(lines); }
};

// Settings as the test gives them; what the controller stores is written down.
class TRecordingSettings : public qm::ISettingsStore {
public:
    qm::TStoredSetting Stored;
    std::vector<std::pair<std::string, std::string>> Writes;
    qm::TStoredSetting Read(std::string_view key) const override {
        return key == qm::kVCardVersion.Key ? Stored : qm::TStoredSetting{};
    }
    void Write(std::string_view key, const std::string& value) override { Writes.emplace_back(key, value); }
};

std::string MaskRevision(const std::string& vcard) {
    return std::regex_replace(vcard, std::regex("\nREV:[0-9T:Z-]+\n"), "\nREV:<time stamp>\n");
}

std::string SampleRecord(const std::string& firstName, const std::string& company = "Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH") {
    std::string text = ReadBytes(QM_SOURCE_DIR "/samples/anna-berg.json");
    text = std::regex_replace(text, std::regex("\"FirstName\": \"Anna\""), "\"FirstName\": \"" + firstName + "\"");
    return std::regex_replace(text, std::regex("\"Company\": \"[^\"]*\""), "\"Company\": \"" + company + "\"");
}

// Requests answered by a scripted pipe that replies `value` to everything.
qm::TIPCRequestOptions AnswerEverything(const std::string& value) {
    qm::TMessageData reply;
    reply.Data().WriteString("DATA", value);
    const std::string frame = qm::EncodeFrame(reply);
    qm::TIPCRequestOptions options;
    options.MakeTransport = [frame](const qm::TPipeOptions&) {
        auto transport = std::make_unique<qm::test::TScriptedTransport>();
        transport->Reads = {{frame}};
        return std::unique_ptr<qm::IPipeTransport>(std::move(transport));
    };
    return options;
}

class DialogController : public ::testing::Test {
protected:
    void SetUp() override { qm::SetCurrentServerName({}); }

    // A host serving `record` (written to a file of this test) with the
    // given answers; extra arguments make it misbehave.
    void StartHost(const std::string& record, const std::string& metrics, std::vector<std::string> extra = {}) {
        RecordPath = Temp.Path("record.json");
        qm::test::WriteBytes(RecordPath, record);
        std::vector<std::string> args{"--record", RecordPath, "--metrics", metrics, "--dbpath", "D:\\Daten"};
        args.insert(args.end(), extra.begin(), extra.end());
        Host = std::make_unique<qm::test::THost>(args);
        ASSERT_TRUE(Host->Ready()) << Host->Err();
    }

    // Handles the posted load messages one after another, as the event loop does.
    void RunPosted(qm::TDialogController& controller) {
        while (!View.Posted.empty()) {
            const bool large = View.Posted.front();
            View.Posted.pop_front();
            controller.LoadCard(large);
        }
    }

    // Files the host wrote for GETJSONADRESS and nobody consumed.
    std::vector<std::string> AddressFilesLeft() const {
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(Temp.Working()))
            if (entry.path().filename().string().starts_with("CVT-ADDRESS-")) left.push_back(entry.path().string());
        return left;
    }

    qm::test::TTempDirEnv Temp;
    std::unique_ptr<qm::test::THost> Host;  // after Temp: gone before its folder
    std::string RecordPath;
    TRecordingView View;
};

TEST_F(DialogController, BuildsTheCardOfTheHostRecordAndLaysTheWindowOutAroundIt) {
    StartHost(SampleRecord("Anna"), "100,200,300,400");
    qm::TDialogController controller(View);
    ASSERT_TRUE(controller.FormCreate());
    EXPECT_EQ(View.PanelColor, qm::clWhite);
    EXPECT_EQ(View.Moves, (std::vector<TPoint>{TPoint{150, 250}}));

    controller.FormShow();
    EXPECT_EQ(View.Posted, std::deque<bool>{false});
    RunPosted(controller);
    EXPECT_TRUE(View.Errors.empty()) << View.Errors.front();

    EXPECT_EQ(View.Titles, std::vector<std::string>{"Angebot AN-2026-0815 Anna Berg, K\xC3\xB6nigsallee 12, 40212 "
                                                    "D\xC3\xBCsseldorf in D:\\Daten\\"});
    EXPECT_EQ(View.Captions, (std::vector<std::vector<std::string>>{
                                 {"</b>QRCode:<b> Anna Berg Gr\xC3\xBCnwald &amp; S\xC3\xB6hne GmbH",
                                  " | <A href=\"x\">Gr\xC3\xB6\xC3\x9F" "er</A>"}}));
    const std::string base = Temp.Working() + "Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH";
    EXPECT_EQ(controller.VcfFileName(), base + ".vcf");
    EXPECT_EQ(controller.PngFileName(), base + ".png");
    EXPECT_EQ(View.ShownImages, std::vector<std::string>{base + ".png"});
    // The card's 77 modules (version 15) of 5 or 6 pixels: 4 x 6 = 24 of
    // quiet zone around them.
    EXPECT_EQ(View.Layouts, (std::vector<qm::TDialogLayout>{{29, 6, 12, {24, 53}, {502, 531}}}));
    EXPECT_EQ(MaskRevision(ReadBytes(controller.VcfFileName())), ReadBytes(QM_SOURCE_DIR "/tests/app/data/anna-berg.vcf"));

    // The record as loaded, formatted, with its copy; the host's file is consumed.
    const std::string testcase = ReadBytes(Temp.Working() + "testcase.json");
    EXPECT_NE(testcase.find("\"FirstName\":\"Anna\""), std::string::npos);
    EXPECT_EQ(ReadBytes(Temp.Working() + "testcase.~json"), testcase);
    EXPECT_TRUE(AddressFilesLeft().empty());
}

TEST_F(DialogController, TheLinkLoadsTheLargeImageAndF5TheSmallOneAgain) {
    StartHost(SampleRecord("Anna"), "100,200");
    qm::TDialogController controller(View);
    controller.FormCreate();
    controller.FormShow();
    RunPosted(controller);

    controller.AnchorClick();
    EXPECT_EQ(View.Posted, std::deque<bool>{true});
    RunPosted(controller);
    EXPECT_EQ(View.Layouts.back(), (qm::TDialogLayout{29, 6, 12, {40, 69}, {836, 865}}));
    EXPECT_EQ(View.Captions.back().size(), 1u);

    controller.Act(qm::TDialogIntent::Reload);
    EXPECT_EQ(View.Posted, std::deque<bool>{false});
    RunPosted(controller);
    EXPECT_EQ(View.Layouts.back(), (qm::TDialogLayout{29, 6, 12, {24, 53}, {502, 531}}));
    EXPECT_EQ(View.Captions.back().size(), 2u);
    // The window grew past the work area's bottom at 865 pixels and was moved up.
    EXPECT_EQ(View.Moves.back(), (TPoint{150, 1040 - 865}));

    EXPECT_EQ(View.Closes, 0);
    controller.Act(qm::TDialogIntent::Close);
    EXPECT_EQ(View.Closes, 1);
    EXPECT_TRUE(View.Posted.empty());
    EXPECT_TRUE(View.Errors.empty()) << View.Errors.front();
}

// A card of a given edge length in pixels, read back from its file.
int PngEdge(const std::string& path) { return qm::ReadPNGRGB(ReadBytes(path)).Width; }

TEST_F(DialogController, ADensityChangeRebuildsTheImageAndKeepsTheCard) {
    StartHost(SampleRecord("Anna"), "100,200");
    qm::TDialogController controller(View);
    controller.FormCreate();
    // Before the first card only the layout follows the density.
    View.Ppi = 144;
    EXPECT_TRUE(controller.DensityChanged());
    EXPECT_EQ(View.Layouts, (std::vector<qm::TDialogLayout>{{44, 9, 18, {15, 52}, {366, 308}}}));
    EXPECT_EQ(controller.ClientSizeAt(144), (TSize{366, 308}));
    View.Ppi = 96;
    controller.FormShow();
    RunPosted(controller);

    // The normal card moves to 192 dpi, the large one on a 1366 x 768 screen
    // (frame 16 x 39) to 120 dpi: the image keeps its millimetres (the large
    // one as many as fit: 131 mm), the .vcf its bytes.
    struct TCase {
        bool Large;
        int Ppi;
        int Edge;
        qm::TDialogLayout Layout;
    };
    View.Frame = {16, 39};
    View.Screens = {{{0, 0, 1366, 768}, {0, 0, 1366, 768}, true}};
    for (const TCase& c : {TCase{false, 192, 907, {58, 12, 24, {48, 106}, {1003, 1061}}},
                          TCase{true, 120, 619, {36, 8, 15, {36, 72}, {691, 727}}}}) {
        if (c.Large) {
            View.Ppi = 96;
            controller.AnchorClick();
            RunPosted(controller);
        }
        const std::string card = ReadBytes(controller.VcfFileName());
        const std::size_t captions = View.Captions.size();
        const TSize foreseen = controller.ClientSizeAt(c.Ppi);
        View.Ppi = c.Ppi;
        EXPECT_TRUE(controller.DensityChanged());
        // Foreseen exactly where the monitor does not cap the image anew.
        if (!c.Large) {
            EXPECT_EQ(foreseen, c.Layout.ClientSize);
        }
        EXPECT_EQ(PngEdge(controller.PngFileName()), c.Edge);
        EXPECT_EQ(View.Layouts.back(), c.Layout);
        EXPECT_EQ(ReadBytes(controller.VcfFileName()), card);
        EXPECT_EQ(View.Captions.size(), captions);
        // The large window fits the work area (the normal one at 192 dpi cannot).
        if (c.Large) {
            EXPECT_LE(View.Bounds.Top + View.Bounds.Height, 768);
        }
    }
    // Still the large card: "Größer" stays disabled.
    View.MenuAnswer = std::nullopt;
    controller.ContextMenu({300, 400});
    EXPECT_FALSE(View.Menus.back()[2].Enabled);
    EXPECT_TRUE(View.Errors.empty()) << View.Errors.front();
}

TEST_F(DialogController, AWindowTheUserMovesIsKeptOnItsMonitorOnlyWhenLetGo) {
    StartHost(SampleRecord("Anna"), "100,200");
    qm::TDialogController controller(View);
    controller.FormCreate();
    controller.FormShow();
    RunPosted(controller);
    // Dragged half below the work area, onto a denser monitor: laid out
    // anew there, it stays under the mouse until it is let go.
    View.Bounds.Top = 900;
    const std::size_t moves = View.Moves.size();
    controller.MoveStarted();
    View.Ppi = 144;
    EXPECT_TRUE(controller.DensityChanged());
    EXPECT_EQ(View.Moves.size(), moves);
    controller.MoveEnded();
    ASSERT_EQ(View.Moves.size(), moves + 1);
    EXPECT_EQ(View.Moves.back().Y + View.Bounds.Height, 1040);
}

TEST_F(DialogController, DoubleClickOpensTheCardAndADragOffersTheChosenFile) {
    StartHost(SampleRecord("Anna"), "");
    qm::TDialogController controller(View);
    controller.FormCreate();

    // Before the first card: no shell request, a press no drag.
    controller.ImageDoubleClick();
    controller.ImageMouseDown({300, 400}, false);
    EXPECT_TRUE(View.DragChecks.empty());

    controller.FormShow();
    RunPosted(controller);
    controller.ImageDoubleClick();
    EXPECT_EQ(View.ShellRequests,
              (std::vector<std::pair<std::string, std::string>>{{"open", controller.VcfFileName()}}));

    controller.ImageMouseDown({300, 400}, true);
    controller.ImageMouseDown({301, 401}, false);
    View.DragAnswer = false;
    controller.ImageMouseDown({302, 402}, true);
    EXPECT_EQ(View.DragChecks, (std::vector<TPoint>{{300, 400}, {301, 401}, {302, 402}}));
    EXPECT_EQ(View.Drags, (std::vector<std::string>{controller.PngFileName(), controller.VcfFileName()}));
}

// Which entries the menu offers, enabled or not, by the card shown.
std::vector<bool> EnabledOf(const std::vector<qm::TMenuEntry>& entries) {
    std::vector<bool> enabled;
    for (const qm::TMenuEntry& entry : entries) enabled.push_back(entry.Enabled);
    return enabled;
}

TEST_F(DialogController, BeforeTheFirstCardCopyAndTheFileEntriesDoNothing) {
    StartHost(SampleRecord("Anna"), "");
    qm::TDialogController controller(View);
    controller.FormCreate();

    controller.Act(qm::TDialogIntent::Copy);
    controller.Act(qm::TDialogIntent::Open);
    EXPECT_TRUE(View.Copies.empty());
    // Open is the double click: nothing to open yet.
    EXPECT_TRUE(View.ShellRequests.empty());

    for (const auto command : {qm::TContextCommand::ccOpen, qm::TContextCommand::ccCopy,
                               qm::TContextCommand::ccShowInFolder}) {
        View.MenuAnswer = command;
        controller.ImageRightButtonUp({300, 400});
    }
    ASSERT_EQ(View.Menus.size(), 3u);
    using qm::TContextCommand;
    const std::vector<qm::TMenuEntry> beforeTheFirstCard = {
        {TContextCommand::ccOpen, "\xC3\x96" "ffnen", false, std::nullopt},
        {TContextCommand::ccCopy, "Kopieren", false, std::nullopt},
        {TContextCommand::ccLarger, "Gr\xC3\xB6\xC3\x9F" "er", true, std::nullopt},
        {TContextCommand::ccSmaller, "Kleiner", true, std::nullopt},
        {TContextCommand::ccOlderPhones, "F\xC3\xBCr \xC3\xA4ltere Telefone (vCard 3.0)", true, false},
        {TContextCommand::ccShowInFolder, "Im Ordner zeigen", false, std::nullopt}};
    EXPECT_EQ(View.Menus.front(), beforeTheFirstCard);
    EXPECT_TRUE(View.ShellRequests.empty());
    EXPECT_TRUE(View.Copies.empty());
    EXPECT_TRUE(View.FolderRequests.empty());
    EXPECT_TRUE(View.Posted.empty());
    EXPECT_TRUE(View.Errors.empty());
}

// What each key asks for, without and with Ctrl.
TEST_F(DialogController, EachKeyAsksForItsIntent) {
    using Key = qm::TDialogKey;
    using Intent = qm::TDialogIntent;
    const struct {
        Key Pressed;
        std::optional<Intent> Plain, WithCtrl;
    } table[] = {{Key::Escape, Intent::Close, Intent::Close},   {Key::F5, Intent::Reload, Intent::Reload},
                 {Key::Plus, Intent::Larger, Intent::Larger},   {Key::Minus, Intent::Smaller, Intent::Smaller},
                 {Key::Return, Intent::Open, Intent::Open},     {Key::C, std::nullopt, Intent::Copy},
                 {Key::O, std::nullopt, Intent::Open}};
    for (const auto& row : table) {
        EXPECT_EQ(qm::IntentOfKey(row.Pressed, false), row.Plain) << static_cast<int>(row.Pressed);
        EXPECT_EQ(qm::IntentOfKey(row.Pressed, true), row.WithCtrl) << static_cast<int>(row.Pressed);
    }
}

TEST_F(DialogController, KeysAndMenuEntriesLeadToTheirActionsOnceACardIsShown) {
    StartHost(SampleRecord("Anna"), "");
    qm::TDialogController controller(View);
    controller.FormCreate();
    controller.FormShow();
    RunPosted(controller);
    const std::string vcf = controller.VcfFileName();
    const std::string png = controller.PngFileName();

    ASSERT_EQ(View.AccessibleNames.size(), 1u);
    EXPECT_EQ(View.AccessibleNames[0],
              (qm::TAccessibleNames{"Visitenkarte als QR-Code: " + View.Titles.back().substr(0, View.Titles.back().find(" in ")),
                                    "QR-Code der Visitenkarte von Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH",
                                    "QRCode: Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH | Gr\xC3\xB6\xC3\x9F" "er"}));

    controller.Act(qm::TDialogIntent::Copy);
    EXPECT_EQ(View.Copies, (std::vector<std::vector<std::string>>{{vcf, ReadBytes(vcf), png}}));
    controller.Act(qm::TDialogIntent::Open);
    EXPECT_EQ(View.ShellRequests, (std::vector<std::pair<std::string, std::string>>{{"open", vcf}}));

    // Larger is the link, Smaller and Reload both load the small image.
    for (const auto intent : {qm::TDialogIntent::Larger, qm::TDialogIntent::Smaller, qm::TDialogIntent::Reload})
        controller.Act(intent);
    EXPECT_EQ(View.Posted, (std::deque<bool>{true, false, false}));
    View.Posted.clear();

    // The small image: every entry but "Kleiner".
    View.MenuAnswer = qm::TContextCommand::ccSmaller;
    controller.ImageRightButtonUp({300, 400});
    EXPECT_EQ(EnabledOf(View.Menus.back()), (std::vector<bool>{true, true, true, false, true, true}));
    EXPECT_TRUE(View.Posted.empty());
    View.MenuAnswer = qm::TContextCommand::ccOpen;
    controller.ImageRightButtonUp({300, 400});
    View.MenuAnswer = qm::TContextCommand::ccCopy;
    controller.ImageRightButtonUp({300, 400});
    View.MenuAnswer = qm::TContextCommand::ccShowInFolder;
    controller.ImageRightButtonUp({300, 400});
    View.MenuAnswer = std::nullopt;
    controller.ImageRightButtonUp({300, 400});
    EXPECT_EQ(View.ShellRequests.back(), (std::pair<std::string, std::string>{"open", vcf}));
    EXPECT_EQ(View.ShellRequests.size(), 2u);
    EXPECT_EQ(View.Copies.size(), 2u);
    EXPECT_EQ(View.FolderRequests, std::vector<std::string>{vcf});

    // A right-button press that became a drag opens no menu with its release.
    const std::size_t menus = View.Menus.size();
    controller.ImageMouseDown({300, 400}, false);
    controller.ImageRightButtonUp({350, 450});
    EXPECT_EQ(View.Menus.size(), menus);
    View.DragAnswer = false;
    controller.ImageMouseDown({300, 400}, false);
    View.MenuAnswer = qm::TContextCommand::ccLarger;
    controller.ImageRightButtonUp({300, 400});
    EXPECT_EQ(View.Menus.size(), menus + 1);
    EXPECT_EQ(View.Posted, std::deque<bool>{true});

    // The large image: "Größer" is the one disabled, "Kleiner" is F5.
    RunPosted(controller);
    View.MenuAnswer = qm::TContextCommand::ccLarger;
    controller.ContextMenu({300, 400});
    EXPECT_EQ(EnabledOf(View.Menus.back()), (std::vector<bool>{true, true, false, true, true, true}));
    EXPECT_TRUE(View.Posted.empty());
    View.MenuAnswer = qm::TContextCommand::ccSmaller;
    controller.ContextMenu({300, 400});
    EXPECT_EQ(View.Posted, std::deque<bool>{false});
    EXPECT_EQ(View.AccessibleNames.back().Caption, "QRCode: Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH");
    EXPECT_TRUE(View.Errors.empty());
}

// The version entry of the menu by what the user and an administrator
// stored; a policy wins and cannot be changed, an unknown user's text counts
// as 4.0 and an unknown policy text as no policy.
TEST_F(DialogController, TheOlderPhonesEntryFollowsTheSettingAndAPolicyLocksIt) {
    struct TCase {
        std::optional<std::string> User, Policy;
        bool On, Enabled;
    };
    const TCase cases[] = {
        {std::nullopt, std::nullopt, false, true},
        {"3.0", std::nullopt, true, true},
        {" 3.0\t", std::nullopt, true, true},
        {"4.0", std::nullopt, false, true},
        {"3", std::nullopt, false, true},
        {"", std::nullopt, false, true},
        {"3.0", "4.0", false, false},
        {std::nullopt, "3.0", true, false},
        {"3.0", "vCard 3", true, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.User.value_or("(none)") + " / " + c.Policy.value_or("(none)"));
        TRecordingSettings settings;
        settings.Stored = {c.User, c.Policy};
        TRecordingView view;
        qm::TDialogController controller(view, settings);
        // Offered even before the first card; a locked one does nothing.
        view.MenuAnswer = qm::TContextCommand::ccOlderPhones;
        controller.ContextMenu({300, 400});
        ASSERT_EQ(view.Menus.size(), 1u);
        const qm::TMenuEntry& entry = view.Menus[0][4];
        EXPECT_EQ(entry.Command, qm::TContextCommand::ccOlderPhones);
        EXPECT_EQ(entry.Text, "F\xC3\xBCr \xC3\xA4ltere Telefone (vCard 3.0)");
        EXPECT_EQ(entry.Checked, std::optional<bool>(c.On));
        EXPECT_EQ(entry.Enabled, c.Enabled);
        EXPECT_EQ(settings.Writes.size(), c.Enabled ? 1u : 0u);
        EXPECT_TRUE(view.Errors.empty());
    }
}

TEST_F(DialogController, ChoosingOlderPhonesRebuildsTheCardIn30AtItsSizeAndStoresTheChoice) {
    StartHost(SampleRecord("Anna"), "");
    TRecordingSettings settings;
    qm::TDialogController controller(View, settings);
    controller.FormCreate();
    controller.AnchorClick();
    RunPosted(controller);
    const std::string vcf = controller.VcfFileName();
    ASSERT_TRUE(ReadBytes(vcf).starts_with("BEGIN:VCARD\nVERSION:4.0\n"));
    const qm::TDialogLayout large = View.Layouts.back();

    // The host moves on: the switch keeps the card shown and asks nothing.
    qm::test::WriteBytes(RecordPath, SampleRecord("Berta"));
    View.MenuAnswer = qm::TContextCommand::ccOlderPhones;
    controller.ContextMenu({300, 400});
    EXPECT_EQ(settings.Writes, (std::vector<std::pair<std::string, std::string>>{{"vCardVersion", "3.0"}}));
    EXPECT_TRUE(View.Posted.empty());
    EXPECT_EQ(controller.VcfFileName(), vcf);
    EXPECT_EQ(View.ShownImages.size(), 2u);
    EXPECT_EQ(View.Layouts.back(), large);
    const std::string card30 = ReadBytes(vcf);
    EXPECT_TRUE(card30.starts_with("BEGIN:VCARD\nVERSION:3.0\nN:Berg;Anna;;;\n")) << card30;
    // What a copy puts on the clipboard is the new card.
    controller.CopyCard();
    EXPECT_EQ(View.Copies.back()[1], card30);

    // The menu shows it on now; choosing it again goes back to 4.0.
    controller.ContextMenu({300, 400});
    EXPECT_EQ(View.Menus[View.Menus.size() - 2][4].Checked, std::optional<bool>(false));
    EXPECT_EQ(View.Menus.back()[4].Checked, std::optional<bool>(true));
    EXPECT_TRUE(ReadBytes(vcf).starts_with("BEGIN:VCARD\nVERSION:4.0\n"));
    EXPECT_EQ(settings.Writes.back(), (std::pair<std::string, std::string>{"vCardVersion", "4.0"}));
    EXPECT_TRUE(View.Errors.empty());
}

TEST_F(DialogController, WithoutAHostTheWindowIsCentredAndTheLoadReportsNoConnection) {
    qm::TDialogController controller(View);
    EXPECT_TRUE(controller.FormCreate());
    // Centred on the work area: 1920 div 2 - 250 div 2, 1040 div 2 - 230 div 2.
    EXPECT_EQ(View.Moves, (std::vector<TPoint>{TPoint{835, 405}}));

    controller.FormShow();
    RunPosted(controller);
    EXPECT_EQ(View.Errors, std::vector<std::string>{kNoConnection});
    EXPECT_TRUE(View.Titles.empty());
    EXPECT_TRUE(View.Captions.empty());
    EXPECT_TRUE(View.ShownImages.empty());
    EXPECT_TRUE(controller.VcfFileName().empty());

    // F5 tries again.
    controller.Act(qm::TDialogIntent::Reload);
    RunPosted(controller);
    EXPECT_EQ(View.Errors, (std::vector<std::string>{kNoConnection, kNoConnection}));
}

// Without a position from the host the window ends up centred at its real
// size, not at its design size.
TEST_F(DialogController, WithoutMetricsTheLaidOutWindowIsCentred) {
    for (const std::string metrics : {"", ","}) {
        // The default host: on Windows the one before is ended without
        // taking its line away, and the test process has no host parent.
        StartHost(SampleRecord("Anna"), metrics, {"--default"});
        TRecordingView view;
        qm::TDialogController controller(view);
        controller.FormCreate();
        controller.FormShow();
        while (!view.Posted.empty()) {
            view.Posted.pop_front();
            controller.LoadCard(false);
        }
        ASSERT_TRUE(view.Errors.empty()) << view.Errors.front();
        const qm::TRect& work = view.Screens.front().WorkArea;
        EXPECT_NEAR(view.Bounds.Left + view.Bounds.Width / 2.0, (work.Left + work.Right) / 2.0, 1.0) << metrics;
        EXPECT_NEAR(view.Bounds.Top + view.Bounds.Height / 2.0, (work.Top + work.Bottom) / 2.0, 1.0) << metrics;
#ifndef _WIN32
        Host->Stop();  // SIGTERM: the host takes its exchange line away
#endif
        Host.reset();
        qm::SetCurrentServerName({});
    }
}

TEST_F(DialogController, AHostAnsweringNonsenseGivesTheNoConnectionMessageAndKeepsItsFile) {
    StartHost("Kein JSON {", "x,y");
    qm::TDialogController controller(View);
    EXPECT_TRUE(controller.FormCreate());
    EXPECT_EQ(View.Moves, (std::vector<TPoint>{TPoint{50, 50}}));

    controller.FormShow();
    RunPosted(controller);
    EXPECT_EQ(View.Errors, std::vector<std::string>{kNoConnection});
    EXPECT_TRUE(View.Titles.empty());
    // Not an address record: not ours to delete.
    EXPECT_EQ(AddressFilesLeft().size(), 1u);
    EXPECT_FALSE(fs::exists(Temp.Working() + "testcase.json"));

    // A host whose replies claim an absurd size is no host at all.
#ifndef _WIN32
    Host->Stop();  // SIGTERM: the host takes its exchange line away
#endif
    Host.reset();
    StartHost(SampleRecord("Anna"), "100,200", {"--reply-size", "100000000"});
    controller.Act(qm::TDialogIntent::Reload);
    RunPosted(controller);
    EXPECT_EQ(View.Errors, (std::vector<std::string>{kNoConnection, kNoConnection}));
}

// A process serving the pipe may name any path. Only an address record
// reached as a local regular file of bounded size is read and consumed;
// everything else stays exactly as it was and gives the no-connection message.
TEST_F(DialogController, APathNamedByThePipeIsReadAndDeletedOnlyWhenItIsAnAddressRecord) {
    const std::string record = SampleRecord("Anna");
    const std::string document = Temp.Path("Diplomarbeit.docx");
    qm::test::WriteBytes(document, "PK\x03\x04 a thesis");
    fs::create_directory(qm::test::U8Path(Temp.Path("folder")));
    qm::test::WriteBytes(Temp.Path("no-order.json"), "{\"Adress\": [{}]}");
    // A valid record one byte past the size limit: it would load if it
    // were read.
    std::string huge = record;
    huge.insert(huge.find('{') + 1, std::string(qm::kMaxPeerFileBytes + 1 - record.size(), ' '));
    qm::test::WriteBytes(Temp.Path("huge.json"), huge);
    qm::test::WriteBytes(Temp.Path("rec.json"), record);
    const std::string nul("\0", 1);

    struct TCase {
        std::string Path;       // what the pipe answers for GETJSONADRESS
        std::string Watched;    // a file that must stay as it is ("": none)
    };
    std::vector<TCase> cases = {
        {document, document},
        {Temp.Path("folder"), ""},
        {Temp.Path("no-order.json"), Temp.Path("no-order.json")},
        {Temp.Path("rec.json") + nul + ".txt", Temp.Path("rec.json")},
        {Temp.Path("huge.json"), Temp.Path("huge.json")},
    };
#ifdef _WIN32
    const std::string drive = Temp.Path("rec.json");
    cases.push_back({drive + ":stream", drive});
    cases.push_back({"\\\\?\\" + drive, drive});
    cases.push_back({"\\\\.\\pipe\\x", ""});
    cases.push_back({"\\\\server\\share\\x.json", ""});
#else
    fs::create_symlink(qm::test::U8Path(Temp.Path("rec.json")), qm::test::U8Path(Temp.Path("link.json")));
    cases.push_back({Temp.Path("link.json"), Temp.Path("rec.json")});
    // A link among the folders on the way.
    fs::create_directory_symlink(qm::test::U8Path(Temp.Root()), qm::test::U8Path(Temp.Path("linked")));
    cases.push_back({Temp.Path("linked") + "/rec.json", Temp.Path("rec.json")});
    cases.push_back({"rec.json", Temp.Path("rec.json")});  // relative
#endif
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Path);
        const std::string before = c.Watched.empty() ? std::string() : ReadBytes(c.Watched);
        TRecordingView view;
        qm::TDialogController controller(view, AnswerEverything(c.Path));
        EXPECT_FALSE(controller.LoadCard(false));
        EXPECT_EQ(view.Errors, std::vector<std::string>{kNoConnection});
        if (!c.Watched.empty()) {
            EXPECT_EQ(ReadBytes(c.Watched), before);
        }
    }
    EXPECT_TRUE(fs::is_directory(qm::test::U8Path(Temp.Path("folder"))));

    // The host's own record is loaded and consumed.
    TRecordingView view;
    qm::TDialogController controller(view, AnswerEverything(Temp.Path("rec.json")));
    EXPECT_TRUE(controller.LoadCard(false));
    EXPECT_FALSE(fs::exists(qm::test::U8Path(Temp.Path("rec.json"))));
}

// Between the read and the delete another process renames the record away
// and puts a file of the user under its name (and, on POSIX, replaces the
// record's folder by a link to a folder of the user holding a "rec.json"):
// what the name leads to then survives.
TEST_F(DialogController, TheFileDeletedIsTheFileReadWhateverItsNameLeadsToMeanwhile) {
    const auto u8 = [](const std::string& p) { return qm::test::U8Path(p); };
    const std::string host = Temp.Path("host");
    fs::create_directory(u8(host));
    const std::string rec = host + qm::test::kSep + "rec.json";
    const std::string notes = host + qm::test::kSep + "notes.txt";
    qm::test::WriteBytes(rec, SampleRecord("Anna"));
    qm::test::WriteBytes(notes, "the user's notes");
    qm::SetPeerFileDeleteHook([&](const std::string&) {
        std::error_code ec;  // Windows refuses the rename: the record is held without sharing it
        fs::rename(u8(rec), u8(host + qm::test::kSep + "moved.json"), ec);
        if (!ec) fs::rename(u8(notes), u8(rec), ec);
    });
    TRecordingView view;
    EXPECT_TRUE(qm::TDialogController(view, AnswerEverything(rec)).LoadCard(false));
#ifdef _WIN32
    EXPECT_FALSE(fs::exists(u8(rec)));
    EXPECT_EQ(ReadBytes(notes), "the user's notes");
#else
    EXPECT_EQ(ReadBytes(rec), "the user's notes");

    const std::string victim = Temp.Path("private");
    fs::create_directory(u8(victim));
    qm::test::WriteBytes(victim + "/rec.json", "the user's own rec.json");
    qm::test::WriteBytes(rec, SampleRecord("Berta"));
    qm::SetPeerFileDeleteHook([&](const std::string&) {
        fs::rename(u8(host), u8(host + ".old"));
        fs::create_directory_symlink(u8(victim), u8(host));
    });
    EXPECT_TRUE(qm::TDialogController(view, AnswerEverything(rec)).LoadCard(false));
    EXPECT_EQ(ReadBytes(victim + "/rec.json"), "the user's own rec.json");
    EXPECT_FALSE(fs::exists(u8(host + ".old/rec.json")));  // the record read was consumed
#endif
    qm::SetPeerFileDeleteHook({});
}

// A host that never answers holds the start, discovery, metrics and the
// first load together, no longer than one budget.
TEST_F(DialogController, TheStartAndTheFirstLoadShareOneBudget) {
    StartHost(SampleRecord("Anna"), "100,200", {"--silent"});
    qm::TIPCRequestOptions requests;
    requests.Deadline = std::chrono::seconds(3);
    qm::TDialogController controller(View, requests);
    const auto start = std::chrono::steady_clock::now();
    controller.FormCreate();
    controller.FormShow();
    RunPosted(controller);
    EXPECT_LT(std::chrono::steady_clock::now() - start, requests.Deadline + std::chrono::milliseconds(1500));
    EXPECT_EQ(View.Errors, std::vector<std::string>{kNoConnection});
}

// A path named by the host on a file system that never answers (a stat()
// that blocks) ends the load with the no-connection message in its budget.
TEST_F(DialogController, ANamedPathThatNeverAnswersEndsTheLoadWithinItsBudget) {
    const std::string named = Temp.Path("hangs.json");
    qm::test::WriteBytes(named, SampleRecord("Anna"));
    // The file system hangs at the first access to the file (whether it is
    // there), then at the second (its opening).
    for (const int hangingAccess : {1, 2}) {
        std::promise<void> release;
        auto accesses = std::make_shared<std::atomic<int>>(0);
        qm::SetFileAccessHook([named, hangingAccess, accesses, released = release.get_future().share()](
                                  const std::string& path) {
            if (path == named && ++*accesses == hangingAccess) released.wait();
        });
        qm::TIPCRequestOptions requests = AnswerEverything(named);
        requests.Deadline = std::chrono::milliseconds(500);
        qm::TDialogController controller(View, requests);
        auto load = std::async(std::launch::async, [&controller] { return controller.LoadCard(false); });
        if (load.wait_for(std::chrono::seconds(10)) != std::future_status::ready) ADD_FAILURE() << "still waiting";
        release.set_value();
        EXPECT_FALSE(load.get());
        while (qm::BoundedWorkersRunning() != 0) std::this_thread::yield();  // the worker given up on
        qm::SetFileAccessHook({});
        EXPECT_EQ(View.Errors.back(), kNoConnection) << hangingAccess;
        EXPECT_GE(*accesses, hangingAccess);
    }
    EXPECT_TRUE(qm::FileExistsEx(named));  // given up on: nothing deleted
}

// The same through a real host that names a document of the user.
TEST_F(DialogController, AHostNamingADocumentLeavesItInPlace) {
    const std::string document = Temp.Path("Brief.odt");
    qm::test::WriteBytes(document, "PK\x03\x04 a letter");
    StartHost(SampleRecord("Anna"), "", {"--answer-path", document});
    qm::TDialogController controller(View);
    controller.FormShow();
    RunPosted(controller);
    EXPECT_EQ(View.Errors, std::vector<std::string>{kNoConnection});
    EXPECT_EQ(ReadBytes(document), "PK\x03\x04 a letter");
}

TEST_F(DialogController, OnlyTheLastPairOfFilesIsDeletedAtTheEnd) {
    StartHost(SampleRecord("Anna"), "100,200");
    std::string firstVcf, firstPng, secondVcf, secondPng;
    {
        qm::TDialogController controller(View);
        controller.FormCreate();
        controller.FormShow();
        RunPosted(controller);
        firstVcf = controller.VcfFileName();
        firstPng = controller.PngFileName();

        // The host moves on to another record.
        qm::test::WriteBytes(RecordPath, SampleRecord("Berta"));
        controller.Act(qm::TDialogIntent::Reload);
        RunPosted(controller);
        secondVcf = controller.VcfFileName();
        secondPng = controller.PngFileName();
        ASSERT_NE(secondVcf, firstVcf);
        ASSERT_TRUE(fs::exists(qm::test::U8Path(secondVcf)));
        ASSERT_TRUE(fs::exists(qm::test::U8Path(secondPng)));

        // A third card whose .vcf cannot be written (a folder has its name):
        // the second stays the card, and nothing of the third is left.
        qm::test::WriteBytes(RecordPath, SampleRecord("Carla"));
        const std::string thirdVcf = Temp.Working() + "Carla Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH.vcf";
        fs::create_directory(qm::test::U8Path(thirdVcf));
        controller.Act(qm::TDialogIntent::Reload);
        RunPosted(controller);
        EXPECT_EQ(View.Errors.size(), 1u);
        EXPECT_EQ(controller.VcfFileName(), secondVcf);
        EXPECT_FALSE(fs::exists(qm::test::U8Path(thirdVcf.substr(0, thirdVcf.size() - 4) + ".png")));
        controller.ImageDoubleClick();
        EXPECT_EQ(View.ShellRequests.back().second, secondVcf);
        fs::remove(qm::test::U8Path(thirdVcf));
    }
    EXPECT_FALSE(fs::exists(qm::test::U8Path(secondVcf)));
    EXPECT_FALSE(fs::exists(qm::test::U8Path(secondPng)));
    EXPECT_TRUE(fs::exists(qm::test::U8Path(firstVcf)));
    EXPECT_TRUE(fs::exists(qm::test::U8Path(firstPng)));
}

TEST_F(DialogController, TheSessionsEndDeletesThePairOnceAndNothingActsOnItAfter) {
    StartHost(SampleRecord("Anna"), "100,200");
    std::string vcf, png;
    {
        qm::TDialogController controller(View);
        controller.FormShow();
        RunPosted(controller);
        vcf = controller.VcfFileName();
        png = controller.PngFileName();
        ASSERT_TRUE(fs::exists(qm::test::U8Path(vcf)));
        controller.SessionEnding();
        EXPECT_FALSE(fs::exists(qm::test::U8Path(vcf)));
        EXPECT_FALSE(fs::exists(qm::test::U8Path(png)));
        EXPECT_EQ(controller.VcfFileName(), "");
        controller.ImageDoubleClick();
        controller.CopyCard();
        EXPECT_TRUE(View.ShellRequests.empty());
        EXPECT_TRUE(View.Copies.empty());
        // A file of the same name made after the session's end is not the
        // dialog's: the destructor leaves it.
        qm::test::WriteBytes(vcf, "BEGIN:VCARD");
    }
    EXPECT_EQ(ReadBytes(vcf), "BEGIN:VCARD");

    // The session ends while a load waits for the host, off the window's
    // thread: the load writes nothing after that.
    fs::remove(qm::test::U8Path(vcf));
    qm::TDialogController controller(View);
    View.WhileWaiting = [&controller] { controller.SessionEnding(); };
    controller.LoadCard(false);
    EXPECT_EQ(View.ResponsiveRuns, 3);  // the first load's two waits and this one's first
    EXPECT_FALSE(fs::exists(qm::test::U8Path(vcf)));
    EXPECT_EQ(controller.VcfFileName(), "");
}

TEST(DialogText, TheTitleKeepsTheNotationOfTheHostsPath) {
    EXPECT_EQ(qm::WindowCaption("Muster 4711 Hauptstr. 1", "D:\\Daten"), "Muster 4711 Hauptstr. 1 in D:\\Daten\\");
    EXPECT_EQ(qm::WindowCaption("A", "D"), "A in D:\\");
    EXPECT_EQ(qm::WindowCaption("A", "/srv/db"), "A in /srv/db/");
    EXPECT_EQ(qm::WindowCaption("A", "/srv/db/"), "A in /srv/db/");
    EXPECT_EQ(qm::WindowCaption("A", ""), "A");
}

// A caption too wide for its label keeps the link whole and shortens the
// names at a character boundary, as far as needed and no further.
TEST(DialogText, ALongCaptionShortensTheNamesAndKeepsTheLink) {
    qm::TCardFields fields;
    fields.FirstName = "Anna";
    fields.LastName = "Berg";
    fields.Company = "Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH";
    const auto bytes = [](std::span<const std::string> lines) {
        int width = 0;
        for (const std::string& line : lines) width += static_cast<int>(line.size());
        return width;
    };
    const std::vector<std::string> full = qm::CaptionLines(fields, 120);
    const int fullWidth = bytes(full);
    EXPECT_EQ(qm::FittedCaptionLines(fields, 120, fullWidth, bytes), full);
    // Two bytes short: "ü" and the blank after "Gr" do not fit beside "…"
    // (three bytes); the link line is the same.
    const std::vector<std::string> cut = qm::FittedCaptionLines(fields, 120, fullWidth - 21, bytes);
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[1], full[1]);
    EXPECT_EQ(cut[0], "</b>QRCode:<b> Anna Berg Gr\xE2\x80\xA6");
    EXPECT_LE(bytes(cut), fullWidth - 21);
    // No room at all: the ellipsis alone, the link still whole.
    EXPECT_EQ(qm::FittedCaptionLines(fields, 120, 0, bytes),
              (std::vector<std::string>{"</b>QRCode:<b> \xE2\x80\xA6", full[1]}));
}

TEST(DialogText, ThePicturesNameSkipsMissingNames) {
    qm::TCardFields fields;
    EXPECT_EQ(qm::PictureAccessibleName(fields), "QR-Code der Visitenkarte");
    fields.Company = "Firma & Co";
    EXPECT_EQ(qm::PictureAccessibleName(fields), "QR-Code der Visitenkarte von Firma & Co");
    fields.FirstName = "Anna";
    EXPECT_EQ(qm::PictureAccessibleName(fields), "QR-Code der Visitenkarte von Anna Firma & Co");
}

TEST(DialogText, TheVisibleCaptionShowsNamesLiterally) {
    qm::TCardFields fields;
    fields.FirstName = "Anna";
    fields.LastName = "Berg";
    fields.Company = "A|B<C>D";
    EXPECT_EQ(qm::VisibleCaptionText(qm::CaptionLines(fields, qm::kSmallImageMM)),
              "QRCode: Anna Berg A|B<C>D | Gr\xC3\xB6\xC3\x9F" "er");
    fields.Company = "Gr\xC3\xBCnwald & S\xC3\xB6hne";
    EXPECT_EQ(qm::VisibleCaptionText(qm::CaptionLines(fields, qm::kLargeImageMM)),
              "QRCode: Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne");
}

}  // namespace
