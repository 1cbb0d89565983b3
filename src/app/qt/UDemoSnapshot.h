// Headless runs (the demo without a display, end-to-end tests): after the
// first load the dialog's result is copied out, described and the program
// ends, instead of waiting for a user.
#pragma once

#include <string>

namespace qm {

class TLiveImportFrm;

// When $QUILLMARK_SNAPSHOT_DIR is set: after the first load the window (as
// "window.png"), the .vcf and the .png are copied into that folder, the
// window title, the caption as the window shows it, the window's position,
// inner size in device pixels and pixels per inch, and the paths are printed
// on standard output, and the program quits (exit status 0 when a card was
// built, else 1).
void InstallSnapshotOnFirstLoad(TLiveImportFrm& form);

}  // namespace qm
