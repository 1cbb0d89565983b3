// The fuzz targets' view of their input as a sequence of values: texts that
// end at a 0 byte, single bytes and doubles, each taken from the front; an
// input used up gives empty texts and zeros.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace qm::fuzz {

class TReader {
public:
    TReader(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}
    std::string Text() {
        const std::size_t end = std::min(rest_.find('\0'), rest_.size());
        std::string s(rest_.substr(0, end));
        rest_.remove_prefix(std::min(end + 1, rest_.size()));
        return s;
    }
    std::uint8_t Byte() {
        if (rest_.empty()) return 0;
        const auto b = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return b;
    }
    double Number() {
        double d = 0;
        if (rest_.size() >= sizeof d) {
            std::memcpy(&d, rest_.data(), sizeof d);
            rest_.remove_prefix(sizeof d);
        }
        return d;
    }

private:
    std::string_view rest_;
};

}  // namespace qm::fuzz
