// TMarkupLabel as a Win32 control: the dialog's caption as drawn, the
// window messages the system would send reaching the label's behaviour (a
// click, the buttons, keys and focus, the hand cursor, resizing), screen
// readers, frames, pictures and failures. What the label decides is tested
// without a toolkit in MarkupLabelBehaviourTest.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

#include "UMarkupLabel.h"
#include "UPNGWriter.h"
#include "UWinAccessible.h"
#include "WinTestSupport.h"

// After our headers: they declare DrawText before <windows.h> names a macro so.
#include <oleacc.h>

namespace qm {
namespace {

using test::FindText;
using test::kGroesser;
using test::TDibCanvas;
using test::TDrawnText;
using test::TNotingSurface;

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A plain visible top-level window to hold labels, one for all tests:
// under Wine each new visible top-level window costs seconds of waiting for
// the X server's window manager.
HWND Form() {
    static const HWND form = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuillmarkTestForm";
        RegisterClassExW(&wc);
        return CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"QuillmarkTestForm", L"Test",
                               WS_POPUP | WS_VISIBLE, 0, 0, 300, 250, nullptr, nullptr, GetModuleHandleW(nullptr),
                               nullptr);
    }();
    return form;
}

class TNotingLabel : public TMarkupLabel {
public:
    using TMarkupLabel::TMarkupLabel;
    std::vector<TDrawnText> Drawn;

protected:
    std::unique_ptr<TGdiSurface> CreateSurface(HDC dc) override {
        if (dc) Drawn.clear();
        return std::make_unique<TNotingSurface>(dc, TImageSources{Images(), PictureStore(), &PictureCache()},
                                                Drawn);
    }
};

TFontSpec DialogFont(bool bold) {
    TFontSpec font;
    font.Name = "Tahoma";
    font.Size = 9;
    font.Bold = bold;
    return font;
}

LPARAM At(TPoint p) { return MAKELPARAM(p.X, p.Y); }

// The dialog's instance of the label with its two caption lines.
struct TCaption {
    TNotingLabel HL{Form(), TRect{0, 0, 244, 29}};
    std::vector<std::string> Clicks;

    TCaption() {
        HL.SetAlign(TControlAlign::alTop);
        HL.SetBorderWidth(6);
        HL.SetFont(DialogFont(true));
        HL.SetHTMLText(TStringList{"</b>QRCode:<b> Anna Berg", " | <A href=\"x\">" + kGroesser + "</A>"});
        HL.OnAnchorClick = [this](TMarkupLabel&, const std::string& target) { Clicks.push_back(target); };
        HL.PaintNow();
    }

    TPoint CentreOf(const std::string& text) {
        const TDrawnText* d = FindText(HL.Drawn, text);
        EXPECT_NE(d, nullptr) << text;
        if (!d) return {};
        const TSize size = TGdiSurface(nullptr, {}).MeasureText(d->Font, text);
        return {d->At.X + size.Width / 2, d->At.Y + size.Height / 2};
    }
    void Send(UINT message, WPARAM wParam, TPoint p) { SendMessageW(HL.Handle(), message, wParam, At(p)); }
};

TEST(Win32MarkupLabel, DialogCaptionPressOnTheLinkRaisesAnchorClick) {
    TCaption c;
    wchar_t name[64] = {};
    GetClassNameW(c.HL.Handle(), name, 64);
    EXPECT_STREQ(name, TMarkupLabel::kWindowClass);
    const TDrawnText* code = FindText(c.HL.Drawn, "QRCode:");
    const TDrawnText* link = FindText(c.HL.Drawn, kGroesser);
    ASSERT_TRUE(code && link);
    EXPECT_EQ(c.HL.TextRect(), (TRect{6, 6, 238, 23}));  // the client size reaches the layout
    EXPECT_EQ(code->At, (TPoint{6, 6}));
    EXPECT_FALSE(code->Font.Bold);
    EXPECT_TRUE(link->Font.Bold && link->Font.Underline);
    EXPECT_EQ(link->Color, clBlue);

    // Only the left button's message clicks.
    c.Send(WM_RBUTTONDOWN, MK_RBUTTON, c.CentreOf(kGroesser));
    c.Send(WM_MBUTTONDOWN, MK_MBUTTON, c.CentreOf(kGroesser));
    EXPECT_TRUE(c.Clicks.empty());
    c.Send(WM_LBUTTONDOWN, MK_LBUTTON, c.CentreOf(kGroesser));
    EXPECT_EQ(c.Clicks, (std::vector<std::string>{"x"}));
}

// The row of pixels `y` of the label as it paints itself, from x0 to x1.
std::vector<COLORREF> PaintedRow(const TMarkupLabel& label, int y, int x0, int x1) {
    TDibCanvas shot(label.Width(), label.Height());
    SendMessageW(label.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(shot.DC()), PRF_CLIENT);
    std::vector<COLORREF> row;
    for (int x = x0; x < x1; ++x) row.push_back(shot.Pixel(x, y));
    return row;
}

TEST(Win32MarkupLabel, KeyboardFocusFramesTheLinkAndEnterAndSpaceClickIt) {
    TCaption c;
    const std::vector<TLabelAnchor> anchors = c.HL.Anchors();
    ASSERT_EQ(anchors.size(), 1u);
    const TRect link = anchors[0].Rect;
    const std::vector<COLORREF> unfocused = PaintedRow(c.HL, link.Top - 1, link.Left, link.Right);

    ASSERT_TRUE(c.HL.FocusAnchor(false));
    EXPECT_EQ(GetFocus(), c.HL.Handle());
    EXPECT_NE(PaintedRow(c.HL, link.Top - 1, link.Left, link.Right), unfocused) << "no focus frame";
    SendMessageW(c.HL.Handle(), WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(c.HL.Handle(), WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(c.Clicks, (std::vector<std::string>{"x", "x"}));

    // Without the focus no frame, and the keys click nothing.
    SetFocus(Form());
    EXPECT_EQ(PaintedRow(c.HL, link.Top - 1, link.Left, link.Right), unfocused);
    SendMessageW(c.HL.Handle(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(c.Clicks.size(), 2u);

    // Two links: the owner's Shift+Tab enters at the last.
    c.HL.SetHTMLText(std::string_view("<A href=\"a\">one</A> and <A href=\"b\">two</A>"));
    ASSERT_TRUE(c.HL.FocusAnchor(true));
    EXPECT_EQ(GetFocus(), c.HL.Handle());
    EXPECT_EQ(c.HL.FocusedAnchor(), 2);
}

// The text a call returned into `text` (read after the call), freed.
std::wstring TextOf(HRESULT result, BSTR& text) {
    std::wstring s = SUCCEEDED(result) && text != nullptr ? std::wstring(text) : L"<none>";
    SysFreeString(std::exchange(text, nullptr));
    return s;
}

// What a screen reader finds through MSAA: static text named by the window
// text, the link as its child with a default action that clicks it.
TEST(Win32MarkupLabel, ScreenReadersSeeStaticTextWithTheLinkAsAChild) {
    const TOleInitialization ole;
    TCaption c;
    SetWindowTextW(c.HL.Handle(), L"QRCode: Anna & Berg | Gr\u00F6\u00DFer");
    IAccessible* object = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(c.HL.Handle(), OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&object)),
              S_OK);
    BSTR text = nullptr;
    EXPECT_EQ(TextOf(object->get_accName(qm::I4(CHILDID_SELF), &text), text), L"QRCode: Anna & Berg | Gr\u00F6\u00DFer");
    VARIANT v;
    auto role = [&](long child) { return object->get_accRole(qm::I4(child), &v) == S_OK ? v.lVal : -1; };
    auto state = [&](long child) { return object->get_accState(qm::I4(child), &v) == S_OK ? v.lVal : -1; };
    EXPECT_EQ(role(CHILDID_SELF), ROLE_SYSTEM_STATICTEXT);
    long count = 0;
    ASSERT_EQ(object->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(TextOf(object->get_accName(qm::I4(1), &text), text), L"Gr\u00F6\u00DFer");
    EXPECT_EQ(role(1), ROLE_SYSTEM_LINK);
    EXPECT_EQ(state(1) & (STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED), STATE_SYSTEM_FOCUSABLE);
    c.HL.FocusAnchor(false);
    EXPECT_NE(state(1) & STATE_SYSTEM_FOCUSED, 0);
    ASSERT_EQ(object->get_accFocus(&v), S_OK);
    EXPECT_EQ(v.lVal, 1);
    EXPECT_EQ(TextOf(object->get_accDefaultAction(qm::I4(1), &text), text), TMarkupLabel::kLinkAction);

    long left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(object->accLocation(&left, &top, &width, &height, qm::I4(1)), S_OK);
    EXPECT_GT(width, 0);
    ASSERT_EQ(object->accHitTest(left + width / 2, top + height / 2, &v), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 1);
    EXPECT_EQ(object->accDoDefaultAction(qm::I4(1)), S_OK);
    EXPECT_EQ(c.Clicks, (std::vector<std::string>{"x"}));
    EXPECT_EQ(object->get_accName(qm::I4(2), &text), E_INVALIDARG);
    object->Release();
}

// A screen reader may keep the object after the label is gone: it then
// reports the disconnection and reaches nothing of the label.
TEST(Win32MarkupLabel, TheScreenReadersObjectOutlivingTheLabelIsDisconnected) {
    const TOleInitialization ole;
    IAccessible* object = nullptr;
    {
        TCaption c;
        ASSERT_EQ(AccessibleObjectFromWindow(c.HL.Handle(), OBJID_CLIENT, __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&object)),
                  S_OK);
    }
    long count = -1;
    EXPECT_EQ(object->get_accChildCount(&count), RPC_E_DISCONNECTED);
    EXPECT_EQ(object->accDoDefaultAction(qm::I4(1)), RPC_E_DISCONNECTED);
    object->Release();
}

TEST(Win32MarkupLabel, AFailureWhileHandlingAMessageGoesToOnFailureAndTheLabelStays) {
    TCaption c;
    std::vector<std::string> failures;
    c.HL.OnFailure = [&](std::exception_ptr failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            failures.push_back(e.what());
        }
    };
    c.HL.OnAnchorClick = [](TMarkupLabel&, const std::string&) { throw std::runtime_error("kaputt"); };
    c.Send(WM_LBUTTONDOWN, MK_LBUTTON, c.CentreOf(kGroesser));
    EXPECT_EQ(failures, (std::vector<std::string>{"kaputt"}));
    ASSERT_TRUE(IsWindow(c.HL.Handle()));
    c.HL.OnAnchorClick = [&c](TMarkupLabel&, const std::string& target) { c.Clicks.push_back(target); };
    c.Send(WM_LBUTTONDOWN, MK_LBUTTON, c.CentreOf(kGroesser));
    EXPECT_EQ(c.Clicks, (std::vector<std::string>{"x"}));
}

// What AutoSizing needs of the window: a hidden label still lays out and
// is resized.
TEST(Win32MarkupLabel, AutoSizingResizesTheHiddenWindow) {
    TMarkupLabel l(nullptr, TRect{0, 0, 200, 10});
    l.SetFont(DialogFont(false));
    l.SetAutoSizing(true);
    l.SetHTMLText(std::string_view("line"));
    l.PaintNow();
    const int lineHeight = TGdiSurface(nullptr, {}).MeasureText(l.BaseFont(), "gh").Height;
    EXPECT_EQ(std::pair(l.Width(), l.Height()), std::pair(200, lineHeight + TMarkupLabel::kAutoSizeMargin));
}

// The window's mouse messages reach the label: the first move is the
// mouse entering, the hand cursor over the link, the hover colour in the
// next paint, another cursor elsewhere.
TEST(Win32MarkupLabel, HandCursorAndHoverColour) {
    TCaption c;
    int entered = 0;
    c.HL.SetHover(true);
    c.HL.SetHoverFontColor(clRed);
    c.HL.OnMouseEnter = [&](TMarkupLabel&) { ++entered; };
    c.HL.PaintNow();
    const TPoint link = c.CentreOf(kGroesser), plain = c.CentreOf("Anna ");
    const HCURSOR hand = LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));
    auto setCursor = [&c] {
        SetCursor(nullptr);
        SendMessageW(c.HL.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(c.HL.Handle()),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    };

    c.Send(WM_MOUSEMOVE, 0, link);
    EXPECT_EQ(setCursor(), hand);
    c.HL.PaintNow();
    EXPECT_EQ(FindText(c.HL.Drawn, kGroesser)->Color, clRed);
    c.Send(WM_MOUSEMOVE, 0, plain);
    EXPECT_NE(setCursor(), hand);
    EXPECT_EQ(entered, 1);
}

TEST(Win32MarkupLabel, FrameBevelsAndBorder) {
    TMarkupLabel l(Form(), TRect{0, 0, 60, 40});
    l.SetColor(clWhite);
    l.SetBorderWidth(3);
    l.SetBorderStyle(TLabelBorderStyle::bsSingle);
    l.SetBevelOuter(TBevelCut::bvRaised);
    l.SetBevelWidth(2);
    TDibCanvas shot(60, 40);
    SendMessageW(l.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(shot.DC()), PRF_CLIENT);
    EXPECT_EQ(shot.Pixel(0, 0), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(shot.Pixel(59, 39), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(shot.Pixel(5, 20), RGB(0, 0, 0));
    EXPECT_EQ(shot.Pixel(3, 20), RGB(255, 255, 255));
    EXPECT_EQ(shot.Pixel(30, 20), RGB(255, 255, 255));
}

TEST(Win32MarkupLabel, SuppressedPaintingDrawsNoText) {
    TCaption c;
    c.HL.BeginUpdate();
    c.HL.Drawn.clear();
    c.HL.PaintNow();
    EXPECT_TRUE(c.HL.Drawn.empty());
    c.HL.EndUpdate();
    EXPECT_NE(FindText(c.HL.Drawn, "QRCode:"), nullptr);
}

TEST(Win32MarkupLabel, AddressPicturesLoadOutsidePaintingAndNewTextClearsThem) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("qm-label-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path png = folder / "pic.png";
    std::ofstream(png, std::ios::binary) << WritePNGRGB(TRGBImage(5, 5));
    TMarkupLabel l(Form(), TRect{0, 0, 100, 40});
    l.SetHTMLText("<IMG SRC=\"file:///" + FromWide(png.generic_wstring()) + "\">");
    l.PaintNow();
    EXPECT_EQ(l.PictureCache().Count(), 0u);
    PumpMessages();
    EXPECT_EQ(l.PictureCache().Count(), 1u);
    l.SetHTMLText(std::string_view("text"));
    EXPECT_EQ(l.PictureCache().Count(), 0u);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace qm
