// Headless runs (the Windows demo under Xvfb, end-to-end tests): after the
// first load the dialog's result is copied out, described and the program
// ends, instead of waiting for a user.
#pragma once

namespace qm {

class TLiveImportFrm;

// When %QUILLMARK_SNAPSHOT_DIR% is set: after the first load the client
// area (as "window.png"), the .vcf and the .png are copied into that folder;
// the window title, the caption as the window shows it, the window's
// position, client size and pixels per inch, and the paths are printed on
// standard output (UTF-8); then the message loop is ended with exit status
// 0 when a card was built, else 1. `form` must outlive its message loop.
void InstallSnapshotOnFirstLoad(TLiveImportFrm& form);

}  // namespace qm
