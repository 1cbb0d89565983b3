// quillmark-icon OUT.ico: writes the program's icon (the QR code of its
// name) for the Windows resources. Run once when the icon changes; the
// result is checked in as src/app/win32/quillmark.ico, and a test holds
// that file to what this program writes.
#include <cstdio>
#include <exception>

#include "UDialogController.h"
#include "UFileUtil.h"
#include "UIconFile.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "Aufruf: quillmark-icon DATEI.ico\n");
        return 2;
    }
    try {
        std::vector<qm::TRGBImage> images;
        for (const int size : qm::kIconSizes) images.push_back(qm::QRIconImage(qm::kApplicationTitle, size));
        qm::WriteFileAtomic(argv[1], qm::IconFile(images));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
