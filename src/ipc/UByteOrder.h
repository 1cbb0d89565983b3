// Little-endian integers as they stand in pipe frames and payloads,
// independent of the machine's own byte order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace qm {

// Appends `value` as sizeof(T) little-endian bytes.
template <typename T>
void AppendLE(std::string& out, T value) {
    static_assert(std::is_integral_v<T>);
    auto u = static_cast<std::make_unsigned_t<T>>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out.push_back(static_cast<char>(u & 0xFF));
        u = static_cast<decltype(u)>(u >> 8 * (sizeof(T) > 1));
    }
}

// Reads sizeof(T) little-endian bytes. Precondition: bytes.size() >= sizeof(T).
template <typename T>
T LoadLE(std::string_view bytes) noexcept {
    static_assert(std::is_integral_v<T>);
    std::make_unsigned_t<T> u = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) {
        u = static_cast<decltype(u)>((u << 8 * (sizeof(T) > 1)) | static_cast<unsigned char>(bytes[i]));
    }
    return static_cast<T>(u);
}

}  // namespace qm
