// Helpers shared by the JSON tests: a scratch folder that is removed
// afterwards, and whole-file read and write.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "TestFiles.h"

namespace qm::test {

using TScratchFolder = TTempFolder;

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
