// The label's named picture store and its cache of pictures loaded from
// addresses, the same for every toolkit; each toolkit fills them with its
// own picture type.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "UStringUtil.h"

namespace qm {

// Pictures by name; names compare ignoring letter case. `Picture` is any
// movable value type.
template <class Picture>
class TPictureStoreOf {
public:
    // Adds `picture` under `name`, replacing a picture of the same name.
    void Add(std::string name, Picture picture) {
        for (auto& [n, p] : FPictures) {
            if (SameTextIgnoreCase(n, name)) {
                p = std::move(picture);
                return;
            }
        }
        FPictures.emplace_back(std::move(name), std::move(picture));
    }
    void Clear() noexcept { FPictures.clear(); }
    // The picture called `name`, or nullptr.
    const Picture* Find(std::string_view name) const noexcept {
        for (const auto& [n, p] : FPictures)
            if (SameTextIgnoreCase(n, name)) return &p;
        return nullptr;
    }

private:
    std::vector<std::pair<std::string, Picture>> FPictures;
};

// Pictures loaded from addresses. An entry without a picture records a
// load that failed, so it is not tried again until the cache is cleared.
template <class Picture>
class TPictureCacheOf {
public:
    bool Contains(const std::string& address) const { return FEntries.contains(address); }
    // The loaded picture, or nullptr when absent or failed.
    const Picture* Find(const std::string& address) const {
        const auto it = FEntries.find(address);
        return (it != FEntries.end() && it->second) ? &*it->second : nullptr;
    }
    void Store(const std::string& address, std::optional<Picture> picture) {
        FEntries[address] = std::move(picture);
    }
    void Clear() noexcept { FEntries.clear(); }
    std::size_t Count() const noexcept { return FEntries.size(); }

private:
    std::map<std::string, std::optional<Picture>> FEntries;
};

}  // namespace qm
