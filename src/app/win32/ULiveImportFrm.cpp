#include "ULiveImportFrm.h"

#include "UWinApi.h"

#include <commctrl.h>
#include <oleacc.h>
#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "UAppShell.h"
#include "UBoundedCall.h"
#include "UCardClipboard.h"
#include "UContrast.h"
#include "UErrors.h"
#include "UFileUtil.h"
#include "UGdiSurface.h"
#include "UPNGReader.h"
#include "UQRAsPNG.h"
#include "URegistrySettingsStore.h"
#include "UScreenSetup.h"
#include "UShellJobs.h"
#include "UStringList.h"
#include "UWinDpi.h"
#include "UWinHandle.h"
#include "UWinScreens.h"
#include "UWinText.h"

namespace qm {

namespace {

constexpr TPoint kDesignPosition{233, 303};
// The program's icon in its resources (quillmark.rc).
constexpr WORD kIconResource = 1;

// bsDialog: a caption and a system menu, a fixed frame, no minimise or
// maximise box.
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;

void RegisterDialogClass(WNDPROC procedure) {
    static bool registered = false;
    if (registered) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    // Double clicks on the image arrive as WM_LBUTTONDBLCLK only with CS_DBLCLKS.
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(kIconResource));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = TLiveImportFrm::kWindowClass;
    if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw EQuillmarkError("Die Fensterklasse kann nicht angemeldet werden: " + SystemErrorText(GetLastError()));
    registered = true;
}

// The outer size of a window of the dialog's styles around `client` at
// `pixelsPerInch`: the frame's metrics at that density.
TSize OuterSize(TSize client, int pixelsPerInch) {
    RECT r{0, 0, client.Width, client.Height};
    AdjustWindowRectAtDpi(&r, kStyle, FALSE, kExStyle, static_cast<UINT>(pixelsPerInch));
    return {r.right - r.left, r.bottom - r.top};
}

// Whether `window` is `ancestor` or lies below it.
bool IsWithin(HWND window, HWND ancestor) { return window == ancestor || IsChild(ancestor, window); }

// The picture control's subclass id (SetWindowSubclass).
constexpr UINT_PTR kPictureSubclass = 1;

// The dialog's key that the virtual key `key` is (either keyboard block's
// "+" and "-"; VK_RETURN is either Enter); none for a key the dialog has no
// use for.
std::optional<TDialogKey> DialogKeyOf(WPARAM key) {
    switch (key) {
        case VK_ESCAPE:
            return TDialogKey::Escape;
        case VK_F5:
            return TDialogKey::F5;
        case VK_OEM_PLUS:
        case VK_ADD:
            return TDialogKey::Plus;
        case VK_OEM_MINUS:
        case VK_SUBTRACT:
            return TDialogKey::Minus;
        case 'C':
            return TDialogKey::C;
        case 'O':
            return TDialogKey::O;
        case VK_RETURN:
            return TDialogKey::Return;
        default:
            return std::nullopt;
    }
}

// Carries out what the virtual key `key` that went down asks of the dialog,
// with Ctrl as the keyboard holds it; false when it asks for nothing.
bool ActOnKey(TDialogController& controller, WPARAM key) {
    const std::optional<TDialogKey> dialogKey = DialogKeyOf(key);
    const std::optional<TDialogIntent> intent =
        dialogKey ? IntentOfKey(*dialogKey, GetKeyState(VK_CONTROL) < 0) : std::nullopt;
    if (intent) controller.Act(*intent);
    return intent.has_value();
}

}  // namespace

// The window is a dialog named for screen readers apart from its title.
class TLiveImportFrm::TAccessibleForm final : public IAccessibleSource {
public:
    explicit TAccessibleForm(TLiveImportFrm& form) : FForm(form) {}
    std::wstring Name() override { return ToWide(FForm.FWindowAccessibleName); }
    long Role() override { return ROLE_SYSTEM_DIALOG; }

private:
    TLiveImportFrm& FForm;
};

// The picture: a focusable graphic, named by its control's window text,
// whose default action opens the card as Enter does.
class TLiveImportFrm::TAccessiblePicture final : public IAccessibleSource {
public:
    explicit TAccessiblePicture(TLiveImportFrm& form) : FForm(form) {}
    // Its own: the standard object drops the "&" of "Grünwald & Söhne".
    std::wstring Name() override { return WindowTextOf(FForm.Image1); }
    long Role() override { return ROLE_SYSTEM_GRAPHIC; }
    long AddedState() override {
        return STATE_SYSTEM_FOCUSABLE | (GetFocus() == FForm.Image1 ? STATE_SYSTEM_FOCUSED : 0);
    }
    std::wstring DefaultAction() override { return kPictureAction; }
    bool DoDefaultAction() override {
        FForm.FController->ImageDoubleClick();
        return true;
    }

private:
    TLiveImportFrm& FForm;
};

TLiveImportFrm::TLiveImportFrm(TShell* shell) : FShell(shell) {
    RegisterDialogClass(&TLiveImportFrm::WindowProc);
    const TSize outer = OuterSize(kDesignClientSize, kDesignPixelsPerInch);
    const std::wstring title = ToWide(kApplicationTitle);
    CreateWindowExW(kExStyle, kWindowClass, title.c_str(), kStyle, kDesignPosition.X, kDesignPosition.Y, outer.Width,
                    outer.Height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (FHandle == nullptr)
        throw EQuillmarkError("Das Fenster kann nicht angelegt werden: " + SystemErrorText(GetLastError()));
    try {
        CreateParts();
    } catch (...) {
        // No half-made window stays behind: it is destroyed without its
        // procedure looking at this object, whose members are going.
        SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
        DestroyWindow(FHandle);
        FHandle = nullptr;
        throw;
    }
    // The error boxes and what the shell shows for the dialog's requests
    // belong to the dialog.
    SetMessageBoxOwner(FHandle);
    if (FShell != nullptr) FShell->SetOwner(FHandle);
}

void TLiveImportFrm::CreateParts() {
    FPixelsPerInch = WindowPixelsPerInch(FHandle);
    const TDialogLayout initial = InitialLayout(FPixelsPerInch);
    FFontHeight = initial.FontHeight;
    RecreateFont(FFontFace);

    HL = std::make_unique<TMarkupLabel>(FHandle, TRect{0, 0, initial.ClientSize.Width, initial.LabelHeight});
    TFontSpec bold;
    bold.Name = "Tahoma";
    bold.Size = kDialogFontPoints;
    bold.Bold = true;
    HL->SetFont(bold);
    HL->SetColor(FPanelColor);
    HL->SetAlign(TControlAlign::alTop);
    HL->SetBorderWidth(initial.LabelBorder);
    HL->SetPixelsPerInch(FPixelsPerInch);
    HL->SetAutoSizeType(TAutoSizeType::asVertical);
    HL->SetAutoSizing(false);
    HL->SetEllipsis(false);
    HL->SetHover(false);
    FollowTheme();
    LoadWindowIcons();
    HL->SetShadowColor(clGray);
    HL->SetShadowOffset(2);
    HL->SetVAlignment(TVAlignment::tvaTop);
    HL->SetHTMLText(std::string_view("Vcard"));
    HL->OnAnchorClick = [this](TMarkupLabel&, const std::string&) { FController->AnchorClick(); };
    // The label's failures end in the error box, as the form's own.
    HL->OnFailure = [](std::exception_ptr failure) { RunGuarded([&] { std::rethrow_exception(failure); }); };
    HL->SetLinkOpener([this](const std::string& target) {
        if (FShell != nullptr) FShell->OpenFileWithShell("open", target);
    });

    Image1 = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | SS_OWNERDRAW, FImagePos.X,
                             FImagePos.Y, 0, 0, FHandle, nullptr, GetModuleHandleW(nullptr), nullptr);
    FAccessible = std::make_shared<TAccessibleForm>(*this);
    FPictureAccessible = std::make_shared<TAccessiblePicture>(*this);
    SetWindowSubclass(Image1, &TLiveImportFrm::PictureProc, kPictureSubclass, reinterpret_cast<DWORD_PTR>(this));
    FFocusedChild = Image1;
    SetLayout(initial);

    FileDragSource1 = std::make_unique<TFileDragSource>();
    // Copy is the only drop effect offered.
    FileDragSource1->SetDragTypes(dtCopy);
    FileDragSource1->ShowImage = true;
    FileDragSource1->OnGetDragImage = [this](TFileDragSource& source, IDragSourceHelper& helper, bool& handled) {
        SetDragImageFromGraphic(source, FImage, helper, handled);
    };

    FSettings = std::make_unique<TRegistrySettingsStore>();
    FController = std::make_unique<TDialogController>(static_cast<IDialogView&>(*this), *FSettings);
    // A failure while setting up is shown and the dialog still opens, with
    // the steps before the failure done.
    FCreated = FController->FormCreate();
}

TLiveImportFrm::~TLiveImportFrm() {
    if (FHandle != nullptr) DestroyWindow(FHandle);
}

void TLiveImportFrm::Show(int showCommand) {
    ShowWindow(FHandle, showCommand);
    UpdateWindow(FHandle);
    // Without OLE on this thread the registration fails: the drag image then
    // shows only outside the dialog.
    DragImageTarget1 = std::make_unique<TDragImageTarget>();
    DragImageTarget1->RegisterWindow(FHandle);
    FController->FormShow();
}

void TLiveImportFrm::RecreateFont(const std::wstring& face) {
    // 9 points at the window's density, as a character height. The
    // character set of the system's locale: the face's glyphs for names in
    // any script it has, the font mapper's fallback for the others.
    TFontHandle font(CreateFontW(-FFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                 face.c_str()));
    if (!font) return;
    FFontFace = face;
    FFont = std::move(font);
}

LRESULT CALLBACK TLiveImportFrm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<TLiveImportFrm*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        created->FHandle = window;
    }
    auto* form = reinterpret_cast<TLiveImportFrm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        form->FHandle = nullptr;
        if (MessageBoxOwner() == window) SetMessageBoxOwner(nullptr);
        if (form->FShell != nullptr) form->FShell->SetOwner(nullptr);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // No exception may cross the system's code that called us.
    LRESULT result = 0;
    if (!RunGuarded([&] { result = form->HandleMessage(message, wParam, lParam); })) return 0;
    return result;
}

LRESULT TLiveImportFrm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the paint fills the whole client area itself
        case WM_PAINT: {
            const TPaintGuard paint(FHandle);
            if (paint.Dc() != nullptr) Paint(paint.Dc());
            return 0;
        }
        case WM_PRINTCLIENT:
            Paint(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(FFont.Get());
        case WM_SETTINGCHANGE:
            // High Contrast switched on or off (the system colours change
            // with it, but WM_SYSCOLORCHANGE need not come first).
            if (wParam != SPI_SETHIGHCONTRAST) break;
            [[fallthrough]];
        case WM_SYSCOLORCHANGE:
        case WM_THEMECHANGED:
            FollowTheme();
            RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
            break;
        case WM_GETDPISCALEDSIZE: {
            // Asked before WM_DPICHANGED (per-monitor v2): the window's size
            // at the density in wParam is that of its layout there, around
            // the image rebuilt at its millimetres, not its present size
            // scaled. The rectangle WM_DPICHANGED then suggests has the size
            // the layout gives it, placed by the system so that a window
            // being dragged stays under the mouse.
            const int dpi = static_cast<int>(wParam);
            if (!FController || dpi < 24 || dpi > 1200) break;
            const TSize outer = OuterSize(FController->ClientSizeAt(dpi), dpi);
            *reinterpret_cast<SIZE*>(lParam) = SIZE{outer.Width, outer.Height};
            return TRUE;
        }
        case WM_ENTERSIZEMOVE:
            // The user moves the window: it is not pulled back onto its
            // monitor until they let go.
            if (FController) FController->MoveStarted();
            break;
        case WM_EXITSIZEMOVE:
            if (FController) FController->MoveEnded();
            break;
        case WM_DPICHANGED: {
            // The window is on a monitor of another density now (or its
            // scaling changed): LOWORD of wParam is the new density, lParam
            // the rectangle Windows suggests for it. The window takes that
            // place, then is laid out and its image rebuilt at the density.
            const int dpi = LOWORD(wParam);
            if (dpi > 0) FPixelsPerInch = dpi;
            LoadWindowIcons();
            const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(FHandle, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                         suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
            if (FController) FController->DensityChanged();
            return 0;
        }
        case WM_LOADCARD: {
            if (FBusy) {
                FLoadAfterLoad = wParam == 1;  // one load at a time
                return 0;
            }
            const bool ok = FController->LoadCard(wParam == 1);
            if (OnLoadFinished) OnLoadFinished(ok);
            // Closed meanwhile: no load follows.
            if (const std::optional<bool> next = std::exchange(FLoadAfterLoad, std::nullopt); next && FHandle != nullptr)
                PostLoadCard(*next);
            return 0;
        }
        case WM_SHELLFAILED:
            // A request of the dialog failed on the shell's worker thread:
            // the box is shown here, owned by the dialog.
            if (FShell != nullptr)
                for (const std::string& text : FShell->TakeFailures()) ShowErrorMessage(text);
            return 0;
        case WM_KEYDOWN:
            // Keys of the children reach the form through PreviewMessage.
            if (ActOnKey(*FController, wParam)) return 0;
            break;
        case WM_ACTIVATE:
            // As a dialog box: the child that had the focus gets it back.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                if (focus != nullptr && IsChild(FHandle, focus)) FFocusedChild = focus;
            }
            break;
        case WM_SETFOCUS:
            SetFocus(FFocusedChild != nullptr && IsChild(FHandle, FFocusedChild) ? FFocusedChild : Image1);
            return 0;
        case WM_GETOBJECT:
            if (const std::optional<LRESULT> answer = AnswerGetObject(FHandle, wParam, lParam, FAccessible))
                return *answer;
            break;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->hwndItem != Image1) break;
            if (FImage.Width > 0 && FImage.Height > 0) DrawRGBImage(item->hDC, FImage, TPoint{0, 0});
            return TRUE;
        }
        case WM_RBUTTONUP:
            if (OverImage(lParam)) {
                POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                ClientToScreen(FHandle, &p);
                FController->ImageRightButtonUp({p.x, p.y});
                return 0;
            }
            break;
        case WM_CONTEXTMENU:
            // The mouse's menu comes from the image's WM_RBUTTONUP, which
            // knows whether the press became a drag; the menu key and
            // Shift+F10 (lParam -1) open it over the image's centre.
            if (lParam == -1) {
                ContextMenuAtPicture();
                return 0;
            }
            break;
        case WM_LBUTTONDBLCLK:
            if (OverImage(lParam)) FController->ImageDoubleClick();
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            if (OverImage(lParam)) {
                // The detector works in screen coordinates: a point in client
                // coordinates could be mistaken for a screen point when the
                // window sits near the desktop's top-left corner.
                POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                ClientToScreen(FHandle, &p);
                FController->ImageMouseDown({p.x, p.y}, (wParam & MK_CONTROL) != 0);
            }
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;  // nothing to save: the session may end
        case WM_ENDSESSION:
            // The session ends (wParam TRUE): the process may be ended any
            // moment after this returns, without a WM_DESTROY, so the pair
            // goes now, as when the window closes. A load waiting for the
            // host is not waited for: the dialog ends at once.
            if (wParam != FALSE && FBusy) {
                Dismiss();
                return 0;
            }
            if (wParam != FALSE && FController) {
                WithdrawCardFileFromClipboard(FHandle);
                FController->SessionEnding();
            }
            // The Restart Manager (an installer replacing this program) asks
            // the program itself to end, not the session: the window closes,
            // and with it the process.
            if (wParam != FALSE && (lParam & ENDSESSION_CLOSEAPP) != 0) PostMessageW(FHandle, WM_CLOSE, 0, 0);
            return 0;
        case WM_CLOSE:
            // Closed from outside (the close box, the host), also while a
            // load waits for the host.
            Dismiss();
            return 0;
        case WM_DESTROY:
            // The pair goes with the controller (Dismiss deleted it
            // already): a paste after that takes the clipboard's virtual
            // file instead of the deleted one.
            if (FController && !FController->VcfFileName().empty()) WithdrawCardFileFromClipboard(FHandle);
            // RevokeDragDrop while the window still exists.
            DragImageTarget1.reset();
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(FHandle, message, wParam, lParam);
}

LRESULT CALLBACK TLiveImportFrm::PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR data) noexcept {
    auto* form = reinterpret_cast<TLiveImportFrm*>(data);
    switch (message) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            // The form draws the picture's focus frame.
            InvalidateRect(form->FHandle, nullptr, FALSE);
            break;
        case WM_GETOBJECT: {
            std::optional<LRESULT> answer;
            RunGuarded([&] { answer = AnswerGetObject(window, wParam, lParam, form->FPictureAccessible); });
            if (answer) return *answer;
            break;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(window, &TLiveImportFrm::PictureProc, kPictureSubclass);
            break;
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void TLiveImportFrm::ContextMenuAtPicture() {
    const TRect r = ImageRect();
    POINT p{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    ClientToScreen(FHandle, &p);
    FController->ContextMenu({p.x, p.y});
}

bool TLiveImportFrm::PreviewMessage(const MSG& message) {
    if (FHandle == nullptr || !IsWithin(message.hwnd, FHandle)) return false;
    // The menu key opens the menu when it is released, as on the desktop.
    // Both its messages stay here, so that no default handling opens a
    // second menu (Windows' DefWindowProc sends WM_CONTEXTMENU for it; Wine
    // has none).
    if ((message.message == WM_KEYDOWN || message.message == WM_KEYUP) && message.wParam == VK_APPS) {
        if (message.message == WM_KEYUP) RunGuarded([&] { ContextMenuAtPicture(); });
        return true;
    }
    if (message.message != WM_KEYDOWN) return false;
    bool handled = false;
    RunGuarded([&] { handled = PreviewKey(message.hwnd, message.wParam); });
    return handled;
}

bool TLiveImportFrm::PreviewKey(HWND target, WPARAM key) {
    if (key == VK_TAB) {
        MoveFocus(GetKeyState(VK_SHIFT) < 0);
        return true;
    }
    // The form's own keys reach its window procedure; a focused link takes
    // Enter and Space as its click.
    if (target == FHandle) return false;
    if (target == HL->Handle() && (key == VK_RETURN || key == VK_SPACE)) return false;
    return ActOnKey(*FController, key);
}

void TLiveImportFrm::MoveFocus(bool backwards) {
    const HWND focus = GetFocus();
    const HWND label = HL->Handle();
    if (focus == label && HL->FocusNextAnchor(backwards)) return;
    // From the picture to the links and back; from anywhere else (the form
    // itself) Tab enters at the picture, Shift+Tab at the last link.
    const bool toLabel = focus == Image1 ? true : focus == label ? false : backwards;
    if (toLabel && HL->FocusAnchor(backwards)) return;
    SetFocus(Image1);
}

bool TLiveImportFrm::OverImage(LPARAM lParam) const noexcept {
    const TRect r = ImageRect();
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
}

TRect TLiveImportFrm::ImageRect() const noexcept {
    return {FImagePos.X, FImagePos.Y, FImagePos.X + FImage.Width, FImagePos.Y + FImage.Height};
}

void TLiveImportFrm::Paint(HDC dc) const {
    RECT client{};
    GetClientRect(FHandle, &client);
    const TBrushHandle panel(CreateSolidBrush(ToColorRef(FPanelPaint)));
    ::FillRect(dc, &client, panel.Get());
    if (FImage.Width > 0 && FImage.Height > 0) {
        // The code's light quiet zone is white on every panel (a High
        // Contrast theme's may be black): the layout keeps each margin
        // around the picture at least as wide as the zone, so the
        // narrowest one, all round, holds it.
        const TRect r = ImageRect();
        const int zone = std::max(0, std::min({r.Left, r.Top - HL->Height(), static_cast<int>(client.right) - r.Right,
                                                static_cast<int>(client.bottom) - r.Bottom}));
        const RECT plate{r.Left - zone, r.Top - zone, r.Right + zone, r.Bottom + zone};
        const TBrushHandle white(CreateSolidBrush(RGB(255, 255, 255)));
        ::FillRect(dc, &plate, white.Get());
    }
    if (FImage.Width > 0 && FImage.Height > 0) DrawRGBImage(dc, FImage, FImagePos);
    if (GetFocus() == Image1) {
        // Around the picture on the panel, not over it: the code's own
        // pixels reach up to its edge and stay as they are.
        const TRect r = ImageRect();
        const int gap = MulDiv(kFocusFrameGap, FPixelsPerInch, kDesignPixelsPerInch);
        const RECT frame{r.Left - gap, r.Top - gap, r.Right + gap, r.Bottom + gap};
        DrawFocusRect(dc, &frame);
    }
}

TRGBImage TLiveImportFrm::CaptureClient() const {
    RECT client{};
    GetClientRect(FHandle, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0) return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const TBitmapHandle bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) throw EQuillmarkError("Kein Speicher für das Fensterbild");
    const TMemoryDC dc;
    {
        const TSelection selected(dc.Get(), bitmap.Get());
        SendMessageW(FHandle, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT | PRF_ERASEBKGND);
        // The children draw themselves at their place in the client area.
        for (HWND child = GetWindow(FHandle, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            if (!IsWindowVisible(child)) continue;
            RECT r{};
            GetWindowRect(child, &r);
            MapWindowPoints(nullptr, FHandle, reinterpret_cast<POINT*>(&r), 2);
            POINT old{};
            SetViewportOrgEx(dc.Get(), r.left, r.top, &old);
            SendMessageW(child, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT | PRF_ERASEBKGND);
            SetViewportOrgEx(dc.Get(), old.x, old.y, nullptr);
        }
        GdiFlush();
    }
    TRGBImage image(width, height);
    const auto* source = static_cast<const std::uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
        std::span<std::uint8_t> row = image.Row(y);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = source + (static_cast<std::size_t>(y) * width + x) * 4;  // B G R x
            row[x * 3] = p[2];
            row[x * 3 + 1] = p[1];
            row[x * 3 + 2] = p[0];
        }
    }
    return image;
}

int TLiveImportFrm::PixelsPerInch() const { return FPixelsPerInch; }

int TLiveImportFrm::LayoutPixelsPerInch() const { return FPixelsPerInch; }

TSize TLiveImportFrm::FrameSize() const { return OuterSize({0, 0}, FPixelsPerInch); }

TFormBounds TLiveImportFrm::WindowBounds() const { return FormBoundsOf(FHandle); }

void TLiveImportFrm::SetTitle(const std::string& title) { SetWindowTextW(FHandle, ToWide(title).c_str()); }

void TLiveImportFrm::SetCaptionMarkup(std::span<const std::string> lines) {
    HL->SetHTMLText(lines);
    HL->PaintNow();
}

std::optional<TSize> TLiveImportFrm::ShowImage(const std::string& pngPath) {
    TRGBImage picture;
    try {
        picture = ReadPNGRGB(ReadFileToString(pngPath));
    } catch (const std::exception&) {
        return std::nullopt;
    }
    // The program is DPI aware (its manifest): the picture's pixels are the
    // screen's pixels, so it shows at the physical size it was made for.
    FImage = std::move(picture);
    InvalidateRect(FHandle, nullptr, FALSE);
    return TSize{FImage.Width, FImage.Height};
}

void TLiveImportFrm::SetLayout(const TDialogLayout& layout) {
    if (layout.FontHeight != FFontHeight) {
        FFontHeight = layout.FontHeight;
        RecreateFont(FFontFace);
    }
    FImagePos = layout.ImagePos;
    SetWindowPos(Image1, nullptr, FImagePos.X, FImagePos.Y, FImage.Width, FImage.Height, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(Image1, nullptr, FALSE);
    const TSize outer = OuterSize(layout.ClientSize, FPixelsPerInch);
    SetWindowPos(FHandle, nullptr, 0, 0, outer.Width, outer.Height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    HL->SetPixelsPerInch(FPixelsPerInch);
    HL->SetBorderWidth(layout.LabelBorder);
    HL->SetBounds(TRect{0, 0, layout.ClientSize.Width, layout.LabelHeight});
    InvalidateRect(FHandle, nullptr, FALSE);
}

void TLiveImportFrm::DefineProperties(TPropertyObject& form) {
    const auto defineColorAndFont = [this](TPropertyObject& object, TColor& color, bool panel) {
        object.DefineOrdinal("Color", [this, &color, panel](std::int64_t value) {
            if (value < 0 || value > 0xFFFFFFFF) return;
            color = static_cast<TColor>(value);
            if (panel && HL) FollowTheme();
            InvalidateRect(FHandle, nullptr, FALSE);
        });
        object.DefineObject("Font", "TFont").DefineString("Name", [this](const std::string& name) {
            RecreateFont(ToWide(name));
        });
    };
    defineColorAndFont(form, FColor, false);
    defineColorAndFont(form.AddComponent("TPanel", "PC"), FPanelColor, true);
}

void TLiveImportFrm::MoveWindow(TPoint outerTopLeft) {
    const bool visible = IsWindowVisible(FHandle) != FALSE;
    if (visible) SendMessageW(FHandle, WM_SETREDRAW, FALSE, 0);
    SetWindowPos(FHandle, nullptr, outerTopLeft.X, outerTopLeft.Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (visible) {
        SendMessageW(FHandle, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(FHandle, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
}

std::vector<TMonitor> TLiveImportFrm::Monitors() const { return MonitorsFromSystem(); }

namespace {

struct TResponsiveJob {
    const std::function<void()>* Work;
    std::exception_ptr Error;
};

// A thread of the Windows API, not of winpthreads (see UBoundedCallWin32.cpp).
DWORD WINAPI RunResponsiveJob(void* parameter) {
    auto& job = *static_cast<TResponsiveJob*>(parameter);
    try {
        (*job.Work)();
    } catch (...) {
        job.Error = std::current_exception();
    }
    return 0;
}

bool IsClientInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

}  // namespace

void TLiveImportFrm::RunResponsive(const std::function<void()>& work) {
    TResponsiveJob job{&work, nullptr};
    const TWinHandle thread(CreateThread(nullptr, 0, RunResponsiveJob, &job, 0, nullptr));
    if (!thread) {
        work();  // no thread to be had: the work runs here, as it once did
        return;
    }
    const bool busy = std::exchange(FBusy, true);
    // Every message is taken off the queue: input left waiting there for
    // seconds makes Windows call the window hung all the same. Keys and
    // clicks in the window are dropped; the frame (moving, the close box)
    // and everything the system sends go on.
    std::optional<WPARAM> quit;
    const HANDLE ended = thread.Get();
    while (MsgWaitForMultipleObjects(1, &ended, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = message.wParam;  // for the program's own loop, after the load
            } else if (!(IsClientInput(message.message) &&
                         (message.hwnd == FHandle || IsChild(FHandle, message.hwnd)))) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
    FBusy = busy;
    if (quit) PostQuitMessage(static_cast<int>(*quit));
    if (job.Error) std::rethrow_exception(job.Error);
}

void TLiveImportFrm::PostLoadCard(bool large) { PostMessageW(FHandle, WM_LOADCARD, large ? 1 : 0, 0); }

void TLiveImportFrm::Close() {
    if (FHandle != nullptr) Dismiss();
}

void TLiveImportFrm::Dismiss() {
    // Off the screen first: an empty region takes effect at once, while
    // hiding a shown window may wait for the window manager (Wine on X11
    // waits up to 2 s for one to confirm the window's state, for nothing
    // when none runs).
    // The system owns the region once it is set.
    const HRGN none = CreateRectRgn(0, 0, 0, 0);
    if (none != nullptr && SetWindowRgn(FHandle, none, TRUE) == 0) DeleteObject(none);
    // The pair goes next, before anything that may take time: a paste after
    // that takes the clipboard's virtual file, and a load that waits for the
    // host writes nothing more.
    WithdrawCardFileFromClipboard(FHandle);
    if (FController) FController->SessionEnding();
    if (FBusy) {
        // The host may keep the load waiting for half a minute: the process
        // ends now, without it, after what the program's end does besides
        // (the drop target revoked, the shell's requests given their time;
        // the clipboard holds plain data, which outlives the process).
        DragImageTarget1.reset();
        if (FShell != nullptr) {
            TWorkerThreadPool& pool = FShell->Pool();
            RunWithin(std::chrono::steady_clock::now() + kShellExitWait, [&pool] { pool.WaitForDone(); });
        }
        if (EndProcessInLoad) EndProcessInLoad();
    }
    DestroyWindow(FHandle);
}

void TLiveImportFrm::ShowErrorBox(const std::string& text) { qm::ShowErrorBox(text); }

void TLiveImportFrm::OpenWithShell(const std::string& verb, const std::string& file) {
    if (FShell != nullptr) FShell->OpenFileWithShell(verb, file);
}

bool TLiveImportFrm::DetectDragStart(TPoint screenPoint) {
    return qm::DetectDragStart(FHandle, POINT{screenPoint.X, screenPoint.Y}, FDragTime);
}

void TLiveImportFrm::StartFileDrag(const std::string& file) {
    FileDragSource1->SetFiles({file});
    FileDragSource1->StartDrag();
}

void TLiveImportFrm::CopyCardToClipboard(const std::string& vcfPath, const std::string& vcardText,
                                         const std::string& pngPath) {
    qm::CopyCardToClipboard(FHandle, vcfPath, vcardText, pngPath);
}

std::optional<TContextCommand> TLiveImportFrm::ShowContextMenu(TPoint screenPoint,
                                                               std::span<const TMenuEntry> entries) {
    const std::unique_ptr<std::remove_pointer_t<HMENU>, decltype(&DestroyMenu)> menu(CreatePopupMenu(), &DestroyMenu);
    if (!menu) return std::nullopt;
    // Item identifiers are the entries' positions + 1: TrackPopupMenu
    // returns 0 for a dismissed menu.
    UINT id = 1;
    for (const TMenuEntry& entry : entries) {
        const std::wstring text = ToWide(entry.Text);
        const UINT checked = entry.Checked.value_or(false) ? MF_CHECKED : MF_UNCHECKED;
        AppendMenuW(menu.get(), MF_STRING | checked | (entry.Enabled ? MF_ENABLED : MF_GRAYED), id++, text.c_str());
    }
    int chosen = 0;
    if (FMenuRunner) {
        chosen = static_cast<int>(FMenuRunner(menu.get(), POINT{screenPoint.X, screenPoint.Y}));
    } else {
        // TrackPopupMenu's documentation: the owner must be the foreground
        // window, or the menu does not close when the user clicks outside
        // it; the WM_NULL afterwards lets the next click reach the right
        // window.
        SetForegroundWindow(FHandle);
        chosen = static_cast<int>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                 screenPoint.X, screenPoint.Y, 0, FHandle, nullptr));
        PostMessageW(FHandle, WM_NULL, 0, 0);
    }
    if (chosen <= 0 || chosen > static_cast<int>(entries.size())) return std::nullopt;
    return entries[static_cast<std::size_t>(chosen - 1)].Command;
}

void TLiveImportFrm::ShowInFolder(const std::string& file) {
    if (FShell != nullptr) FShell->ShowInFolder(file);
}

void TLiveImportFrm::FollowTheme() {
    // A High Contrast theme gives caption and panel its own colours; else
    // they keep the panel's, the link blue where blue can be read on it.
    // COLORREF and TColor share 0x00BBGGRR.
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    const bool high = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) != FALSE &&
                      (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    const auto panel = static_cast<TColor>(ToColorRef(FPanelColor));
    const TDialogColors colors = DialogColors(
        high, panel, {GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_HOTLIGHT)});
    FPanelPaint = colors.Window;
    HL->SetColor(colors.Caption);
    HL->SetFontColor(colors.Text);
    HL->SetURLColor(colors.Link);
}

namespace {

using TLoadIconWithScaleDown = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);

// comctl32's LoadIconWithScaleDown (version 6), looked up once; null where
// the process has an older comctl32.
TLoadIconWithScaleDown LoadIconWithScaleDownFunction() noexcept {
    static const TLoadIconWithScaleDown function = [] {
        const HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
        // Through the generic function pointer type, as GetProcAddress's
        // documentation converts a FARPROC.
        return comctl == nullptr ? nullptr
                                 : reinterpret_cast<TLoadIconWithScaleDown>(reinterpret_cast<void (*)()>(
                                       GetProcAddress(comctl, "LoadIconWithScaleDown")));
    }();
    return function;
}

// The program's icon `size` pixels square: its frame of that size, or the
// next larger one scaled down (LoadIconWithScaleDown), else what LoadImageW
// makes of the frames at that size.
TIconHandle LoadProgramIcon(int size) {
    const HINSTANCE module = GetModuleHandleW(nullptr);
    if (const TLoadIconWithScaleDown load = LoadIconWithScaleDownFunction(); load != nullptr) {
        HICON icon = nullptr;
        if (SUCCEEDED(load(module, MAKEINTRESOURCEW(kIconResource), size, size, &icon)) && icon != nullptr)
            return TIconHandle(icon);
    }
    return TIconHandle(
        static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, size, size, 0)));
}

}  // namespace

void TLiveImportFrm::LoadWindowIcons() {
    const auto dpi = static_cast<UINT>(FPixelsPerInch);
    TIconHandle smallIcon = LoadProgramIcon(SystemMetricAtDpi(SM_CXSMICON, dpi));
    TIconHandle bigIcon = LoadProgramIcon(SystemMetricAtDpi(SM_CXICON, dpi));
    // The window lets go of the old icons before they are destroyed.
    if (smallIcon) {
        SendMessageW(FHandle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.get()));
        FSmallIcon = std::move(smallIcon);
    }
    if (bigIcon) {
        SendMessageW(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon.get()));
        FBigIcon = std::move(bigIcon);
    }
}

int TLiveImportFrm::CaptionWidth(std::span<const std::string> lines) {
    std::string markup;
    for (const std::string& line : lines) markup += line;
    return HL->OneLineWidth(markup);
}

void TLiveImportFrm::SetAccessibleNames(const TAccessibleNames& names) {
    // The label draws its markup, not its window text: the text is free to
    // name the caption. The window's own text is its title, which hosts know
    // it by; its accessible name is for screen readers only.
    SetWindowTextW(Image1, ToWide(names.Picture).c_str());
    SetWindowTextW(HL->Handle(), ToWide(names.Caption).c_str());
    FWindowAccessibleName = names.Window;
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, FHandle, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace qm
