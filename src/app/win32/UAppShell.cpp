#include "UAppShell.h"

#include "UWinApi.h"

#include "UWinText.h"

namespace qm {

namespace {

HWND GOwner = nullptr;

}  // namespace

void SetMessageBoxOwner(HWND owner) noexcept { GOwner = owner; }

HWND MessageBoxOwner() noexcept { return GOwner; }

void TWinMessageBox::ShowError(const std::string& title, const std::string& text) {
    const std::wstring wideTitle = ToWide(title);
    const std::wstring wideText = ToWide(text);
    // Not the thread's active window, which may be none or another program's:
    // the box sits over the dialog and keeps it from input while it is open.
    // A hidden dialog (before it is shown) would hide the box's task bar
    // button with it.
    const HWND owner = GOwner != nullptr && IsWindow(GOwner) && IsWindowVisible(GOwner) ? GOwner : nullptr;
    MessageBoxW(owner, wideText.c_str(), wideTitle.c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace qm
