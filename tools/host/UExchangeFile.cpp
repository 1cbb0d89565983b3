#include "UExchangeFile.h"

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <functional>

#include "UErrors.h"
#include "UFileUtil.h"
#include "UHostRequest.h"
#include "UPosixPipe.h"
#include "UStringList.h"

namespace qm {

namespace {

// Runs `change` on the lines of the exchange file while holding the lock
// file beside it, and publishes the result.
void EditExchangeFile(const std::function<void(TStringList&)>& change) {
    const std::string folder = GetWorkingFolder();
    const std::string path = folder + std::string(kExchangeFileName);
    const std::string lockPath = folder + "." + std::string(kExchangeFileName) + ".lock";

    TFileHandle lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!lock) throw EInOutError("Sperrdatei kann nicht geöffnet werden \"" + lockPath + "\"", errno);
    while (::flock(lock.Get(), LOCK_EX) != 0) {
        if (errno != EINTR) throw EInOutError("Sperrdatei kann nicht gesperrt werden \"" + lockPath + "\"", errno);
    }
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

void AddExchangeServer(std::string_view name, bool asDefault) {
    EditExchangeFile([&](TStringList& lines) {
        DropName(lines, name);
        if (asDefault) {
            lines.Items.insert(lines.Items.begin(), std::string(name));
        } else {
            lines.Add(std::string(name));
        }
    });
}

void RemoveExchangeServer(std::string_view name) {
    EditExchangeFile([&](TStringList& lines) { DropName(lines, name); });
}

TExchangeRegistration::TExchangeRegistration(std::string name, bool asDefault) : name_(std::move(name)) {
    AddExchangeServer(name_, asDefault);
}

TExchangeRegistration::~TExchangeRegistration() {
    try {
        RemoveExchangeServer(name_);
    } catch (const EQuillmarkError&) {  // the folder went away: nothing left to remove
    }
}

}  // namespace qm
