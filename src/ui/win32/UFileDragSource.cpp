#include "UFileDragSource.h"

#include <shellapi.h>
#include <shldisp.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>

#include "UDragDetect.h"
#include "UErrors.h"
#include "UGdiSurface.h"

namespace qm {

namespace {

// Message numbers of the filter's allowed messages.
constexpr UINT kWmCopyGlobalData = 0x0049;

// Reference counting shared by the COM objects here. An object starts with
// one reference, owned by the TComPtr that creation returns, and deletes
// itself when the last reference goes.
class TRefCount {
public:
    ULONG AddRef() noexcept { return ++FCount; }
    // True when that was the last reference.
    bool Release(ULONG& remaining) noexcept {
        remaining = --FCount;
        return remaining == 0;
    }

private:
    std::atomic<ULONG> FCount{1};
};

// A storage medium owned here: released with ReleaseStgMedium.
class TOwnedMedium {
public:
    explicit TOwnedMedium(const STGMEDIUM& medium) noexcept : FMedium(medium) {}
    TOwnedMedium(const TOwnedMedium&) = delete;
    TOwnedMedium& operator=(const TOwnedMedium&) = delete;
    ~TOwnedMedium() { ReleaseStgMedium(&FMedium); }
    const STGMEDIUM& Get() const noexcept { return FMedium; }

private:
    STGMEDIUM FMedium;
};

// A copy of global memory, or null when it cannot be read.
HGLOBAL CopyGlobal(HGLOBAL source) {
    const TGlobalLock from(source);
    if (!from.Data()) return nullptr;
    TGlobalMemory copy(std::max<SIZE_T>(from.Size(), 1));
    {
        const TGlobalLock to(copy.Get());
        if (!to.Data()) return nullptr;
        std::memcpy(to.Data(), from.Data(), from.Size());
    }
    return copy.Release();
}

HGLOBAL GlobalOf(const std::vector<std::uint8_t>& bytes) {
    TGlobalMemory memory(std::max<std::size_t>(bytes.size(), 1));
    {
        const TGlobalLock lock(memory.Get());
        if (!lock.Data()) return nullptr;
        std::memcpy(lock.Data(), bytes.data(), bytes.size());
    }
    return memory.Release();
}

// The registered formats by their documented names (CFSTR_SHELLIDLIST,
// CFSTR_PERFORMEDDROPEFFECT).
UINT ShellIdListFormat() { return RegisterClipboardFormatW(L"Shell IDList Array"); }
UINT PerformedDropEffectFormat() { return RegisterClipboardFormatW(L"Performed DropEffect"); }

void AppendBytes(std::vector<std::uint8_t>& out, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

// The shell item identifier list block (CIDA) of `files`: the parent folder
// and every file relative to it. Files in one folder are given relative to
// that folder; otherwise the parent is the desktop and every file is an
// absolute list. Nothing when the shell cannot name a file.
std::optional<std::vector<std::uint8_t>> ShellIdListBlock(const std::vector<std::string>& files) {
    if (files.empty()) return std::nullopt;
    std::vector<TItemIdList> absolute;
    for (const std::string& file : files) {
        TItemIdList list;
        if (FAILED(SHParseDisplayName(ToWide(file).c_str(), nullptr, list.Put(), 0, nullptr)) || !list.Get())
            return std::nullopt;
        absolute.push_back(std::move(list));
    }
    TItemIdList parent(ILCloneFull(absolute.front().Get()));
    if (!parent.Get()) return std::nullopt;
    ILRemoveLastID(parent.Get());
    bool oneFolder = true;
    for (const TItemIdList& list : absolute) {
        TItemIdList folder(ILCloneFull(list.Get()));
        if (!folder.Get()) return std::nullopt;
        ILRemoveLastID(folder.Get());
        oneFolder = oneFolder && ILIsEqual(folder.Get(), parent.Get());
    }
    // The desktop is the empty list: just its terminating zero.
    const USHORT desktop = 0;
    const void* parentData = oneFolder ? static_cast<const void*>(parent.Get()) : &desktop;
    const std::size_t parentSize = oneFolder ? ILGetSize(parent.Get()) : sizeof desktop;

    const std::size_t count = files.size();
    const std::size_t header = sizeof(UINT) * (count + 2);  // cidl and count + 1 offsets
    std::vector<UINT> offsets;
    std::vector<std::uint8_t> body;
    offsets.push_back(static_cast<UINT>(header));
    AppendBytes(body, parentData, parentSize);
    for (const TItemIdList& list : absolute) {
        PCUIDLIST_RELATIVE child = oneFolder ? ILFindLastID(list.Get()) : list.Get();
        offsets.push_back(static_cast<UINT>(header + body.size()));
        AppendBytes(body, child, ILGetSize(child));
    }
    std::vector<std::uint8_t> block;
    const UINT cidl = static_cast<UINT>(count);
    AppendBytes(block, &cidl, sizeof cidl);
    AppendBytes(block, offsets.data(), offsets.size() * sizeof(UINT));
    block.insert(block.end(), body.begin(), body.end());
    return block;
}

class TFileDataObject final : public IDataObject, public IDataObjectAsyncCapability {
public:
    TFileDataObject(const std::vector<std::string>& files, bool allowAsync)
        : FDrop(FileDropBlock(files)), FIdList(ShellIdListBlock(files)), FAllowAsync(allowAsync) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
            *object = static_cast<IDataObject*>(this);
        } else if (IsEqualIID(iid, IID_IDataObjectAsyncCapability)) {
            *object = static_cast<IDataObjectAsyncCapability*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return FRefs.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG remaining = 0;
        if (FRefs.Release(remaining)) std::unique_ptr<TFileDataObject> last(this);
        return remaining;
    }

    // IDataObject
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!format || !medium) return E_INVALIDARG;
        *medium = {};
        if (const auto* bytes = Offered(*format)) {
            if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
            medium->tymed = TYMED_HGLOBAL;
            try {
                medium->hGlobal = GlobalOf(*bytes);
            } catch (const std::bad_alloc&) {
                return E_OUTOFMEMORY;
            }
            return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
        }
        const auto it = FStored.find(format->cfFormat);
        if (it == FStored.end()) return DV_E_FORMATETC;
        const STGMEDIUM& stored = it->second->Get();
        if (!(format->tymed & stored.tymed)) return DV_E_TYMED;
        medium->tymed = stored.tymed;
        if (stored.tymed == TYMED_HGLOBAL) {
            try {
                medium->hGlobal = CopyGlobal(stored.hGlobal);
            } catch (const std::bad_alloc&) {
                return E_OUTOFMEMORY;
            }
            return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
        }
        // A stream is shared: the reader gets its own reference.
        medium->pstm = stored.pstm;
        medium->pstm->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        if (!format) return E_INVALIDARG;
        if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (Offered(*format)) return (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_TYMED;
        const auto it = FStored.find(format->cfFormat);
        if (it == FStored.end()) return DV_E_FORMATETC;
        return (format->tymed & it->second->Get().tymed) ? S_OK : DV_E_TYMED;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override {
        if (!format || !medium) return E_INVALIDARG;
        if (medium->tymed != TYMED_HGLOBAL && medium->tymed != TYMED_ISTREAM) return DV_E_TYMED;
        STGMEDIUM own{};
        own.tymed = medium->tymed;
        if (release) {
            own = *medium;
        } else if (medium->tymed == TYMED_HGLOBAL) {
            try {
                own.hGlobal = CopyGlobal(medium->hGlobal);
            } catch (const std::bad_alloc&) {
                return E_OUTOFMEMORY;
            }
            if (!own.hGlobal) return E_OUTOFMEMORY;
        } else {
            own.pstm = medium->pstm;
            own.pstm->AddRef();
        }
        // The medium is ours now; the one stored before under this format goes.
        FStored[format->cfFormat] = std::make_unique<TOwnedMedium>(own);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** result) override {
        if (!result) return E_POINTER;
        *result = nullptr;
        if (direction != DATADIR_GET) return E_NOTIMPL;
        std::vector<FORMATETC> formats;
        formats.push_back({CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
        if (FIdList)
            formats.push_back({static_cast<CLIPFORMAT>(ShellIdListFormat()), nullptr, DVASPECT_CONTENT, -1,
                               TYMED_HGLOBAL});
        for (const auto& [cf, medium] : FStored)
            formats.push_back({cf, nullptr, DVASPECT_CONTENT, -1, medium->Get().tymed});
        return SHCreateStdEnumFmtEtc(static_cast<UINT>(formats.size()), formats.data(), result);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

    // IDataObjectAsyncCapability: the target's side of an asynchronous
    // extraction; it may call from its own thread.
    HRESULT STDMETHODCALLTYPE SetAsyncMode(BOOL async) override {
        if (async && !FAllowAsync) return E_NOTIMPL;
        FAsyncMode = async != FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAsyncMode(BOOL* async) override {
        if (!async) return E_INVALIDARG;
        *async = FAsyncMode ? TRUE : FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE StartOperation(IBindCtx*) override {
        FInOperation = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InOperation(BOOL* inOperation) override {
        if (!inOperation) return E_INVALIDARG;
        *inOperation = FInOperation ? TRUE : FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EndOperation(HRESULT, IBindCtx*, DWORD) override {
        FInOperation = false;
        return S_OK;
    }

private:
    // The bytes of an offered format, or null.
    const std::vector<std::uint8_t>* Offered(const FORMATETC& format) const {
        if (format.cfFormat == CF_HDROP) return &FDrop;
        if (FIdList && format.cfFormat == ShellIdListFormat()) return &*FIdList;
        return nullptr;
    }

    TRefCount FRefs;
    std::vector<std::uint8_t> FDrop;
    std::optional<std::vector<std::uint8_t>> FIdList;
    std::map<CLIPFORMAT, std::unique_ptr<TOwnedMedium>> FStored;
    const bool FAllowAsync;
    std::atomic<bool> FAsyncMode{false};
    std::atomic<bool> FInOperation{false};
};

// Whether a target is still extracting `data` asynchronously.
bool InAsyncOperation(IDataObject* data) {
    if (!data) return false;
    TComPtr<IDataObjectAsyncCapability> async;
    if (FAILED(data->QueryInterface(IID_IDataObjectAsyncCapability, reinterpret_cast<void**>(async.Put()))))
        return false;
    BOOL inOperation = FALSE;
    return SUCCEEDED(async->InOperation(&inOperation)) && inOperation;
}

// Accepts nothing; hands the drag over to the drag-image helper (when
// there is one) so that the image shows over the window.
class TImageDropTarget final : public IDropTarget {
public:
    TImageDropTarget() {
        if (FAILED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDropTargetHelper,
                                    reinterpret_cast<void**>(FHelper.Put()))))
            FHelper.Reset();
    }
    HWND Window = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
            *object = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return FRefs.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG remaining = 0;
        if (FRefs.Release(remaining)) std::unique_ptr<TImageDropTarget> last(this);
        return remaining;
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL at, DWORD* effect) override {
        if (!effect) return E_INVALIDARG;
        *effect = DROPEFFECT_NONE;
        POINT p{at.x, at.y};
        if (FHelper) FHelper->DragEnter(Window, data, &p, *effect);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL at, DWORD* effect) override {
        if (!effect) return E_INVALIDARG;
        *effect = DROPEFFECT_NONE;
        POINT p{at.x, at.y};
        if (FHelper) FHelper->DragOver(&p, *effect);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        if (FHelper) FHelper->DragLeave();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL at, DWORD* effect) override {
        if (!effect) return E_INVALIDARG;
        *effect = DROPEFFECT_NONE;
        POINT p{at.x, at.y};
        if (FHelper) FHelper->Drop(data, &p, *effect);
        return S_OK;
    }

private:
    TRefCount FRefs;
    TComPtr<IDropTargetHelper> FHelper;
};

// Drops when the buttons that were held at the start are released (at once
// when none was held), cancels on Esc; the system draws the cursors.
class TDropSource final : public IDropSource {
public:
    explicit TDropSource(DWORD startButtons) : FStartButtons(startButtons) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
            *object = static_cast<IDropSource*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return FRefs.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG remaining = 0;
        if (FRefs.Release(remaining)) std::unique_ptr<TDropSource> last(this);
        return remaining;
    }

    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override {
        if (escapePressed) return DRAGDROP_S_CANCEL;
        if (!(keyState & FStartButtons)) return DRAGDROP_S_DROP;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    TRefCount FRefs;
    DWORD FStartButtons;
};

DWORD ButtonsHeldNow() {
    DWORD buttons = 0;
    if (GetKeyState(VK_LBUTTON) & 0x8000) buttons |= MK_LBUTTON;
    if (GetKeyState(VK_RBUTTON) & 0x8000) buttons |= MK_RBUTTON;
    return buttons;
}

HRESULT RunDoDragDrop(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect) {
    return DoDragDrop(data, source, allowed, effect);
}

}  // namespace

std::vector<std::uint8_t> FileDropBlock(const std::vector<std::string>& files) {
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::vector<std::uint8_t> block;
    AppendBytes(block, &header, sizeof header);
    const wchar_t zero = L'\0';
    for (const std::string& file : files) {
        const std::wstring wide = ToWide(file);
        AppendBytes(block, wide.data(), wide.size() * sizeof(wchar_t));
        AppendBytes(block, &zero, sizeof zero);
    }
    AppendBytes(block, &zero, sizeof zero);
    return block;
}

std::vector<std::string> FilesOfDrop(HDROP drop) {
    std::vector<std::string> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring name(DragQueryFileW(drop, i, nullptr, 0), L'\0');
        DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size() + 1));
        files.push_back(FromWide(name));
    }
    return files;
}

TComPtr<IDataObject> CreateFileDataObject(const std::vector<std::string>& files, bool allowAsync) {
    auto object = std::make_unique<TFileDataObject>(files, allowAsync);
    return TComPtr<IDataObject>(static_cast<IDataObject*>(object.release()));
}

TDragImageTarget::TDragImageTarget()
    : FTarget(static_cast<IDropTarget*>(std::make_unique<TImageDropTarget>().release())) {}

TDragImageTarget::~TDragImageTarget() {
    if (FWindow && IsWindow(FWindow)) RevokeDragDrop(FWindow);
}

bool TDragImageTarget::RegisterWindow(HWND window) {
    if (window == FWindow) return true;
    if (FWindow && IsWindow(FWindow)) RevokeDragDrop(FWindow);
    FWindow = nullptr;
    static_cast<TImageDropTarget*>(FTarget.Get())->Window = window;
    if (FAILED(RegisterDragDrop(window, FTarget.Get()))) return false;
    FWindow = window;
    return true;
}

void AllowDropMessagesThroughFilter() noexcept {
    // ChangeWindowMessageFilter exists from Windows Vista on; looked up so
    // that an older system simply goes without.
    using TFilter = BOOL(WINAPI*)(UINT, DWORD);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32) return;
    const auto filter = reinterpret_cast<TFilter>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "ChangeWindowMessageFilter")));
    if (!filter) return;
    constexpr DWORD kAllow = 1;  // MSGFLT_ADD
    for (UINT message : {UINT{WM_DROPFILES}, UINT{WM_COPYDATA}, kWmCopyGlobalData}) filter(message, kAllow);
}

TFileDragSource::TFileDragSource() : FRunner(RunDoDragDrop) {}

void TFileDragSource::SetDragRunner(TDragRunner runner) { FRunner = runner ? std::move(runner) : RunDoDragDrop; }

std::optional<DWORD> TFileDragSource::PerformedDropEffect() const {
    if (!FData) return std::nullopt;
    FORMATETC format{static_cast<CLIPFORMAT>(PerformedDropEffectFormat()), nullptr, DVASPECT_CONTENT, -1,
                     TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(FData->GetData(&format, &medium))) return std::nullopt;
    const TOwnedMedium owned(medium);
    const TGlobalLock lock(medium.hGlobal);
    if (!lock.Data() || lock.Size() < sizeof(DWORD)) return std::nullopt;
    DWORD effect = 0;
    std::memcpy(&effect, lock.Data(), sizeof effect);
    return effect;
}

TDragResult TFileDragSource::StartDrag() {
    if (InAsyncOperation(FData.Get())) throw EQuillmarkError("An asynchronous drag and drop operation is in progress");
    if (FDragging) throw EQuillmarkError("A drag and drop operation is already in progress");
    const TDragInProgress inProgress(FDragging);

    const TDragTypes allowed = FDragTypes;
    // A new data object per drag: the feedback of the last drag is gone.
    FData = CreateFileDataObject(FFiles, AllowAsyncTransfer);
    const TComPtr<IDropSource> source(std::make_unique<TDropSource>(ButtonsHeldNow()).release());

    TComPtr<IDragSourceHelper> helper;
    if (ShowImage && SUCCEEDED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                                                IID_IDragSourceHelper, reinterpret_cast<void**>(helper.Put())))) {
        bool handled = false;
        if (OnGetDragImage) OnGetDragImage(*this, *helper.Get(), handled);
        if (!handled) helper.Reset();
    }

    // The drop effect bits are those of TDragType (copy 1, move 2, link 4).
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT outcome = FRunner(FData.Get(), source.Get(), allowed, &effect);
    helper.Reset();
    switch (outcome) {
        case DRAGDROP_S_DROP:
            // A target that moved the file itself says so through the feedback.
            if (PerformedDropEffect() == DWORD{DROPEFFECT_MOVE}) return TDragResult::drDropMove;
            return DragResultOf(effect, allowed);
        case DRAGDROP_S_CANCEL:
            return TDragResult::drCancel;
        case E_OUTOFMEMORY:
            return TDragResult::drOutMemory;
        default:
            return TDragResult::drUnknown;
    }
}

void SetDragImageFromGraphic(TFileDragSource& source, const TRGBImage& graphic, IDragSourceHelper& helper,
                             bool& handled) {
    handled = false;
    if (!source.DataObject()) return;
    const TDragImageSize size = DragImageSize(graphic.Width, graphic.Height, GetSystemMetrics(SM_CXSCREEN));
    if (size.Width == 0 || size.Height == 0) return;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.Width;
    info.bmiHeader.biHeight = -size.Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    TBitmapHandle bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return;
    {
        const TMemoryDC dc;
        const TSelection selected(dc.Get(), bitmap.Get());
        const RECT all{0, 0, size.Width, size.Height};
        FillRect(dc.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        DrawRGBImage(dc.Get(), graphic, TRect{0, 0, size.Width, size.Height});
        GdiFlush();
    }
    // GDI leaves the alpha bytes at 0; the helper would show such pixels as
    // fully transparent, so the image is made opaque.
    auto* pixel = static_cast<std::uint8_t*>(bits);
    for (long long i = 0; i < static_cast<long long>(size.Width) * size.Height; ++i) pixel[i * 4 + 3] = 0xFF;

    SHDRAGIMAGE image{};
    image.sizeDragImage = {size.Width, size.Height};
    image.ptOffset = {size.Width, kDragImageHotSpotY};
    image.hbmpDragImage = bitmap.Get();
    image.crColorKey = CLR_NONE;
    if (SUCCEEDED(helper.InitializeFromBitmap(&image, source.DataObject()))) {
        bitmap.Release();  // the helper owns it now
        handled = true;
    }
}

}  // namespace qm
