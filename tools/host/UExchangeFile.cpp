#include "UExchangeFile.h"

#include <algorithm>
#include <functional>

#include "UFileUtil.h"
#include "UHostRequest.h"
#include "UStringList.h"

namespace qm {

namespace {

// Runs `change` on the lines of the exchange file while holding the lock
// file beside it, and publishes the result.
void EditExchangeFile(const std::function<void(TStringList&)>& change, const TLockWait& wait) {
    const std::string folder = GetWorkingFolder();
    const std::string path = folder + std::string(kExchangeFileName);
    const TExchangeLock lock(folder + "." + std::string(kExchangeFileName) + ".lock", wait);
    TStringList lines;
    LoadLinesWithRetry(lines, path);
    change(lines);
    if (lines.Empty()) {
        DeleteFileIfExists(path);
    } else {
        WriteFileAtomic(path, lines.Text("\n"));
    }
}

void DropName(TStringList& lines, std::string_view name) {
    std::erase(lines.Items, std::string(name));
}

}  // namespace

void AddExchangeServer(std::string_view name, bool asDefault, const TLockWait& wait) {
    EditExchangeFile(
        [&](TStringList& lines) {
            DropName(lines, name);
            if (asDefault) {
                lines.Items.insert(lines.Items.begin(), std::string(name));
            } else {
                lines.Add(std::string(name));
            }
        },
        wait);
}

void RemoveExchangeServer(std::string_view name, const TLockWait& wait) {
    EditExchangeFile([&](TStringList& lines) { DropName(lines, name); }, wait);
}

TExchangeRegistration::TExchangeRegistration(std::string name, bool asDefault, TLockWait wait)
    : name_(std::move(name)), wait_(std::move(wait)) {
    AddExchangeServer(name_, asDefault, wait_);
}

TExchangeRegistration::~TExchangeRegistration() {
    try {
        RemoveExchangeServer(name_, wait_);
    } catch (const EQuillmarkError&) {  // the folder went away, or told to stop: nothing more to do
    }
}

}  // namespace qm
