// Owners of Win32 and COM resources, so that every handle, lock and
// interface pointer is released on every path, exceptions included.
#pragma once

#include "UWinApi.h"
#include "UWinText.h"

#include <objbase.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace qm {

// A GDI object (HFONT, HBRUSH, HPEN, HBITMAP, HRGN) deleted with
// DeleteObject. Must not be selected into a DC when it dies: TSelection
// restores the DC's previous object first.
template <typename THandle>
class TGdiObject {
public:
    TGdiObject() noexcept = default;
    explicit TGdiObject(THandle handle) noexcept : FHandle(handle) {}
    TGdiObject(TGdiObject&& other) noexcept : FHandle(std::exchange(other.FHandle, nullptr)) {}
    TGdiObject& operator=(TGdiObject&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.FHandle, nullptr));
        return *this;
    }
    TGdiObject(const TGdiObject&) = delete;
    TGdiObject& operator=(const TGdiObject&) = delete;
    ~TGdiObject() { Reset(); }

    THandle Get() const noexcept { return FHandle; }
    explicit operator bool() const noexcept { return FHandle != nullptr; }
    void Reset(THandle handle = nullptr) noexcept {
        if (FHandle) DeleteObject(FHandle);
        FHandle = handle;
    }
    // Gives the handle away (e.g. to a service that takes ownership).
    THandle Release() noexcept { return std::exchange(FHandle, nullptr); }

private:
    THandle FHandle = nullptr;
};

using TFontHandle = TGdiObject<HFONT>;
using TBrushHandle = TGdiObject<HBRUSH>;
using TPenHandle = TGdiObject<HPEN>;
using TBitmapHandle = TGdiObject<HBITMAP>;

// An icon the program made or loaded for itself (LoadImageW without
// LR_SHARED, LoadIconWithScaleDown), destroyed with DestroyIcon. A window
// that shows it (WM_SETICON) must be given another one first.
struct TIconDeleter {
    void operator()(HICON icon) const noexcept { DestroyIcon(icon); }
};
using TIconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, TIconDeleter>;

// A memory DC (CreateCompatibleDC), deleted with DeleteDC.
class TMemoryDC {
public:
    // Compatible with `reference`; null: with the screen. Raises
    // EQuillmarkError when the system has no DC left.
    explicit TMemoryDC(HDC reference = nullptr);
    TMemoryDC(const TMemoryDC&) = delete;
    TMemoryDC& operator=(const TMemoryDC&) = delete;
    ~TMemoryDC() { DeleteDC(FDC); }
    HDC Get() const noexcept { return FDC; }

private:
    HDC FDC;
};

// The DC of a window or the screen (GetDC), given back with ReleaseDC.
class TWindowDC {
public:
    explicit TWindowDC(HWND window) noexcept : FWindow(window), FDC(GetDC(window)) {}
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    ~TWindowDC() {
        if (FDC) ReleaseDC(FWindow, FDC);
    }
    HDC Get() const noexcept { return FDC; }

private:
    HWND FWindow;
    HDC FDC;
};

// One WM_PAINT: BeginPaint when made, EndPaint when it dies, also when
// drawing fails, so that the window's update region is validated and the
// caret shown again (BeginPaint's documentation). Dc() is null when
// BeginPaint failed.
class TPaintGuard {
public:
    explicit TPaintGuard(HWND window) noexcept : FWindow(window), FDC(BeginPaint(window, &FPaint)) {}
    TPaintGuard(const TPaintGuard&) = delete;
    TPaintGuard& operator=(const TPaintGuard&) = delete;
    ~TPaintGuard() {
        if (FDC) EndPaint(FWindow, &FPaint);
    }
    HDC Dc() const noexcept { return FDC; }

private:
    HWND FWindow;
    PAINTSTRUCT FPaint{};
    HDC FDC;
};

// An object selected into a DC for one scope; the previous one comes back.
class TSelection {
public:
    TSelection(HDC dc, HGDIOBJ object) noexcept : FDC(dc), FOld(SelectObject(dc, object)) {}
    TSelection(const TSelection&) = delete;
    TSelection& operator=(const TSelection&) = delete;
    ~TSelection() {
        if (FOld && FOld != HGDI_ERROR) SelectObject(FDC, FOld);
    }

private:
    HDC FDC;
    HGDIOBJ FOld;
};

// Movable global memory (GlobalAlloc GMEM_MOVEABLE), freed unless released
// to a new owner (a clipboard-format medium).
class TGlobalMemory {
public:
    TGlobalMemory() noexcept = default;
    // Zero-filled block of `bytes` (> 0); raises std::bad_alloc when the
    // system refuses it.
    explicit TGlobalMemory(SIZE_T bytes);
    TGlobalMemory(TGlobalMemory&& other) noexcept : FHandle(std::exchange(other.FHandle, nullptr)) {}
    TGlobalMemory& operator=(TGlobalMemory&& other) noexcept {
        if (this != &other) {
            if (FHandle) GlobalFree(FHandle);
            FHandle = std::exchange(other.FHandle, nullptr);
        }
        return *this;
    }
    TGlobalMemory(const TGlobalMemory&) = delete;
    TGlobalMemory& operator=(const TGlobalMemory&) = delete;
    ~TGlobalMemory() {
        if (FHandle) GlobalFree(FHandle);
    }
    HGLOBAL Get() const noexcept { return FHandle; }
    HGLOBAL Release() noexcept { return std::exchange(FHandle, nullptr); }

private:
    HGLOBAL FHandle = nullptr;
};

// A lock on global memory for one scope. Data() is null when the lock failed.
class TGlobalLock {
public:
    explicit TGlobalLock(HGLOBAL memory) noexcept : FMemory(memory), FData(GlobalLock(memory)) {}
    TGlobalLock(const TGlobalLock&) = delete;
    TGlobalLock& operator=(const TGlobalLock&) = delete;
    ~TGlobalLock() {
        if (FData) GlobalUnlock(FMemory);
    }
    void* Data() const noexcept { return FData; }
    SIZE_T Size() const noexcept { return FData ? GlobalSize(FMemory) : 0; }

private:
    HGLOBAL FMemory;
    void* FData;
};

// A COM interface pointer holding one reference.
template <typename T>
class TComPtr {
public:
    TComPtr() noexcept = default;
    // Takes over one reference the caller already holds.
    explicit TComPtr(T* pointer) noexcept : FPointer(pointer) {}
    TComPtr(const TComPtr& other) noexcept : FPointer(other.FPointer) {
        if (FPointer) FPointer->AddRef();
    }
    TComPtr(TComPtr&& other) noexcept : FPointer(std::exchange(other.FPointer, nullptr)) {}
    TComPtr& operator=(TComPtr other) noexcept {
        std::swap(FPointer, other.FPointer);
        return *this;
    }
    ~TComPtr() { Reset(); }

    T* Get() const noexcept { return FPointer; }
    T* operator->() const noexcept { return FPointer; }
    explicit operator bool() const noexcept { return FPointer != nullptr; }
    void Reset() noexcept {
        if (FPointer) std::exchange(FPointer, nullptr)->Release();
    }
    // For functions that hand out a new reference through T**.
    T** Put() noexcept {
        Reset();
        return &FPointer;
    }

private:
    T* FPointer = nullptr;
};

// An item identifier list from the shell, freed with CoTaskMemFree (ILFree).
class TItemIdList {
public:
    TItemIdList() noexcept = default;
    explicit TItemIdList(PIDLIST_ABSOLUTE list) noexcept : FList(list) {}
    TItemIdList(TItemIdList&& other) noexcept : FList(std::exchange(other.FList, nullptr)) {}
    TItemIdList& operator=(TItemIdList&& other) noexcept {
        if (this != &other) {
            CoTaskMemFree(FList);
            FList = std::exchange(other.FList, nullptr);
        }
        return *this;
    }
    TItemIdList(const TItemIdList&) = delete;
    TItemIdList& operator=(const TItemIdList&) = delete;
    ~TItemIdList() { CoTaskMemFree(FList); }
    PIDLIST_ABSOLUTE Get() const noexcept { return FList; }
    PIDLIST_ABSOLUTE* Put() noexcept {
        CoTaskMemFree(std::exchange(FList, nullptr));
        return &FList;
    }

private:
    PIDLIST_ABSOLUTE FList = nullptr;
};

// OLE for the calling thread (OleInitialize) for one scope; OleUninitialize
// only when the initialisation succeeded, as the documentation demands.
class TOleInitialization {
public:
    TOleInitialization() noexcept : FResult(OleInitialize(nullptr)) {}
    TOleInitialization(const TOleInitialization&) = delete;
    TOleInitialization& operator=(const TOleInitialization&) = delete;
    ~TOleInitialization() {
        if (SUCCEEDED(FResult)) OleUninitialize();
    }
    bool Succeeded() const noexcept { return SUCCEEDED(FResult); }

private:
    HRESULT FResult;
};

}  // namespace qm
