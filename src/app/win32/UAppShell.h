// Program shell on Windows: the error message box every failure that leaves
// a handler ends in (installed by the program's main) and the window it
// belongs to. The guard itself is UErrorGuard.h.
#pragma once

#include "UWinApi.h"

#include <string>

#include "UErrorGuard.h"

namespace qm {

// MessageBoxW with MB_OK | MB_ICONERROR, owned by the program's window
// (SetMessageBoxOwner) while that is shown; else a box of its own on the
// task bar.
class TWinMessageBox : public IMessageBox {
public:
    void ShowError(const std::string& title, const std::string& text) override;
};

// The window the error boxes belong to from now on (the dialog, once it
// exists); null: none. On the user-interface thread.
void SetMessageBoxOwner(HWND owner) noexcept;
// The window last given to SetMessageBoxOwner.
HWND MessageBoxOwner() noexcept;

}  // namespace qm
