// What a headless run (the demo without a display, the end-to-end tests)
// leaves after the dialog's first load, the same on every platform: the
// card's files copied into the snapshot folder and the lines that describe
// the window. Each front end takes the picture of its window and gathers
// the facts; writing and wording are here.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace qm {

// Environment variable naming the folder the result goes to.
inline constexpr const char* kSnapshotVariable = "QUILLMARK_SNAPSHOT_DIR";

// $QUILLMARK_SNAPSHOT_DIR, or nullopt when it is unset or empty.
std::optional<std::string> SnapshotFolder();

// When $QUILLMARK_SNAPSHOT_DIR is set, failures are printed on standard
// error (TStderrMessageBox) instead of shown in a message box that nobody
// could close; returns whether it is set. Call it before the dialog is
// created.
bool InstallHeadlessHandling();

// The window after the first load, as the front end reads it.
struct TSnapshotFacts {
    std::string Title;        // the window title, UTF-8
    bool Built = false;       // whether the load built a card; nothing else is read when not
    std::string Caption;      // the caption's text as the window shows it
    std::string VcfFile;      // the card's files (full paths)
    std::string PngFile;
    int Left = 0, Top = 0;    // the outer window's top-left corner
    int InnerWidth = 0;       // the inner size in device pixels
    int InnerHeight = 0;
    int PixelsPerInch = 0;    // the density the card was made at
};

// Creates `dir` (with its parents), copies the .vcf and the .png into it,
// has `saveWindow` write the window's picture to `<dir>/window.png`, and
// returns the lines to print: the title alone when no card was built, else
// the title, the caption, the window's position, inner size and density,
// and the paths. Raises EInOutError (German message) when a file cannot be
// written or copied; `saveWindow` may raise too.
std::string WriteSnapshot(const std::string& dir, const TSnapshotFacts& facts,
                          const std::function<void(const std::string& windowPng)>& saveWindow);

}  // namespace qm
