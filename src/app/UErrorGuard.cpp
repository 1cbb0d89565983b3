#include "UErrorGuard.h"

#include <cstdio>
#include <exception>

#include "UCommandLine.h"
#include "UDialogController.h"

namespace qm {

namespace {

std::unique_ptr<IMessageBox>& CurrentMessageBox() {
    static std::unique_ptr<IMessageBox> box = std::make_unique<TStderrMessageBox>();
    return box;
}

}  // namespace

void TStderrMessageBox::ShowError(const std::string& title, const std::string& text) {
    WriteText(stderr, title + ": " + text + "\n");
}

std::unique_ptr<IMessageBox> ReplaceMessageBox(std::unique_ptr<IMessageBox> box) {
    if (!box) box = std::make_unique<TStderrMessageBox>();
    CurrentMessageBox().swap(box);
    return box;
}

void ShowErrorBox(std::string_view text) {
    CurrentMessageBox()->ShowError(std::string(kApplicationTitle), std::string(text));
}

void ShowErrorMessage(std::string_view message) { ShowErrorBox(MessageBoxText(message)); }

std::string CurrentExceptionMessage() {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return std::string(kUnknownErrorMessage);
    }
}

bool RunGuarded(const std::function<void()>& handler) noexcept {
    try {
        // The box runs an event loop of its own: shown once the exception is
        // gone, not from inside the catch clause.
        const std::optional<std::string> message = FailureOf(handler);
        if (!message) return true;
        ShowErrorMessage(*message);
    } catch (...) {
        // Not even the message or the box could be had (out of memory):
        // nothing is left to tell.
    }
    return false;
}

}  // namespace qm
