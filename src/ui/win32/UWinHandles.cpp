#include "UWinHandles.h"

#include <new>

#include "UErrors.h"

namespace qm {

TMemoryDC::TMemoryDC(HDC reference) : FDC(CreateCompatibleDC(reference)) {
    if (!FDC) throw EQuillmarkError("CreateCompatibleDC failed");
}

TGlobalMemory::TGlobalMemory(SIZE_T bytes) : FHandle(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes)) {
    if (!FHandle) throw std::bad_alloc();
}

}  // namespace qm
