#include "UExitRemoval.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "UExitRemovalPlatform.h"
#include "UFileUtil.h"

namespace qm {

namespace {

struct TExitList {
    std::mutex Lock;
    std::vector<std::string> Paths;
};

// Made on first use and never destroyed, so that the exit handler finds it
// whatever order the other static objects go in.
TExitList& List() {
    static auto* list = new TExitList;
    return *list;
}

void RemoveRegistered() {
    TExitList& list = List();
    const std::lock_guard<std::mutex> guard(list.Lock);
    for (const std::string& path : list.Paths) DeleteFileIfExists(path);
    list.Paths.clear();
}

}  // namespace

void RemoveAtExit(const std::string& path) noexcept {
    static std::once_flag installed;
    try {
        std::call_once(installed, [] { std::atexit(RemoveRegistered); });
        TExitList& list = List();
        const std::lock_guard<std::mutex> guard(list.Lock);
        if (std::find(list.Paths.begin(), list.Paths.end(), path) == list.Paths.end()) list.Paths.push_back(path);
        TellGuardian(list.Paths);
    } catch (...) {
        // Not registered: the file stays only if the process ends by exit().
    }
}

void KeepAtExit(const std::string& path) noexcept {
    TExitList& list = List();
    const std::lock_guard<std::mutex> guard(list.Lock);
    list.Paths.erase(std::remove(list.Paths.begin(), list.Paths.end(), path), list.Paths.end());
    TellGuardian(list.Paths);
}

}  // namespace qm
