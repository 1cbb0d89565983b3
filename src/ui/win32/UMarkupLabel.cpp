#include "UMarkupLabel.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <oleacc.h>

#include <algorithm>
#include <mutex>

#include "UErrors.h"
#include "UWinDpi.h"

namespace qm {

namespace {

// Posted to the label to load pictures from addresses outside painting.
constexpr UINT kLoadPicturesMessage = WM_APP + 0x51;
// The one tool of the label's tooltip: the whole client area.
constexpr UINT_PTR kToolId = 1;
// Widest hint before the tooltip breaks lines; also lets "\r\n" break lines.
constexpr int kHintMaxWidth = 600;

void RegisterLabelClass(WNDPROC procedure) {
    static std::once_flag once;
    std::call_once(once, [procedure] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.lpszClassName = TMarkupLabel::kWindowClass;
        RegisterClassExW(&wc);
    });
}

// Fills the ring of `width` pixels just inside `outer` with `color`.
void FillRing(HDC dc, RECT outer, int width, COLORREF color) {
    if (width <= 0 || outer.right <= outer.left || outer.bottom <= outer.top) return;
    width = std::min({width, static_cast<int>(outer.right - outer.left + 1) / 2,
                      static_cast<int>(outer.bottom - outer.top + 1) / 2});
    const TBrushHandle brush(CreateSolidBrush(color));
    const RECT sides[4] = {
        {outer.left, outer.top, outer.right, outer.top + width},
        {outer.left, outer.bottom - width, outer.right, outer.bottom},
        {outer.left, outer.top, outer.left + width, outer.bottom},
        {outer.right - width, outer.top, outer.right, outer.bottom},
    };
    for (const RECT& r : sides) FillRect(dc, &r, brush.Get());
}

// A bevel of `width` one-pixel edges inside `outer`, with the button
// highlight and button shadow colours (DrawEdge's inner borders use them).
void DrawBevel(HDC dc, RECT outer, TBevelCut cut, int width) {
    if (cut == TBevelCut::bvNone) return;
    const UINT edge = cut == TBevelCut::bvRaised ? BDR_RAISEDINNER : BDR_SUNKENINNER;
    for (int i = 0; i < width && outer.right > outer.left && outer.bottom > outer.top; ++i)
        DrawEdge(dc, &outer, edge, BF_RECT | BF_ADJUST);
}

TFontSpec DefaultFont() {
    LOGFONTW font{};
    if (GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font) != sizeof font) return {};
    const TWindowDC screen(nullptr);
    return FontSpecFromLogFont(font, clBlack, screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96);
}

}  // namespace

// Static text named by the window text; the drawn anchors are its links.
class TMarkupLabel::TAccessibleLabel final : public IAccessibleSource {
public:
    explicit TAccessibleLabel(TMarkupLabel& label) : FLabel(label) {}

    std::wstring Name() override { return WindowTextOf(FLabel.FHandle); }
    long Role() override { return ROLE_SYSTEM_STATICTEXT; }

    std::vector<TAccessibleElement> Elements() override {
        std::vector<TAccessibleElement> elements;
        const bool focused = GetFocus() == FLabel.FHandle;
        for (const TLabelAnchor& anchor : FLabel.Anchors()) {
            TAccessibleElement e;
            e.Name = ToWide(anchor.Text);
            e.Role = ROLE_SYSTEM_LINK;
            e.State = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED;
            if (focused && anchor.Index == FLabel.FFocusAnchor) e.State |= STATE_SYSTEM_FOCUSED;
            e.DefaultAction = kLinkAction;
            e.ScreenRect = {anchor.Rect.Left, anchor.Rect.Top, anchor.Rect.Right, anchor.Rect.Bottom};
            MapWindowPoints(FLabel.FHandle, nullptr, reinterpret_cast<POINT*>(&e.ScreenRect), 2);
            elements.push_back(std::move(e));
        }
        return elements;
    }

    bool DoElementDefaultAction(int child) override {
        const std::vector<TLabelAnchor> anchors = FLabel.Anchors();
        if (child < 1 || static_cast<std::size_t>(child) > anchors.size()) return false;
        FLabel.ActivateTarget(anchors[static_cast<std::size_t>(child) - 1].Target);
        return true;
    }

    int FocusedElement() override {
        if (GetFocus() != FLabel.FHandle) return 0;
        const std::vector<TLabelAnchor> anchors = FLabel.Anchors();
        for (std::size_t i = 0; i < anchors.size(); ++i)
            if (anchors[i].Index == FLabel.FFocusAnchor) return static_cast<int>(i) + 1;
        return 0;
    }

private:
    TMarkupLabel& FLabel;
};

TMarkupLabel::TMarkupLabel(HWND parent, const TRect& bounds)
    : FFont(DefaultFont()), FAccessible(std::make_shared<TAccessibleLabel>(*this)) {
    RegisterLabelClass(&TMarkupLabel::WindowProc);
    const DWORD style = parent ? (WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS) : WS_POPUP;
    // The window procedure finds this object from the creation parameter.
    CreateWindowExW(0, kWindowClass, L"", style, bounds.Left, bounds.Top, bounds.Width(), bounds.Height(), parent,
                    nullptr, GetModuleHandleW(nullptr), this);
    if (!FHandle) throw EQuillmarkError("The label window could not be created");
    FLinkOpener = [](const std::string& target) {
        ShellExecuteW(nullptr, L"open", ToWide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    };
}

TMarkupLabel::~TMarkupLabel() {
    if (FImages) FImages->OnChanged = nullptr;
    if (FTooltip) DestroyWindow(FTooltip);
    if (FHandle) {
        SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
        DestroyWindow(FHandle);
    }
}

LRESULT CALLBACK TMarkupLabel::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<TMarkupLabel*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        created->FHandle = window;
    }
    auto* label = reinterpret_cast<TMarkupLabel*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!label) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // Destroyed with its parent: the object stays, without a window.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        label->FHandle = nullptr;
        label->FTooltip = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // No exception may cross the system's code that called us: the failure
    // goes to OnFailure, and the message counts as handled.
    try {
        return label->HandleMessage(message, wParam, lParam);
    } catch (...) {
        label->ReportFailure(std::current_exception());
        return 0;
    }
}

void TMarkupLabel::ReportFailure(std::exception_ptr failure) noexcept {
    if (!OnFailure) return;
    try {
        OnFailure(failure);
    } catch (...) {
        // The handler failed too: nothing is left to tell.
    }
}

LRESULT TMarkupLabel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the paint fills the whole window itself
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_PRINTCLIENT:
            // PrintWindow and screenshots of the dialog draw through here.
            Paint(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_SIZE:
            UpdateTooltipRect();
            break;
        case WM_MOUSEMOVE:
            MouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_MOUSELEAVE:
            FTrackingMouse = false;
            MouseLeft();
            return 0;
        case WM_LBUTTONDOWN:
            // The other buttons' messages go to the system: they have their
            // own meanings (context menu, auto-scroll).
            MousePressed(TMouseButton::mbLeft, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN || wParam == VK_SPACE) {
                KeyPressed(wParam == VK_RETURN ? TLabelKey::lkEnter : TLabelKey::lkSpace);
                return 0;
            }
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            FocusChanged(message == WM_SETFOCUS);
            return 0;
        case WM_GETOBJECT:
            if (const std::optional<LRESULT> answer = AnswerGetObject(FHandle, wParam, lParam, FAccessible))
                return *answer;
            break;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == FHandle && LOWORD(lParam) == HTCLIENT && SetCursorShape())
                return TRUE;
            break;
        case WM_NOTIFY:
            return Notify(*reinterpret_cast<const NMHDR*>(lParam));
        case kLoadPicturesMessage:
            LoadMissingPictures();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(FHandle, message, wParam, lParam);
}

int TMarkupLabel::Width() const noexcept {
    RECT r{};
    if (FHandle) GetClientRect(FHandle, &r);
    return r.right - r.left;
}

int TMarkupLabel::Height() const noexcept {
    RECT r{};
    if (FHandle) GetClientRect(FHandle, &r);
    return r.bottom - r.top;
}

void TMarkupLabel::SetBounds(const TRect& bounds) {
    if (FHandle) MoveWindow(FHandle, bounds.Left, bounds.Top, bounds.Width(), bounds.Height(), TRUE);
}

void TMarkupLabel::Changed() {
    if (FHandle) InvalidateRect(FHandle, nullptr, FALSE);
}

void TMarkupLabel::HTMLTextReplaced() { FCache.Clear(); }

void TMarkupLabel::SetFont(const TFontSpec& font) {
    FFont = font;
    FFont.Size = std::clamp(FFont.Size, 1, kMaxFontPoints);
    Changed();
}

void TMarkupLabel::HintsChanged() {
    if (FAnchorHint || FHintShowFull) EnsureTooltip();
}

void TMarkupLabel::SetImages(TImageList* images) {
    if (FImages) FImages->OnChanged = nullptr;
    FImages = images;
    if (FImages) FImages->OnChanged = [this] { Changed(); };
    Changed();
}

void TMarkupLabel::SetPictureStore(TPictureStore* store) {
    FPictureStore = store;
    Changed();
}

TFontSpec TMarkupLabel::BaseFont() const {
    TFontSpec font = FFont;
    font.Color = FFontColor;
    return font;
}

int TMarkupLabel::PixelsPerInch() const noexcept {
    if (FPixelsPerInch > 0) return FPixelsPerInch;
    const UINT dpi = FHandle ? WindowDpi(FHandle) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : 0;
}

void TMarkupLabel::SetPixelsPerInch(int pixelsPerInch) {
    if (pixelsPerInch == FPixelsPerInch) return;
    FPixelsPerInch = pixelsPerInch;
    Changed();
}

std::unique_ptr<TGdiSurface> TMarkupLabel::CreateSurface(HDC dc) {
    // Fonts for the window's density: a DC reports the system's, which is
    // another one on a monitor of other scaling.
    return std::make_unique<TGdiSurface>(dc, TImageSources{FImages, FPictureStore, &FCache}, PixelsPerInch());
}

void TMarkupLabel::DrawFrame(HDC dc) const {
    RECT client{0, 0, Width(), Height()};
    DrawBevel(dc, client, FBevelOuter, FBevelWidth);
    const int outerInset = FBevelOuter != TBevelCut::bvNone ? FBevelWidth : 0;
    InflateRect(&client, -outerInset, -outerInset);
    FillRing(dc, client, FBorderWidth, ToColorRef(FStyle.BackgroundColor));
    // From the text outwards: the inner bevel, then the black single frame.
    const TRect t = TextRect();
    RECT around{t.Left, t.Top, t.Right, t.Bottom};
    if (FBevelInner != TBevelCut::bvNone) {
        InflateRect(&around, FBevelWidth, FBevelWidth);
        DrawBevel(dc, around, FBevelInner, FBevelWidth);
    }
    if (FBorderStyle == TLabelBorderStyle::bsSingle && FBorderWidth > 0) {
        InflateRect(&around, FBorderWidth, FBorderWidth);
        FillRing(dc, around, FBorderWidth, RGB(0, 0, 0));
    }
}

void TMarkupLabel::Paint(HDC dc) {
    if (dc && !FTransparent) {
        const TBrushHandle brush(CreateSolidBrush(ToColorRef(FStyle.BackgroundColor)));
        const RECT client{0, 0, Width(), Height()};
        ::FillRect(dc, &client, brush.Get());
    }
    if (Updating()) return;
    if (dc) DrawFrame(dc);

    std::unique_ptr<TGdiSurface> surface = CreateSurface(dc);
    const TLayout layout = Layout(*surface);
    const TTextExtent extent = DrawLayout(*surface, layout);
    if (dc && HasKeyboardFocus()) {
        // The focus frame one pixel around the focused anchor, inside the
        // label.
        for (const TLabelAnchor& anchor : JoinAnchorPieces(AnchorPiecesOf(*surface, layout), layout.Rect.Right)) {
            if (anchor.Index != FFocusAnchor) continue;
            RECT frame{anchor.Rect.Left - 1, anchor.Rect.Top - 1, anchor.Rect.Right + 1, anchor.Rect.Bottom + 1};
            const RECT client{0, 0, Width(), Height()};
            IntersectRect(&frame, &frame, &client);
            DrawFocusRect(dc, &frame);
        }
    }
    if (!surface->MissingAddresses().empty() && FHandle) {
        // Loading happens outside painting; the label repaints once the
        // pictures are in the cache (failed loads are remembered as such).
        FMissing.insert(surface->MissingAddresses().begin(), surface->MissingAddresses().end());
        PostMessageW(FHandle, kLoadPicturesMessage, 0, 0);
    }

    const TSize size = AutoSized(extent);
    if (FHandle && size != ClientSize())
        SetWindowPos(FHandle, nullptr, 0, 0, size.Width, size.Height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TMarkupLabel::OnPaint() {
    const TPaintGuard paint(FHandle);
    const HDC dc = paint.Dc();
    if (!dc) return;
    const int width = std::max(1, Width()), height = std::max(1, Height());
    if (FTransparent) {
        Paint(dc);
    } else {
        // Double buffered: the whole label is drawn into a bitmap and copied
        // in one step, so text never flickers over its background.
        try {
            const TMemoryDC buffer(dc);
            const TBitmapHandle bitmap(CreateCompatibleBitmap(dc, width, height));
            if (bitmap) {
                const TSelection selected(buffer.Get(), bitmap.Get());
                Paint(buffer.Get());
                BitBlt(dc, 0, 0, width, height, buffer.Get(), 0, 0, SRCCOPY);
            } else {
                Paint(dc);
            }
        } catch (const EQuillmarkError&) {
            Paint(dc);  // no memory DC left: draw directly
        }
    }
}

void TMarkupLabel::PaintNow() {
    if (FHandle && IsWindowVisible(FHandle)) RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    else Paint(nullptr);
}

void TMarkupLabel::LoadMissingPictures() {
    const std::set<std::string> addresses = std::exchange(FMissing, {});
    for (const std::string& address : addresses)
        if (!FCache.Contains(address)) FCache.Store(address, LoadPictureFromAddress(address));
    Changed();
}

bool TMarkupLabel::FocusAnchor(bool last) {
    if (!FHandle || !PlaceAnchorFocus(last)) return false;
    if (GetFocus() == FHandle) FocusChanged(true);
    else SetFocus(FHandle);
    return true;
}

void TMarkupLabel::FocusChanged(bool gained) {
    if (gained) {
        KeepAnchorFocusShown();
        const int child = FAccessible->FocusedElement();
        if (child > 0) NotifyWinEvent(EVENT_OBJECT_FOCUS, FHandle, OBJID_CLIENT, child);
    }
    Changed();
}

bool TMarkupLabel::SetCursorShape() {
    if (!OverAnchor()) return false;
    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
    return true;
}

void TMarkupLabel::ShowLinkCursor(bool overAnchor) {
    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(overAnchor ? 32649 : 32512)));  // IDC_HAND, IDC_ARROW
}

void TMarkupLabel::HideHint() {
    if (FTooltip) SendMessageW(FTooltip, TTM_POP, 0, 0);
}

void TMarkupLabel::MouseMove(int x, int y) {
    if (!FTrackingMouse) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, FHandle, 0};
        FTrackingMouse = TrackMouseEvent(&track) != FALSE;
        MouseEntered();
    }
    MouseMoved({x, y});
}

void TMarkupLabel::EnsureTooltip() {
    if (FTooltip || !FHandle) return;
    INITCOMMONCONTROLSEX init{sizeof init, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    FTooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, FHandle, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!FTooltip) return;  // no hints then; the label works on
    // The tooltip watches the label's mouse messages itself (TTF_SUBCLASS)
    // and asks for the text each time it shows (LPSTR_TEXTCALLBACKW).
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = FHandle;
    tool.uId = kToolId;
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    GetClientRect(FHandle, &tool.rect);
    SendMessageW(FTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(FTooltip, TTM_SETMAXTIPWIDTH, 0, kHintMaxWidth);
}

void TMarkupLabel::UpdateTooltipRect() {
    if (!FTooltip) return;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = FHandle;
    tool.uId = kToolId;
    GetClientRect(FHandle, &tool.rect);
    SendMessageW(FTooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
}

LRESULT TMarkupLabel::Notify(const NMHDR& header) {
    if (header.hwndFrom != FTooltip || !FTooltip) return 0;
    if (header.code == TTN_GETDISPINFOW) {
        auto& info = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(FHandle, &p);
        const std::optional<std::string> hint = HintAt(p.x, p.y);
        FTooltipText.clear();
        // The tooltip breaks lines at CR LF.
        for (wchar_t c : ToWide(hint.value_or(""))) {
            if (c == L'\n') FTooltipText += L'\r';
            FTooltipText += c;
        }
        info.lpszText = FTooltipText.data();
        return 0;
    }
    if (header.code == TTN_SHOW) {
        POINT p;
        GetCursorPos(&p);
        SetWindowPos(FTooltip, nullptr, p.x + kHintOffset.X, p.y + kHintOffset.Y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return TRUE;  // our position, not the tooltip's own
    }
    return 0;
}

}  // namespace qm
