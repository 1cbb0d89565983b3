// Helpers shared by the JSON tests: a scratch folder that is removed
// afterwards, and whole-file read and write.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace qm::test {

class TScratchFolder {
public:
    TScratchFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qmjson.XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        Root = tmpl + "/";
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    ~TScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(Root, ec);
    }
    std::string Path(const std::string& name) const { return Root + name; }

    std::string Root;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The message of the exception of type E that `action` raises ("" when none).
template <class E, class F>
std::string MessageOf(F&& action) {
    try {
        action();
    } catch (const E& e) {
        return e.what();
    }
    return {};
}

// Folder of the checked-in reference files.
inline std::string TestDataPath(const std::string& name) {
    return std::string(QM_SOURCE_DIR) + "/tests/json/data/" + name;
}

}  // namespace qm::test
