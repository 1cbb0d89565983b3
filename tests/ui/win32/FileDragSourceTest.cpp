// The OLE file drag: the data object's formats read back as a drop target
// reads them, the drag result for each outcome of the modal loop, the drag
// image, and a real DoDragDrop onto a drop target window of this process.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <filesystem>
#include <fstream>

#include "UErrors.h"
#include "UFileDragSource.h"
#include "WinTestSupport.h"

namespace qm {
namespace {

// OLE for the whole test program, as the dialog has it.
class TOleEnvironment : public ::testing::Environment {
public:
    void SetUp() override { FOle = std::make_unique<TOleInitialization>(); }
    void TearDown() override { FOle.reset(); }

private:
    std::unique_ptr<TOleInitialization> FOle;
};
const auto* const kOle = ::testing::AddGlobalTestEnvironment(new TOleEnvironment);

struct TTempFile {
    std::filesystem::path Path;
    explicit TTempFile(const std::wstring& name) {
        Path = std::filesystem::temp_directory_path() / ("qm-drag-" + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(Path);
        Path /= name;
        std::ofstream(Path, std::ios::binary) << "BEGIN:VCARD\n";
    }
    ~TTempFile() { std::filesystem::remove_all(Path.parent_path()); }
    std::string Utf8() const { return FromWide(Path.wstring()); }
};

FORMATETC Format(UINT cf) { return {static_cast<CLIPFORMAT>(cf), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

std::vector<std::string> DroppedFiles(IDataObject& data) {
    FORMATETC format = Format(CF_HDROP);
    STGMEDIUM medium{};
    if (FAILED(data.GetData(&format, &medium))) return {};
    std::vector<std::string> files = FilesOfDrop(static_cast<HDROP>(medium.hGlobal));
    ReleaseStgMedium(&medium);
    return files;
}

TEST(FileDragData, DropBlockLayout) {
    const std::vector<std::string> files{"C:\\a.vcf", "C:\\Gr\xC3\xB6\xC3\x9F" "e.png"};
    const std::vector<std::uint8_t> block = FileDropBlock(files);
    ASSERT_EQ(block.size(), 22u + 2 * (8 + 12 + 2));
    DROPFILES header;
    std::memcpy(&header, block.data(), sizeof header);
    EXPECT_EQ(header.pFiles, 20u);
    EXPECT_EQ(header.pt.x, 0);
    EXPECT_EQ(header.pt.y, 0);
    EXPECT_FALSE(header.fNC);
    EXPECT_TRUE(header.fWide);
    std::wstring names(reinterpret_cast<const wchar_t*>(block.data() + 20), (block.size() - 20) / 2);
    EXPECT_EQ(names, std::wstring(L"C:\\a.vcf\0C:\\Gr\u00f6\u00dfe.png\0\0", 23));
}

TEST(FileDragData, OffersTheFileAsDropAndAsShellItem) {
    const TTempFile file(L"Anna Berg \u00c4rzte.vcf");
    const TComPtr<IDataObject> data = CreateFileDataObject({file.Utf8()});
    EXPECT_EQ(DroppedFiles(*data.Get()), (std::vector<std::string>{file.Utf8()}));

    FORMATETC text = Format(CF_TEXT);
    EXPECT_EQ(data->QueryGetData(&text), DV_E_FORMATETC);
    FORMATETC ids = Format(RegisterClipboardFormatW(L"Shell IDList Array"));
    ASSERT_EQ(data->QueryGetData(&ids), S_OK);
    STGMEDIUM medium{};
    ASSERT_EQ(data->GetData(&ids, &medium), S_OK);
    {
        const TGlobalLock lock(medium.hGlobal);
        const auto* cida = static_cast<const CIDA*>(lock.Data());
        ASSERT_EQ(cida->cidl, 1u);
        const auto* base = static_cast<const std::uint8_t*>(lock.Data());
        TItemIdList full(ILCombine(reinterpret_cast<PCIDLIST_ABSOLUTE>(base + cida->aoffset[0]),
                                   reinterpret_cast<PCUIDLIST_RELATIVE>(base + cida->aoffset[1])));
        wchar_t path[MAX_PATH] = {};
        ASSERT_TRUE(SHGetPathFromIDListW(full.Get(), path));
        EXPECT_EQ(std::filesystem::path(path), file.Path);
    }
    ReleaseStgMedium(&medium);

    // Both formats are listed.
    TComPtr<IEnumFORMATETC> formats;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, formats.Put()), S_OK);
    std::vector<CLIPFORMAT> listed;
    FORMATETC f;
    while (formats->Next(1, &f, nullptr) == S_OK) listed.push_back(f.cfFormat);
    EXPECT_EQ(listed, (std::vector<CLIPFORMAT>{CF_HDROP, ids.cfFormat}));

    // A file the shell cannot find is still offered as a dropped file.
    const TComPtr<IDataObject> gone = CreateFileDataObject({file.Utf8() + ".gone"});
    EXPECT_EQ(DroppedFiles(*gone.Get()), (std::vector<std::string>{file.Utf8() + ".gone"}));
    EXPECT_EQ(gone->QueryGetData(&ids), DV_E_FORMATETC);
}

TEST(FileDragData, KeepsWhatTheTargetSetsAndMapsTheOutcome) {
    TFileDragSource source;
    source.SetFiles({"C:\\a.vcf"});
    EXPECT_EQ(source.DragTypes(), TDragTypes{dtCopy});
    DWORD offered = 0;
    HRESULT outcome = DRAGDROP_S_DROP;
    DWORD effect = DROPEFFECT_COPY;
    DWORD feedback = 0;
    source.SetDragRunner([&](IDataObject* data, IDropSource*, DWORD allowed, DWORD* result) {
        offered = allowed;
        if (feedback) {
            TGlobalMemory memory(sizeof feedback);
            std::memcpy(TGlobalLock(memory.Get()).Data(), &feedback, sizeof feedback);
            FORMATETC format = Format(RegisterClipboardFormatW(L"Performed DropEffect"));
            STGMEDIUM medium{};
            medium.tymed = TYMED_HGLOBAL;
            medium.hGlobal = memory.Release();
            EXPECT_EQ(data->SetData(&format, &medium, TRUE), S_OK);
        }
        EXPECT_THROW(source.StartDrag(), EQuillmarkError);
        *result = effect;
        return outcome;
    });
    EXPECT_EQ(source.StartDrag(), TDragResult::drDropCopy);
    EXPECT_EQ(offered, DWORD{DROPEFFECT_COPY});
    EXPECT_FALSE(source.Dragging());
    effect = DROPEFFECT_MOVE;  // not allowed: nothing was dropped
    EXPECT_EQ(source.StartDrag(), TDragResult::drCancel);
    feedback = DROPEFFECT_MOVE;
    effect = DROPEFFECT_NONE;
    EXPECT_EQ(source.StartDrag(), TDragResult::drDropMove);
    EXPECT_EQ(source.PerformedDropEffect(), DWORD{DROPEFFECT_MOVE});
    feedback = 0;
    EXPECT_EQ(source.StartDrag(), TDragResult::drCancel);
    EXPECT_FALSE(source.PerformedDropEffect());  // cleared with the new drag
    outcome = DRAGDROP_S_CANCEL;
    EXPECT_EQ(source.StartDrag(), TDragResult::drCancel);
    outcome = E_OUTOFMEMORY;
    EXPECT_EQ(source.StartDrag(), TDragResult::drOutMemory);
    outcome = E_UNEXPECTED;
    EXPECT_EQ(source.StartDrag(), TDragResult::drUnknown);
}

TEST(FileDragData, AsynchronousExtractionOnlyWhenAllowedAndBlocksTheNextDrag) {
    TFileDragSource source;
    source.SetFiles({"C:\\a.vcf"});
    source.SetDragRunner([](IDataObject*, IDropSource*, DWORD, DWORD* effect) {
        *effect = DROPEFFECT_COPY;
        return DRAGDROP_S_DROP;
    });
    auto async = [&] {
        TComPtr<IDataObjectAsyncCapability> capability;
        EXPECT_EQ(source.DataObject()->QueryInterface(IID_IDataObjectAsyncCapability,
                                                      reinterpret_cast<void**>(capability.Put())),
                  S_OK);
        return capability;
    };
    source.StartDrag();
    EXPECT_EQ(async()->SetAsyncMode(TRUE), E_NOTIMPL);

    source.AllowAsyncTransfer = true;
    source.StartDrag();
    const TComPtr<IDataObjectAsyncCapability> capability = async();
    ASSERT_EQ(capability->SetAsyncMode(TRUE), S_OK);
    ASSERT_EQ(capability->StartOperation(nullptr), S_OK);
    try {
        source.StartDrag();
        ADD_FAILURE() << "a drag started during an asynchronous extraction";
    } catch (const EQuillmarkError& e) {
        EXPECT_STREQ(e.what(), "An asynchronous drag and drop operation is in progress");
    }
    ASSERT_EQ(capability->EndOperation(S_OK, nullptr, DROPEFFECT_COPY), S_OK);
    EXPECT_EQ(source.StartDrag(), TDragResult::drDropCopy);
}

TEST(FileDragData, DragImageTargetAcceptsNothingAndServesOneWindow) {
    auto window = [] {
        return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr),
                               nullptr);
    };
    const HWND first = window(), second = window();
    {
        TDragImageTarget target;
        ASSERT_TRUE(target.RegisterWindow(first));
        EXPECT_TRUE(target.RegisterWindow(first));
        EXPECT_EQ(RegisterDragDrop(first, target.Target()), DRAGDROP_E_ALREADYREGISTERED);
        const TComPtr<IDataObject> data = CreateFileDataObject({"C:\\a.vcf"});
        DWORD effect = DROPEFFECT_COPY;
        EXPECT_EQ(target.Target()->DragEnter(data.Get(), MK_LBUTTON, {5, 5}, &effect), S_OK);
        EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});
        effect = DROPEFFECT_COPY;
        EXPECT_EQ(target.Target()->Drop(data.Get(), 0, {5, 5}, &effect), S_OK);
        EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});
        ASSERT_TRUE(target.RegisterWindow(second));
        EXPECT_EQ(target.Window(), second);
        EXPECT_EQ(RevokeDragDrop(first), DRAGDROP_E_NOTREGISTERED);
    }
    EXPECT_EQ(RevokeDragDrop(second), DRAGDROP_E_NOTREGISTERED);  // revoked with the target
    DestroyWindow(first);
    DestroyWindow(second);
}

// A drag-image helper that keeps what it is given.
class TImageHelper final : public IDragSourceHelper {
public:
    SHDRAGIMAGE Image{};
    COLORREF Centre = 0;
    BYTE CentreAlpha = 0;
    IDataObject* Data = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE InitializeFromBitmap(LPSHDRAGIMAGE image, IDataObject* data) override {
        Image = *image;
        Data = data;
        DIBSECTION dib{};
        GetObjectW(image->hbmpDragImage, sizeof dib, &dib);
        const auto* bits = static_cast<const std::uint8_t*>(dib.dsBm.bmBits);
        const int y = std::abs(static_cast<int>(dib.dsBm.bmHeight)) / 2, x = dib.dsBm.bmWidth / 2;
        const std::uint8_t* p = bits + static_cast<std::size_t>(y) * dib.dsBm.bmWidthBytes + x * 4;
        Centre = RGB(p[2], p[1], p[0]);
        CentreAlpha = p[3];
        DeleteObject(image->hbmpDragImage);  // the helper owns it
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InitializeFromWindow(HWND, POINT*, IDataObject*) override { return E_NOTIMPL; }
};

TEST(FileDragData, DragImageFromTheGraphic) {
    TFileDragSource source;
    source.SetFiles({"C:\\a.png"});
    source.SetDragRunner([](IDataObject*, IDropSource*, DWORD, DWORD*) { return DRAGDROP_S_CANCEL; });
    source.StartDrag();
    TRGBImage graphic(454, 454);
    for (int y = 0; y < 454; ++y)
        for (int x = 0; x < 454; ++x) graphic.SetPixel(x, y, clRed);
    TImageHelper helper;
    bool handled = false;
    SetDragImageFromGraphic(source, graphic, helper, handled);
    ASSERT_TRUE(handled);
    const TDragImageSize size = DragImageSize(454, 454, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(helper.Image.sizeDragImage.cx, size.Width);
    EXPECT_EQ(helper.Image.sizeDragImage.cy, size.Height);
    EXPECT_EQ(helper.Image.ptOffset.x, size.Width);
    EXPECT_EQ(helper.Image.ptOffset.y, 16);
    EXPECT_EQ(helper.Image.crColorKey, CLR_NONE);
    EXPECT_EQ(helper.Centre, RGB(255, 0, 0));
    EXPECT_EQ(helper.CentreAlpha, 0xFF);
    EXPECT_EQ(helper.Data, source.DataObject());
}

// A drop target that notes what arrives.
class TNotingDropTarget final : public IDropTarget {
public:
    std::vector<std::string> Files;
    DWORD Offered = 0;
    int Drops = 0;
    std::function<void()> OnEnter;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        if (OnEnter) OnEnter();
        *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        ++Drops;
        Offered = *effect;
        Files = DroppedFiles(*data);
        *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
};

void SendMouse(DWORD flags, LONG dx = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

// The hand on the mouse during the drag: it keeps moving a little, as a
// hand does, and gives up with Esc when nothing has been dropped after two
// seconds (so that a failing drag ends instead of hanging).
void CALLBACK JiggleMouse(HWND, UINT, UINT_PTR, DWORD) {
    static int ticks = 0;
    SendMouse(MOUSEEVENTF_MOVE, ++ticks % 2 ? 1 : -1);
    if (ticks % 40 == 0) {
        INPUT key[2]{};
        key[0].type = key[1].type = INPUT_KEYBOARD;
        key[0].ki.wVk = key[1].ki.wVk = VK_ESCAPE;
        key[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, key, sizeof key[0]);
    }
}

TEST(FileDrag, DoDragDropOntoATargetWindowCopiesTheFile) {
    const TTempFile file(L"Anna Berg.vcf");
    // A window of its own class: a static control would let the mouse
    // through (HTTRANSPARENT) to whatever lies below.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuillmarkTestDropTarget";
    RegisterClassExW(&wc);
    const HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"Ziel",
                                        WS_POPUP | WS_VISIBLE, 100, 100, 200, 200, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    TNotingDropTarget target;
    ASSERT_EQ(RegisterDragDrop(window, &target), S_OK);
    // The user presses the left button over the target, the drag starts,
    // the mouse moves, and the button goes up once the drag has entered the
    // target.
    SetCursorPos(200, 200);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    ASSERT_TRUE(GetKeyState(VK_LBUTTON) & 0x8000);
    target.OnEnter = [] { SendMouse(MOUSEEVENTF_LEFTUP); };
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, JiggleMouse);
    TFileDragSource source;
    source.SetFiles({file.Utf8()});
    source.ShowImage = true;  // without the system's helper the drag runs on without an image
    const TDragResult result = source.StartDrag();
    KillTimer(nullptr, timer);
    RevokeDragDrop(window);
    DestroyWindow(window);
    EXPECT_EQ(result, TDragResult::drDropCopy);
    EXPECT_EQ(target.Drops, 1);
    EXPECT_EQ(target.Offered, DWORD{DROPEFFECT_COPY});
    EXPECT_EQ(target.Files, (std::vector<std::string>{file.Utf8()}));
}

}  // namespace
}  // namespace qm
