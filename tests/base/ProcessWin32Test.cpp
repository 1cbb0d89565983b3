// The loader's search after RestrictLibrarySearch: a DLL beside the program
// (the test's own folder, where qm_planted.dll is built) is not found by its
// bare name, a system DLL still is.
#include <gtest/gtest.h>

#include <windows.h>

#include "UProcess.h"

using namespace qm;

namespace {

bool Loads(const wchar_t* name) {
    HMODULE module = ::LoadLibraryW(name);
    if (module == nullptr) return false;
    ::FreeLibrary(module);
    return true;
}

TEST(ProcessWin32, AfterRestrictLibrarySearchADllPlantedBesideTheProgramIsNotLoaded) {
    // The plant works at all: without the restriction the loader takes it
    // from the program's folder.
    ASSERT_TRUE(Loads(L"qm_planted.dll"));
    RestrictLibrarySearch();
    EXPECT_FALSE(Loads(L"qm_planted.dll"));
    EXPECT_TRUE(Loads(L"version.dll"));
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

}  // namespace
