#include "UWinHandles.h"

#include <new>

#include "UErrors.h"
#include "UTextEncoding.h"

namespace qm {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the wide-character API uses UTF-16 code units");

std::wstring WideOf(std::string_view utf8) {
    const std::u16string u16 = Utf8ToUtf16(utf8);
    return std::wstring(u16.begin(), u16.end());
}

std::string Utf8Of(std::wstring_view wide) {
    return EncodeUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

TMemoryDC::TMemoryDC(HDC reference) : FDC(CreateCompatibleDC(reference)) {
    if (!FDC) throw EQuillmarkError("CreateCompatibleDC failed");
}

TGlobalMemory::TGlobalMemory(SIZE_T bytes) : FHandle(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes)) {
    if (!FHandle) throw std::bad_alloc();
}

}  // namespace qm
