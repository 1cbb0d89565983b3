// The Win32 dialog in this process, under Wine and Xvfb. WithHost runs as
// the child of quillmark-host.exe (metrics "100,200,300,400", DBPATH
// "D:\Daten"), as the dialog does when the host starts it; NoHost runs on
// its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "UAppShell.h"
#include "UFileUtil.h"
#include "ULiveImportFrm.h"
#include "UPNGReader.h"
#include "UQRAsPNG.h"
#include "UShellJobs.h"
#include "UWinAccessible.h"
#include "UWinDpi.h"
#include "UWinText.h"

// After our headers: they declare DrawText before <windows.h> names a macro so.
#include <oleacc.h>
#include <shlobj.h>

namespace qm {
namespace {

class TRecordingOpener : public IShellOpener {
public:
    DWORD Open(HWND, const std::string& verb, const std::string& target) override {
        const std::lock_guard lock(FLock);
        FCalls.emplace_back(verb, target);
        return ERROR_SUCCESS;
    }
    DWORD ShowInFolder(HWND, const std::string& file) override {
        const std::lock_guard lock(FLock);
        FCalls.emplace_back("show in folder", file);
        return ERROR_SUCCESS;
    }
    std::vector<std::pair<std::string, std::string>> Calls() {
        const std::lock_guard lock(FLock);
        return FCalls;
    }

private:
    std::mutex FLock;
    std::vector<std::pair<std::string, std::string>> FCalls;
};

class TRecordingBox : public IMessageBox {
public:
    explicit TRecordingBox(std::vector<std::string>& texts) : FTexts(texts) {}
    void ShowError(const std::string& title, const std::string& text) override { FTexts.push_back(title + ": " + text); }

private:
    std::vector<std::string>& FTexts;
};

enum class TPumpEnd { Done, Quit, TimedOut };

// Runs the thread's messages as the program's loop does until `done` holds
// or WM_QUIT arrives, at most 20 seconds.
TPumpEnd Pump(TLiveImportFrm& form, const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return TPumpEnd::TimedOut;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return TPumpEnd::Quit;
            if (form.PreviewMessage(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return TPumpEnd::Done;
}

// True when `done` came to hold within 20 seconds (before any WM_QUIT).
bool PumpUntil(TLiveImportFrm& form, const std::function<bool()>& done) {
    return Pump(form, done) == TPumpEnd::Done;
}

// True when WM_QUIT arrived within 20 seconds.
bool PumpUntilQuit(TLiveImportFrm& form) {
    return Pump(form, [] { return false; }) == TPumpEnd::Quit;
}

// Takes away the WM_QUIT that an earlier test's form posted when it was
// destroyed, so that the next pump waits for this test's own events.
void DropLeftoverQuit() {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

std::string TitleOf(HWND window) {
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    return FromWide(title);
}

TSize ClientSize(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return {r.right, r.bottom};
}

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

void SendMouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

void SendKey(WORD key, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

// A dialog with a recording shell and message box, shown and pumped until
// its first load ended (see FirstCardBuilt).
class TShownDialog {
public:
    TShownDialog() : Shell(Opener) {
        DropLeftoverQuit();
        ReplaceMessageBox(std::make_unique<TRecordingBox>(Boxes));
        Form = std::make_unique<TLiveImportFrm>(&Shell);
        Form->OnLoadFinished = [this](bool) { ++Loads; };
        Form->Show();
    }
    ~TShownDialog() {
        Form.reset();
        ReplaceMessageBox(nullptr);
    }
    ::testing::AssertionResult FirstCardBuilt() {
        if (!PumpUntil(*Form, [this] { return Loads == 1; })) return ::testing::AssertionFailure() << "no load";
        if (Form->VcfFileName().empty())
            return ::testing::AssertionFailure() << (Boxes.empty() ? "no card" : Boxes.front());
        return ::testing::AssertionSuccess();
    }

    // What the dialog asked the shell to do; its jobs run on Shell's pool.
    std::shared_ptr<TRecordingOpener> Opener = std::make_shared<TRecordingOpener>();
    TShell Shell;
    std::vector<std::string> Boxes;
    std::unique_ptr<TLiveImportFrm> Form;
    int Loads = 0;
};

// The thread's keyboard state says `key` is held down (true) or not, as the
// dialog reads it with GetKeyState.
void HoldKey(int key, bool down) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[key] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

// A popup menu as another thread found it on screen, read and closed.
struct TShownMenu {
    RECT Rect{};
    std::vector<std::wstring> Texts;
    std::vector<UINT> States;
    std::vector<UINT> Types;
};

// Runs `open` and pumps until a popup menu has shown; another thread reads
// it and closes it with Esc (the menu's loop is modal). Nothing when no
// menu showed within 20 seconds.
std::optional<TShownMenu> MenuShownBy(TLiveImportFrm& form, const std::function<void()>& open) {
    std::optional<TShownMenu> shown;
    std::atomic<bool> done = false;
    std::thread watcher([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            const HWND menu = FindWindowW(L"#32768", nullptr);
            if (menu != nullptr && IsWindowVisible(menu)) {
                TShownMenu m;
                GetWindowRect(menu, &m.Rect);
                const auto items = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
                for (int i = 0; items != nullptr && i < GetMenuItemCount(items); ++i) {
                    wchar_t text[128] = {};
                    MENUITEMINFOW info{};
                    info.cbSize = sizeof info;
                    info.fMask = MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
                    info.dwTypeData = text;
                    info.cch = 128;
                    GetMenuItemInfoW(items, static_cast<UINT>(i), TRUE, &info);
                    m.Texts.emplace_back(text);
                    m.States.push_back(info.fState);
                    m.Types.push_back(info.fType);
                }
                shown = std::move(m);
                PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
                break;
            }
            Sleep(20);
        }
        done = true;
    });
    open();
    PumpUntil(form, [&] { return done.load(); });
    watcher.join();
    return shown;
}

// The number of pixels in row `y` of `shot` from x0 to x1 that are not white.
int InkInRow(const TRGBImage& shot, int y, int x0, int x1) {
    int ink = 0;
    const auto row = shot.Row(y);
    for (int x = x0; x < x1; ++x)
        if (row[x * 3] != 255 || row[x * 3 + 1] != 255 || row[x * 3 + 2] != 255) ++ink;
    return ink;
}

TEST(WithHost, LoadsPlacesRebuildsOpensAndCloses) {
    std::vector<std::string> boxes;
    ReplaceMessageBox(std::make_unique<TRecordingBox>(boxes));
    const auto opener = std::make_shared<TRecordingOpener>();
    TShell shell(opener);
    auto form = std::make_unique<TLiveImportFrm>(&shell);
    ASSERT_TRUE(form->CreatedWithoutFailure());
    int loads = 0;
    bool built = false;
    form->OnLoadFinished = [&](bool ok) {
        ++loads;
        built = ok;
    };
    form->Show();
    ASSERT_TRUE(PumpUntil(*form, [&] { return loads == 1; }));
    ASSERT_TRUE(built) << (boxes.empty() ? "" : boxes.front());

    const HWND window = form->Handle();
    EXPECT_TRUE(TitleOf(window).ends_with(" in D:\\Daten\\")) << TitleOf(window);
    RECT outer{};
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.left, 150);
    EXPECT_EQ(outer.top, 250);
    ASSERT_EQ(form->PixelsPerInch(), 96);
    EXPECT_EQ(ClientSize(window), (TSize{502, 531}));
    // The card's 77 modules of 5 or 6 pixels: 24 pixels of quiet zone around them.
    EXPECT_EQ(form->ImageRect(), (TRect{24, 53, 478, 507}));
    // Tahoma 9 pt at the screen's 96 pixels per inch: 12 pixels high.
    LOGFONTW font{};
    ASSERT_EQ(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font),
              static_cast<int>(sizeof font));
    EXPECT_EQ(font.lfHeight, -12);
    EXPECT_EQ(std::wstring(font.lfFaceName), L"Tahoma");

    // A press on the caption's link: the large image.
    TMarkupLabel& label = form->Label();
    int linkX = -1;
    for (int x = 0; x < label.Width() && linkX < 0; ++x)
        if (label.GetAnchorAt(x, 12) == "x") linkX = x + 3;
    ASSERT_GE(linkX, 0) << "no link in the caption";
    SendMessageW(label.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(linkX, 12));
    SendMessageW(label.Handle(), WM_LBUTTONUP, 0, At(linkX, 12));
    ASSERT_TRUE(PumpUntil(*form, [&] { return loads == 2; }));
    EXPECT_TRUE(built);
    EXPECT_EQ(form->Image().Width, 756);
    EXPECT_EQ(ClientSize(window), (TSize{836, 865}));
    EXPECT_EQ(label.GetAnchorAt(linkX, 12), "");

    // F5: the small image again.
    PostMessageW(window, WM_KEYDOWN, VK_F5, 0);
    ASSERT_TRUE(PumpUntil(*form, [&] { return loads == 3; }));
    EXPECT_EQ(form->Image().Width, 454);
    EXPECT_EQ(ClientSize(window), (TSize{502, 531}));

    // A double click on the image asks the shell to open the .vcf.
    const TRect image = form->ImageRect();
    const LPARAM centre = At((image.Left + image.Right) / 2, (image.Top + image.Bottom) / 2);
    SendMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, centre);
    shell.Pool().WaitForDone();
    const std::string vcf = form->VcfFileName();
    const std::string png = form->PngFileName();
    ASSERT_EQ(opener->Calls().size(), 1u);
    EXPECT_EQ(opener->Calls()[0], (std::pair<std::string, std::string>{"open", vcf}));
    EXPECT_LE(shell.Pool().ThreadCount(), kShellWorkerThreads);

    // A press held still on the image becomes a drag (idle time-out) of the
    // .vcf, copy only; with Ctrl held, of the .png. The modal OLE loop is
    // replaced by one that reads the data object and drops as copy.
    std::vector<std::vector<std::string>> dropped;
    std::vector<DWORD> allowed;
    form->DragSource().SetDragRunner([&](IDataObject* data, IDropSource*, DWORD ok, DWORD* effect) {
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium{};
        if (SUCCEEDED(data->GetData(&format, &medium))) {
            dropped.push_back(FilesOfDrop(static_cast<HDROP>(medium.hGlobal)));
            ReleaseStgMedium(&medium);
        }
        allowed.push_back(ok);
        *effect = DROPEFFECT_COPY;
        return DRAGDROP_S_DROP;
    });
    SetForegroundWindow(window);
    POINT onImage{(image.Left + image.Right) / 2, (image.Top + image.Bottom) / 2};
    ClientToScreen(window, &onImage);
    for (const bool ctrl : {false, true}) {
        SetCursorPos(onImage.x, onImage.y);
        if (ctrl) SendKey(VK_CONTROL, 0);
        SendMouse(MOUSEEVENTF_LEFTDOWN);
        EXPECT_TRUE(PumpUntil(*form, [&] { return dropped.size() == (ctrl ? 2u : 1u); }));
        SendMouse(MOUSEEVENTF_LEFTUP);
        if (ctrl) SendKey(VK_CONTROL, KEYEVENTF_KEYUP);
        // Past the double-click time, so that the next press is a press again.
        const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(GetDoubleClickTime() + 200);
        ASSERT_TRUE(PumpUntil(*form, [&] { return std::chrono::steady_clock::now() > settle; }));
    }
    ASSERT_EQ(dropped.size(), 2u);
    EXPECT_EQ(dropped[0], std::vector<std::string>{vcf});
    EXPECT_EQ(dropped[1], std::vector<std::string>{png});
    EXPECT_EQ(allowed, (std::vector<DWORD>{DROPEFFECT_COPY, DROPEFFECT_COPY}));
    EXPECT_EQ(opener->Calls().size(), 1u);

    // Esc pressed while the caption has the keyboard: the form sees it first
    // and closes; the pair goes at once, not after the window (which Wine
    // without a window manager takes 2 s to take down).
    const auto esc = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration pairWent = std::chrono::hours(1);
    std::thread watcher([&] {
        while (std::chrono::steady_clock::now() - esc < std::chrono::seconds(10)) {
            if (!FileExistsEx(vcf) && !FileExistsEx(png)) {
                pairWent = std::chrono::steady_clock::now() - esc;
                return;
            }
            Sleep(10);
        }
    });
    PostMessageW(label.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(PumpUntilQuit(*form));
    watcher.join();
    EXPECT_LT(pairWent, std::chrono::seconds(1));
    EXPECT_EQ(form->Handle(), nullptr);
    form.reset();
    EXPECT_TRUE(boxes.empty());
    ReplaceMessageBox(nullptr);
}

// What a screen reader reads of `window` through MSAA (its client object):
// role, name and default action of the window itself (`child` 0) or of one
// of its elements, and the state.
struct TRead {
    long Role = 0;
    long State = 0;
    std::string Name;
    std::string Action;
};
TRead ReadAccessible(HWND window, long child = CHILDID_SELF) {
    TRead read;
    IAccessible* object = nullptr;
    if (AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&object)) !=
        S_OK)
        return read;
    VARIANT v;
    if (object->get_accRole(qm::I4(child), &v) == S_OK) read.Role = v.lVal;
    if (object->get_accState(qm::I4(child), &v) == S_OK) read.State = v.lVal;
    BSTR text = nullptr;
    if (object->get_accName(qm::I4(child), &text) == S_OK) read.Name = FromWide(text);
    SysFreeString(std::exchange(text, nullptr));
    if (object->get_accDefaultAction(qm::I4(child), &text) == S_OK) read.Action = FromWide(text);
    SysFreeString(text);
    object->Release();
    return read;
}

// Asks `window`'s MSAA object to do the default action of `child`.
HRESULT DoDefaultAction(HWND window, long child = CHILDID_SELF) {
    IAccessible* object = nullptr;
    HRESULT result =
        AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&object));
    if (result != S_OK) return result;
    result = object->accDoDefaultAction(qm::I4(child));
    object->Release();
    return result;
}

// Ctrl+C, "+" and what a screen reader finds: a dialog named apart from its
// title, the picture as a focused graphic that opens the card, the caption as
// static text with the link as its child.
TEST(WithHost, CopiesTheCardGrowsWithPlusAndNamesItsParts) {
    const TOleInitialization ole;
    TShownDialog dialog;
    ASSERT_TRUE(dialog.FirstCardBuilt());
    TLiveImportFrm* const form = dialog.Form.get();
    int& loads = dialog.Loads;
    const HWND window = form->Handle();

    wchar_t text[512] = {};
    GetWindowTextW(form->ImageControl(), text, 512);
    EXPECT_EQ(FromWide(text), "QR-Code der Visitenkarte von Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH");
    GetWindowTextW(form->Label().Handle(), text, 512);
    EXPECT_EQ(FromWide(text), "QRCode: Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH | Gr\xC3\xB6\xC3\x9F" "er");

    const TRead dialogRead = ReadAccessible(window);
    EXPECT_EQ(dialogRead.Role, ROLE_SYSTEM_DIALOG);
    EXPECT_TRUE(dialogRead.Name.starts_with("Visitenkarte als QR-Code: ")) << dialogRead.Name;
    EXPECT_NE(dialogRead.Name, TitleOf(window));
    const TRead picture = ReadAccessible(form->ImageControl());
    EXPECT_EQ(picture.Role, ROLE_SYSTEM_GRAPHIC);
    EXPECT_EQ(picture.Name, "QR-Code der Visitenkarte von Anna Berg Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH");
    EXPECT_EQ(picture.State & (STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED),
              STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED);
    EXPECT_EQ(picture.Action, "\xC3\x96" "ffnen");
    const TRead caption = ReadAccessible(form->Label().Handle());
    EXPECT_EQ(caption.Role, ROLE_SYSTEM_STATICTEXT);
    EXPECT_EQ(caption.Name, FromWide(text));
    const TRead link = ReadAccessible(form->Label().Handle(), 1);
    EXPECT_EQ(link.Role, ROLE_SYSTEM_LINK);
    EXPECT_EQ(link.Name, "Gr\xC3\xB6\xC3\x9F" "er");
    EXPECT_NE(link.State & STATE_SYSTEM_FOCUSABLE, 0);
    EXPECT_EQ(link.Action, "Klicken");
    EXPECT_EQ(DoDefaultAction(form->ImageControl()), S_OK);
    dialog.Shell.Pool().WaitForDone();
    EXPECT_EQ(dialog.Opener->Calls(),
              (std::vector<std::pair<std::string, std::string>>{{"open", form->VcfFileName()}}));

    // Ctrl held as the thread's keyboard state says, then C.
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(window, WM_KEYDOWN, 'C', 0);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    ASSERT_TRUE(OpenClipboard(nullptr));
    const auto drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    std::vector<std::string> files = drop != nullptr ? FilesOfDrop(drop) : std::vector<std::string>{};
    const HANDLE unicode = GetClipboardData(CF_UNICODETEXT);
    std::string copied;
    if (unicode != nullptr) {
        copied = FromWide(static_cast<const wchar_t*>(GlobalLock(unicode)));
        GlobalUnlock(unicode);
    }
    CloseClipboard();
    EXPECT_EQ(files, std::vector<std::string>{form->VcfFileName()});
    EXPECT_TRUE(copied.starts_with("BEGIN:VCARD\r\nVERSION:4.0\r\n")) << copied;

    PostMessageW(window, WM_KEYDOWN, VK_OEM_PLUS, 0);
    ASSERT_TRUE(PumpUntil(*form, [&] { return loads == 2; }));
    EXPECT_EQ(form->Image().Width, 756);
    PostMessageW(window, WM_KEYDOWN, VK_OEM_MINUS, 0);
    ASSERT_TRUE(PumpUntil(*form, [&] { return loads == 3; }));
    EXPECT_EQ(form->Image().Width, 454);
    // The link's default action: the large image.
    EXPECT_EQ(DoDefaultAction(form->Label().Handle(), 1), S_OK);
    ASSERT_TRUE(PumpUntil(*form, [&] { return loads == 4; }));
    EXPECT_EQ(form->Image().Width, 756);
    EXPECT_TRUE(dialog.Boxes.empty());
}

// Tab order, the focus frames, Enter on the picture and on the link, Space
// on the link, and the context menu by keyboard.
TEST(WithHost, TheKeyboardReachesThePictureTheLinkAndTheMenu) {
    TShownDialog dialog;
    ASSERT_TRUE(dialog.FirstCardBuilt());
    TLiveImportFrm& form = *dialog.Form;
    const HWND picture = form.ImageControl();
    const HWND link = form.Label().Handle();
    const TRect image = form.ImageRect();
    // The frame goes around the picture on the white panel (96 dpi here).
    const int frameRow = image.Top - TLiveImportFrm::kFocusFrameGap;
    const auto frameShows = [&] { return InkInRow(form.CaptureClient(), frameRow, image.Left, image.Right) > 0; };

    // The picture has the focus first, with its frame.
    EXPECT_EQ(GetFocus(), picture);
    EXPECT_TRUE(frameShows());
    PostMessageW(picture, WM_KEYDOWN, VK_TAB, 0);
    ASSERT_TRUE(PumpUntil(form, [&] { return GetFocus() == link; }));
    EXPECT_EQ(form.Label().FocusedAnchor(), 1);
    EXPECT_FALSE(frameShows());
    HoldKey(VK_SHIFT, true);
    PostMessageW(link, WM_KEYDOWN, VK_TAB, 0);
    const bool back = PumpUntil(form, [&] { return GetFocus() == picture; });
    HoldKey(VK_SHIFT, false);
    ASSERT_TRUE(back);

    // Enter on the picture opens the card.
    PostMessageW(picture, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(PumpUntil(form, [&] { return !dialog.Opener->Calls().empty(); }));
    EXPECT_EQ(dialog.Opener->Calls()[0], (std::pair<std::string, std::string>{"open", form.VcfFileName()}));

    // Enter, then Space on the focused link: the large image (and no link
    // there: Tab goes back to the picture, F5 brings the small one).
    for (const WPARAM key : {VK_RETURN, VK_SPACE}) {
        PostMessageW(picture, WM_KEYDOWN, VK_TAB, 0);
        ASSERT_TRUE(PumpUntil(form, [&] { return GetFocus() == link; }));
        const int loads = dialog.Loads;
        PostMessageW(link, WM_KEYDOWN, key, 0);
        ASSERT_TRUE(PumpUntil(form, [&] { return dialog.Loads == loads + 1; }));
        EXPECT_EQ(form.Image().Width, 756);
        PostMessageW(link, WM_KEYDOWN, VK_TAB, 0);
        ASSERT_TRUE(PumpUntil(form, [&] { return GetFocus() == picture; }));
        PostMessageW(picture, WM_KEYDOWN, VK_F5, 0);
        ASSERT_TRUE(PumpUntil(form, [&] { return dialog.Loads == loads + 2; }));
    }
    dialog.Shell.Pool().WaitForDone();
    EXPECT_EQ(dialog.Opener->Calls().size(), 1u);

    // Shift+F10 and the menu key on the picture: the context menu at its
    // centre, "Für ältere Telefone (vCard 3.0)" with its check state.
    POINT centre{(image.Left + image.Right) / 2, (image.Top + image.Bottom) / 2};
    ClientToScreen(form.Handle(), &centre);
    const std::optional<TShownMenu> shiftF10 = MenuShownBy(form, [&] {
        HoldKey(VK_SHIFT, true);
        SendMessageW(picture, WM_SYSKEYDOWN, VK_F10, 0);
        HoldKey(VK_SHIFT, false);
    });
    ASSERT_TRUE(shiftF10) << "no menu";
    EXPECT_EQ(shiftF10->Rect.left, centre.x);
    EXPECT_EQ(shiftF10->Rect.top, centre.y);
    ASSERT_EQ(shiftF10->Texts.size(), 6u);
    EXPECT_EQ(shiftF10->Texts[4], L"F\u00FCr \u00E4ltere Telefone (vCard 3.0)");
    EXPECT_EQ(shiftF10->States[4] & MFS_CHECKED, 0u);
    const std::optional<TShownMenu> menuKey = MenuShownBy(form, [&] {
        PostMessageW(picture, WM_KEYDOWN, VK_APPS, 0);
        PostMessageW(picture, WM_KEYUP, VK_APPS, 0);
    });
    ASSERT_TRUE(menuKey) << "no menu";
    EXPECT_EQ(menuKey->Rect.left, centre.x);
    EXPECT_TRUE(dialog.Boxes.empty());
}

// A dialog shown under the test host, its boxes recorded, after its first
// load; the box is restored when it goes.
struct TLoadedDialog {
    TLoadedDialog() {
        DropLeftoverQuit();
        ReplaceMessageBox(std::make_unique<TRecordingBox>(Boxes));
        Form->OnLoadFinished = [this](bool) { ++Loads; };
        Form->Show();
        Loaded = PumpUntil(*Form, [this] { return Loads == 1; });
    }
    ~TLoadedDialog() {
        Form.reset();
        ReplaceMessageBox(nullptr);
    }
    std::vector<std::string> Boxes;
    std::unique_ptr<TLiveImportFrm> Form = std::make_unique<TLiveImportFrm>();
    int Loads = 0;
    bool Loaded = false;
};

// Log-off or shut-down: Windows may end the process once WM_ENDSESSION
// returns, so the pair goes then, not with the window.
TEST(WithHost, TheSessionsEndRemovesThePair) {
    TLoadedDialog dialog;
    ASSERT_TRUE(dialog.Loaded);
    auto& form = dialog.Form;
    const std::vector<std::string>& boxes = dialog.Boxes;
    const std::string vcf = form->VcfFileName();
    const std::string png = form->PngFileName();
    ASSERT_FALSE(vcf.empty()) << (boxes.empty() ? "" : boxes.front());
    const HWND window = form->Handle();
    EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    SendMessageW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);  // cancelled: the card stays
    EXPECT_TRUE(FileExistsEx(vcf));
    SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_FALSE(FileExistsEx(vcf));
    EXPECT_FALSE(FileExistsEx(png));
    EXPECT_EQ(form->VcfFileName(), "");
    // The Restart Manager's end of this program: the window closes.
    SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
    EXPECT_TRUE(PumpUntilQuit(*form));
    EXPECT_TRUE(boxes.empty());
}

// "Kopieren" from the context menu, then Esc: the window and the pair are
// gone, and a paste through OLE, as Explorer and mail programs make it,
// still gives the card's file under its name, from the clipboard's copy.
TEST(WithHost, ACopyFromTheMenuOutlivesTheWindow) {
    TLoadedDialog dialog;
    ASSERT_TRUE(dialog.Loaded);
    auto& form = dialog.Form;
    const std::vector<std::string>& boxes = dialog.Boxes;
    const std::string vcf = form->VcfFileName();
    ASSERT_FALSE(vcf.empty()) << (boxes.empty() ? "" : boxes.front());
    const std::string bytes = ReadFileToString(vcf);
    std::vector<std::wstring> entries;
    form->SetMenuRunner([&](HMENU menu, POINT) {
        UINT copy = 0;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[128] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
            entries.emplace_back(text);
            if (entries.back() == L"Kopieren") copy = GetMenuItemID(menu, i);
        }
        return copy;
    });
    SendMessageW(form->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(form->Handle()), -1);
    ASSERT_EQ(entries.size(), 6u);
    PostMessageW(form->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(PumpUntilQuit(*form));
    EXPECT_FALSE(FileExistsEx(vcf));

    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    IDataObject* data = nullptr;
    ASSERT_EQ(OleGetClipboard(&data), S_OK);
    const auto get = [&](const wchar_t* name) {
        FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name)), nullptr, DVASPECT_CONTENT, -1,
                         TYMED_HGLOBAL};
        STGMEDIUM medium{};
        if (data->GetData(&format, &medium) != S_OK) return std::string();
        std::string out(static_cast<const char*>(GlobalLock(medium.hGlobal)), GlobalSize(medium.hGlobal));
        GlobalUnlock(medium.hGlobal);
        ReleaseStgMedium(&medium);
        return out;
    };
    const std::string group = get(CFSTR_FILEDESCRIPTORW);
    FILEGROUPDESCRIPTORW descriptor{};
    ASSERT_GE(group.size(), sizeof descriptor);
    std::memcpy(&descriptor, group.data(), sizeof descriptor);
    EXPECT_EQ(FromWide(descriptor.fgd[0].cFileName), ExtractFileName(vcf));
    EXPECT_EQ(get(CFSTR_FILECONTENTS).substr(0, bytes.size()), bytes);
    data->Release();
    OleUninitialize();
    EXPECT_TRUE(boxes.empty());
}

// Run as the child of a host slow to answer (300 ms before each 16 bytes of
// a reply): a load waits for it seconds long, off the window's thread.
// Meanwhile the window answers what the system's hung-window check sends,
// and a close during the second load ends the dialog at once: the window
// goes and the first load's pair with it while the load still waits, and
// the load writes nothing when it ends.
TEST(SlowHost, TheWindowAnswersWhileTheLoadWaitsAndACloseEndsItAtOnce) {
    DropLeftoverQuit();
    std::vector<std::string> boxes;
    ReplaceMessageBox(std::make_unique<TRecordingBox>(boxes));
    auto form = std::make_unique<TLiveImportFrm>();
    int loads = 0;
    std::string vcf, png;
    std::chrono::steady_clock::time_point closed;
    form->OnLoadFinished = [&](bool) {
        if (++loads != 1) return;
        vcf = form->VcfFileName();
        png = form->PngFileName();
        PostMessageW(form->Handle(), WM_LOADCARD, 0, 0);
        PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
        closed = std::chrono::steady_clock::now();
    };
    // Checked until the close: then the window goes.
    std::atomic<bool> stop{false};
    struct TEnd {
        std::chrono::steady_clock::duration AfterClose;
        int Loads;
        bool Shown, PairLeft;
    };
    std::optional<TEnd> ended;
    form->EndProcessInLoad = [&] {
        stop = true;
        RECT shape{};
        ended = TEnd{std::chrono::steady_clock::now() - closed, loads,
                     GetWindowRgnBox(form->Handle(), &shape) != NULLREGION, FileExistsEx(vcf) || FileExistsEx(png)};
    };
    form->Show();
    const HWND window = form->Handle();
    std::atomic<int> answered{0}, unanswered{0};
    std::thread checker([&] {
        while (!stop) {
            DWORD_PTR result = 0;
            const bool ok = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
            if (stop) break;
            ++(ok ? answered : unanswered);
            Sleep(100);
        }
    });
    // The window's WM_QUIT may come before or after the second load's end.
    EXPECT_NE(Pump(*form, [&] { return loads == 2; }), TPumpEnd::TimedOut);
    stop = true;
    checker.join();
    if (loads < 2) {
        EXPECT_TRUE(PumpUntil(*form, [&] { return loads == 2; }));
    }
    EXPECT_FALSE(vcf.empty()) << (boxes.empty() ? "" : boxes.front());
    ASSERT_TRUE(ended) << "the close waited for the load";
    EXPECT_LT(ended->AfterClose, std::chrono::seconds(3));
    EXPECT_EQ(ended->Loads, 1);
    EXPECT_FALSE(ended->Shown);
    EXPECT_FALSE(ended->PairLeft);
    EXPECT_EQ(form->Handle(), nullptr);
    // The second load came to its end and wrote no pair (of the same name).
    EXPECT_FALSE(FileExistsEx(vcf));
    EXPECT_FALSE(FileExistsEx(png));
    EXPECT_GE(answered.load(), 5);
    EXPECT_EQ(unanswered.load(), 0);
    form.reset();
    ReplaceMessageBox(nullptr);
}

struct TFoundBox {
    HWND Box = nullptr;
    std::wstring Text;
};

BOOL CALLBACK CollectStaticText(HWND child, LPARAM data) {
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (std::wstring_view(className) == L"Static") {
        wchar_t text[512] = {};
        GetWindowTextW(child, text, 512);
        reinterpret_cast<TFoundBox*>(data)->Text += text;
    }
    return TRUE;
}

TEST(NoHost, TheNoConnectionMessageShowsInAnErrorBoxTitledQuillmark) {
    // The program's box, as its main installs it.
    ReplaceMessageBox(std::make_unique<TWinMessageBox>());
    TLiveImportFrm form;
    int loads = 0;
    bool built = true;
    form.OnLoadFinished = [&](bool ok) {
        ++loads;
        built = ok;
    };
    // The box is modal: another thread finds it, reads it and closes it.
    TFoundBox found;
    std::thread watcher([&found] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            const HWND box = FindWindowW(L"#32770", L"Quillmark");
            if (box != nullptr) {
                // The box may be found before it has set its text.
                found.Box = box;
                for (;;) {
                    found.Text.clear();
                    EnumChildWindows(box, &CollectStaticText, reinterpret_cast<LPARAM>(&found));
                    if (!found.Text.empty() || std::chrono::steady_clock::now() >= end) break;
                    Sleep(20);
                }
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(50);
        }
    });
    form.Show();
    EXPECT_TRUE(PumpUntil(form, [&] { return loads == 1; }));
    watcher.join();
    EXPECT_FALSE(built);
    ASSERT_NE(found.Box, nullptr) << "no message box titled Quillmark";
    // The message ends in ")": no "." is appended.
    EXPECT_NE(found.Text.find(L"Keine Verbindung zu Corvanta (Corvanta muss gestartet sein)"), std::wstring::npos)
        << FromWide(found.Text);
    EXPECT_FALSE(found.Text.ends_with(L".")) << FromWide(found.Text);
    EXPECT_EQ(TitleOf(form.Handle()), "Quillmark");
    ReplaceMessageBox(nullptr);
}

// The rectangle around every pixel of `shot` in rows [top, bottom) that is
// not white (the panel); empty when there is none.
TRect InkBounds(const TRGBImage& shot, int top, int bottom) {
    TRect ink{shot.Width, bottom, 0, top};
    for (int y = top; y < bottom; ++y) {
        const auto row = shot.Row(y);
        for (int x = 0; x < shot.Width; ++x) {
            if (row[x * 3] == 255 && row[x * 3 + 1] == 255 && row[x * 3 + 2] == 255) continue;
            ink = {std::min(ink.Left, x), std::min(ink.Top, y), std::max(ink.Right, x + 1), std::max(ink.Bottom, y + 1)};
        }
    }
    return ink;
}

// The caption line as drawn: whole inside the label with room on every side
// (half the label's border at least, so the label's edge cuts nothing), as
// tall as the dialog font at `dpi`, nothing of it between label and the
// picture's focus frame.
void ExpectCaptionInsideLabel(const TLiveImportFrm& form, int dpi) {
    const TRGBImage shot = form.CaptureClient();
    const TMarkupLabel& label = form.Label();
    const int room = label.BorderWidth() / 2;
    // Above the picture's focus frame.
    const TRect ink =
        InkBounds(shot, 0, form.ImageRect().Top - MulDiv(TLiveImportFrm::kFocusFrameGap, dpi, kDesignPixelsPerInch));
    ASSERT_LT(ink.Left, ink.Right) << "no caption drawn";
    EXPECT_GE(ink.Top, room);
    EXPECT_LE(ink.Bottom, label.Height() - room) << "label " << label.Height() << " high";
    EXPECT_LE(ink.Right, label.Width() - room);
    EXPECT_GE(ink.Bottom - ink.Top, MulDiv(kDialogFontPoints, dpi, 72) * 3 / 4);
}

int PngWidth(const std::string& path) { return ReadPNGRGB(ReadFileToString(path)).Width; }

// The width of the icon `window` shows as ICON_SMALL or ICON_BIG; 0 for none.
int WindowIconWidth(HWND window, WPARAM which) {
    ICONINFO info{};
    const auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, which, 0));
    if (icon == nullptr || !GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    return bitmap.bmWidth;
}

// Run by WinDialog.Density144 and .Density192 in a Wine prefix of that
// system density, on a 1920 x 1080 screen, as the host's child.
TEST(Density, TheDialogIsLaidOutAtTheMonitorsDensityAndFollowsItsChange) {
    const char* dpiText = std::getenv("QM_TEST_DPI");
    if (dpiText == nullptr) GTEST_SKIP() << "runs in a prefix of a set density (QM_TEST_DPI)";
    const int dpi = std::atoi(dpiText);
    TShownDialog dialog;
    ASSERT_TRUE(dialog.FirstCardBuilt());
    TLiveImportFrm* const form = dialog.Form.get();
    int& loads = dialog.Loads;
    const HWND window = form->Handle();

    // The manifest's awareness: the window's density is the system's.
    ASSERT_EQ(form->PixelsPerInch(), dpi);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -MulDiv(kDialogFontPoints, dpi, 72));
    // 120 mm at the density, the caption whole above it.
    const int normal = dpi == 144 ? 680 : 907;
    EXPECT_EQ(form->Image().Width, normal);
    EXPECT_EQ(PngWidth(form->PngFileName()), normal);
    EXPECT_EQ(ClientSize(window), dpi == 144 ? (TSize{752, 796}) : (TSize{1003, 1061}));
    ExpectCaptionInsideLabel(*form, dpi);
    // The title bar's and the task bar's icons are the icon's frames for
    // the density.
    EXPECT_EQ(WindowIconWidth(window, ICON_SMALL), SystemMetricAtDpi(SM_CXSMICON, dpi));
    EXPECT_EQ(WindowIconWidth(window, ICON_BIG), SystemMetricAtDpi(SM_CXICON, dpi));

    // The large code: as large as its whole window fits the monitor's work
    // area. At 192 dpi not even the normal one's does (1061 rows inside with
    // 48 pixels of quiet zone above and below): the code stays at 120 mm.
    PostMessageW(window, WM_KEYDOWN, VK_OEM_PLUS, 0);
    ASSERT_TRUE(PumpUntil(*form, [&] { return loads == 2; }));
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT outer{};
    GetWindowRect(window, &outer);
    EXPECT_GE(outer.top, monitor.rcWork.top);
    EXPECT_LE(outer.right, monitor.rcWork.right);
    if (dpi == 144) {
        EXPECT_GT(form->Image().Width, normal);
        EXPECT_LT(form->Image().Width, 1134);  // 200 mm at 144 dpi
        EXPECT_LE(outer.bottom, monitor.rcWork.bottom);
    } else {
        EXPECT_EQ(form->Image().Width, normal);
    }
    PostMessageW(window, WM_KEYDOWN, VK_F5, 0);
    ASSERT_TRUE(PumpUntil(*form, [&] { return loads == 3; }));

    if (dpi == 144) {
        // Moved to a 192-dpi monitor: the suggested rectangle taken, the
        // image made anew for 192 dpi, the card itself unchanged.
        const std::string vcf = ReadFileToString(form->VcfFileName());
        GetWindowRect(window, &outer);
        RECT suggested{outer.left, outer.top, outer.left + MulDiv(outer.right - outer.left, 192, 144),
                       outer.top + MulDiv(outer.bottom - outer.top, 192, 144)};
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(form->PixelsPerInch(), 192);
        EXPECT_EQ(WindowIconWidth(window, ICON_SMALL), SystemMetricAtDpi(SM_CXSMICON, 192));
        EXPECT_EQ(PngWidth(form->PngFileName()), 907);
        EXPECT_EQ(form->Image().Width, 907);
        EXPECT_EQ(ReadFileToString(form->VcfFileName()), vcf);
        // The outer size is made for a 192-dpi frame (AdjustWindowRectExForDpi);
        // Wine, whose monitor stays at 144 dpi, draws the frame it has, so
        // only the client width is exact here.
        EXPECT_EQ(ClientSize(window).Width, 1003);
        GetWindowRect(window, &outer);
        EXPECT_EQ(outer.left, suggested.left);
        UpdateWindow(window);
        ExpectCaptionInsideLabel(*form, 192);
    }
    EXPECT_TRUE(dialog.Boxes.empty()) << dialog.Boxes.front();
}

}  // namespace
}  // namespace qm
