#include "UWinAccessible.h"

#include <oleacc.h>

#include <algorithm>
#include <atomic>
#include <new>

namespace qm {

namespace {

// Child ids arrive as VT_I4 variants (IAccessible's documentation).
std::optional<long> ChildId(const VARIANT& child) {
    if (child.vt != VT_I4) return std::nullopt;
    return child.lVal;
}


HRESULT ReturnText(const std::wstring& text, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (text.empty()) return S_FALSE;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The object of one window's client area. The standard object answers
// whatever the source does not; element ids (1..n) are ours alone.
class TAccessible final : public IAccessible, public IOleWindow {
public:
    TAccessible(HWND window, IAccessible* standard, std::weak_ptr<IAccessibleSource> source)
        : FWindow(window), FStandard(standard), FSource(std::move(source)) {
        FStandard->AddRef();
    }
    TAccessible(const TAccessible&) = delete;
    TAccessible& operator=(const TAccessible&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        // No IEnumVARIANT: clients then count and fetch children through
        // accChildCount and accChild, which know the elements.
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
        } else if (iid == __uuidof(IOleWindow)) {
            *out = static_cast<IOleWindow*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FReferences; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --FReferences;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch: clients of MSAA call through the vtable; no type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IOleWindow: WindowFromAccessibleObject asks for it.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (window == nullptr) return E_POINTER;
        *window = FWindow;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return FStandard->get_accParent(parent); }

    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        if (count == nullptr) return E_POINTER;
        const auto source = FSource.lock();
        if (!source) return RPC_E_DISCONNECTED;
        const std::size_t elements = source->Elements().size();
        if (elements == 0) return FStandard->get_accChildCount(count);
        *count = static_cast<long>(elements);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        TAnswer answer = Lookup(child);
        if (answer.Failure != S_OK) return answer.Failure;
        if (answer.Self) return E_INVALIDARG;
        // Elements are simple children: the parent answers for them.
        if (answer.Element) return S_FALSE;
        return FStandard->get_accChild(child, out);
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        TAnswer answer = Lookup(child);
        if (answer.Failure != S_OK) return answer.Failure;
        if (answer.Element) return ReturnText(answer.Element->Name, name);
        if (answer.Self) {
            const std::wstring own = answer.Source->Name();
            if (!own.empty()) return ReturnText(own, name);
        }
        return FStandard->get_accName(child, name);
    }

    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        TAnswer answer = Lookup(child);
        if (answer.Failure != S_OK) return answer.Failure;
        if (answer.Element) return ReturnText({}, value);
        return FStandard->get_accValue(child, value);
    }

    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        TAnswer answer = Lookup(child);
        if (answer.Failure != S_OK) return answer.Failure;
        if (answer.Element) return ReturnText({}, description);
        return FStandard->get_accDescription(child, description);
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (role == nullptr) return E_POINTER;
        TAnswer answer = Lookup(child);
        if (answer.Failure != S_OK) return answer.Failure;
        if (answer.Element) *role = I4(answer.Element->Role);
        else if (answer.Self) *role = I4(answer.Source->Role());
        else return FStandard->get_accRole(child, role);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (state == nullptr) return E_POINTER;
        TAnswer answer = Lookup(child);
        if (answer.Failure != S_OK) return answer.Failure;
        if (answer.Element) {
            *state = I4(answer.Element->State);
            return S_OK;
        }
        const HRESULT result = FStandard->get_accState(child, state);
        if (answer.Self && SUCCEEDED(result) && state->vt == VT_I4) state->lVal |= answer.Source->AddedState();
        return result;
    }

    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        TAnswer answer = Lookup(child);
        if (answer.Failure != S_OK) return answer.Failure;
        if (answer.Element) return ReturnText({}, help);
        return FStandard->get_accHelp(child, help);
    }

    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        TAnswer answer = Lookup(child);
        if (answer.Failure != S_OK) return answer.Failure;
        if (answer.Element) return S_FALSE;
        return FStandard->get_accHelpTopic(file, child, topic);
    }

    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        TAnswer answer = Lookup(child);
        if (answer.Failure != S_OK) return answer.Failure;
        if (answer.Element) return ReturnText({}, shortcut);
        return FStandard->get_accKeyboardShortcut(child, shortcut);
    }

    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (focus == nullptr) return E_POINTER;
        const auto source = FSource.lock();
        if (!source) return RPC_E_DISCONNECTED;
        if (const int element = source->FocusedElement(); element > 0) {
            *focus = I4(element);
            return S_OK;
        }
        return FStandard->get_accFocus(focus);
    }

    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return FStandard->get_accSelection(selection);
    }

    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        TAnswer answer = Lookup(child);
        if (answer.Failure != S_OK) return answer.Failure;
        if (answer.Element) return ReturnText(answer.Element->DefaultAction, action);
        if (answer.Self) {
            const std::wstring own = answer.Source->DefaultAction();
            if (!own.empty()) return ReturnText(own, action);
        }
        return FStandard->get_accDefaultAction(child, action);
    }

    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        TAnswer answer = Lookup(child);
        if (answer.Failure != S_OK) return answer.Failure;
        if (answer.Element) return DISP_E_MEMBERNOTFOUND;
        return FStandard->accSelect(flags, child);
    }

    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
        TAnswer answer = Lookup(child);
        if (answer.Failure != S_OK) return answer.Failure;
        if (!answer.Element) return FStandard->accLocation(left, top, width, height, child);
        const RECT& r = answer.Element->ScreenRect;
        *left = r.left;
        *top = r.top;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        if (end == nullptr) return E_POINTER;
        VariantInit(end);
        TAnswer answer = Lookup(start);
        if (answer.Failure != S_OK) return answer.Failure;
        const long count = static_cast<long>(answer.Elements.size());
        if (answer.Self && count > 0 && (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD)) {
            *end = I4(direction == NAVDIR_FIRSTCHILD ? 1 : count);
            return S_OK;
        }
        if (answer.Element) {
            const long id = *ChildId(start);
            const long next = direction == NAVDIR_NEXT ? id + 1 : direction == NAVDIR_PREVIOUS ? id - 1 : 0;
            if (next < 1 || next > count) return S_FALSE;
            *end = I4(next);
            return S_OK;
        }
        return FStandard->accNavigate(direction, start, end);
    }

    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* at) override {
        if (at == nullptr) return E_POINTER;
        const auto source = FSource.lock();
        if (!source) return RPC_E_DISCONNECTED;
        const std::vector<TAccessibleElement> elements = source->Elements();
        const POINT p{x, y};
        for (std::size_t i = 0; i < elements.size(); ++i) {
            if (PtInRect(&elements[i].ScreenRect, p)) {
                *at = I4(static_cast<long>(i) + 1);
                return S_OK;
            }
        }
        return FStandard->accHitTest(x, y, at);
    }

    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        TAnswer answer = Lookup(child);
        if (answer.Failure != S_OK) return answer.Failure;
        if (answer.Element)
            return answer.Source->DoElementDefaultAction(static_cast<int>(*ChildId(child))) ? S_OK
                                                                                          : DISP_E_MEMBERNOTFOUND;
        if (answer.Self && answer.Source->DoDefaultAction()) return S_OK;
        return FStandard->accDoDefaultAction(child);
    }

    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~TAccessible() { FStandard->Release(); }

    // What a child id names: the window itself, one of our elements, or
    // (neither) a child the standard object knows. Failure is S_OK when
    // the id could be looked up.
    struct TAnswer {
        HRESULT Failure = S_OK;
        std::shared_ptr<IAccessibleSource> Source;
        std::vector<TAccessibleElement> Elements;
        bool Self = false;
        const TAccessibleElement* Element = nullptr;
    };
    TAnswer Lookup(const VARIANT& child) {
        TAnswer answer;
        const std::optional<long> id = ChildId(child);
        if (!id) {
            answer.Failure = E_INVALIDARG;
            return answer;
        }
        answer.Source = FSource.lock();
        if (!answer.Source) {
            answer.Failure = RPC_E_DISCONNECTED;
            return answer;
        }
        answer.Self = *id == CHILDID_SELF;
        answer.Elements = answer.Source->Elements();
        if (*id >= 1 && static_cast<std::size_t>(*id) <= answer.Elements.size())
            answer.Element = &answer.Elements[static_cast<std::size_t>(*id) - 1];
        else if (!answer.Self && !answer.Elements.empty())
            answer.Failure = E_INVALIDARG;
        return answer;
    }

    std::atomic<ULONG> FReferences{1};
    HWND FWindow;
    IAccessible* FStandard;
    std::weak_ptr<IAccessibleSource> FSource;
};

}  // namespace

std::wstring WindowTextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(std::max(0, GetWindowTextLengthW(window))) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::optional<LRESULT> AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam,
                                       const std::shared_ptr<IAccessibleSource>& source) {
    // The object id is a DWORD in the low half of lParam (WM_GETOBJECT).
    if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT || !source) return std::nullopt;
    IAccessible* standard = nullptr;
    const HRESULT made =
        CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&standard));
    if (FAILED(made) || standard == nullptr) return std::nullopt;
    auto* object = new (std::nothrow) TAccessible(window, standard, source);
    standard->Release();
    if (object == nullptr) return std::nullopt;
    // LresultFromObject takes its own reference (the object is marshalled).
    const LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(object));
    object->Release();
    // A failure comes back as its (negative) HRESULT.
    if (result <= 0) return std::nullopt;
    return result;
}

VARIANT I4(long value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

}  // namespace qm
