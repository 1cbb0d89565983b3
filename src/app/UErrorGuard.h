// The error guard of every front end, without a toolkit: where error
// messages go (the current message box), and the rule that turns a failure
// leaving a handler into one message under kApplicationTitle. Each front end
// adds its own box (qt/UAppShell.h, win32/UAppShell.h) and installs it when
// its program starts; until then, and in headless runs, messages go to
// standard error.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// Where error messages go. The program shows its toolkit's modal box; the
// headless run prints them, tests record them. Used on the user-interface
// thread only.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // Shows `text` under `title` (both UTF-8) with an error icon and an OK
    // button; returns when the user has closed it.
    virtual void ShowError(const std::string& title, const std::string& text) = 0;
};

// Prints "<title>: <text>" and a line break on standard error (WriteText).
class TStderrMessageBox : public IMessageBox {
public:
    void ShowError(const std::string& title, const std::string& text) override;
};

// Installs `box` as the message box and returns the previous one; nullptr
// installs a TStderrMessageBox, the box before any other is installed.
std::unique_ptr<IMessageBox> ReplaceMessageBox(std::unique_ptr<IMessageBox> box);

// Shows `text` unchanged under kApplicationTitle.
void ShowErrorBox(std::string_view text);
// Shows `message` (by MessageBoxText) under kApplicationTitle.
void ShowErrorMessage(std::string_view message);

// Within a catch clause: the what() text of the exception being handled,
// kUnknownErrorMessage for anything that is not a std::exception.
std::string CurrentExceptionMessage();

// Runs `handler`; returns the message (CurrentExceptionMessage) of an
// exception leaving it, nullopt when none did. The exception is gone when
// this returns, so a box that runs an event loop of its own may show the
// message.
template <typename Handler>
std::optional<std::string> FailureOf(Handler&& handler) {
    try {
        handler();
        return std::nullopt;
    } catch (...) {
        return CurrentExceptionMessage();
    }
}

// Runs `handler`; an exception leaving it is shown by ShowErrorMessage and
// swallowed: no exception may cross a window procedure or an event
// handler. Returns false when the handler failed.
bool RunGuarded(const std::function<void()>& handler) noexcept;

}  // namespace qm
