// Converting many host record files into vCard and QR image files without
// the dialog: option parsing, the parallel run and its report.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "UCardBuilder.h"

namespace qm {

struct TCardToolOptions {
    TCardSettings Settings;        // size, pixels per inch, margin, level
    TvCardVersion Version = TvCardVersion::vv40;  // of the .vcf and the QR payload: vv21, vv30, vv40
    std::string OutDir = ".";      // created when missing
    unsigned Jobs = 0;             // 0: one per core
    bool ToStdout = false;         // print the vCard text of the one record instead of files
    bool Testcase = false;         // also write the formatted record
    bool Help = false;
    bool ShowVersion = false;      // --version: print the program's version only
    std::vector<std::string> Records;
};

// Parses the command line (without the program name). Raises
// EQuillmarkError with a message naming the bad option or value.
TCardToolOptions ParseCardToolArgs(const std::vector<std::string>& args);

// The text --help prints.
std::string CardToolUsage();

// Loads and composes the record file `path` as the dialog does (backup rule,
// the record's own errors). Where the dialog would only report that no
// usable record came from the host, raises EQuillmarkError naming the
// problem with the file: "Datei nicht gefunden", "Ordner statt Datei",
// "Keine gewöhnliche Datei", the read error, "Datei ist leer" or
// "Kein JSON: " and the parse error. A record without any name gets the
// record file's name (without extension) as its base name, "vCard" when
// that is unusable too. The card is rendered in `version`.
TRecordCard LoadToolRecordCard(const std::string& path, std::chrono::system_clock::time_point nowUtc,
                               TvCardVersion version = TvCardVersion::vv40);

// Makes the non-empty `names` unique, ignoring letter case, in their order:
// the first keeps its name, later ones get " (2)", " (3)", ... (the name cut
// at a character boundary so that it stays within `limit` bytes, limit >=
// 16). A name that occurs as given is never handed to another one as a
// suffixed name. Empty names stay empty.
std::vector<std::string> UniqueBaseNames(const std::vector<std::string>& names, std::size_t limit);

// The outcome of one record.
struct TRecordOutcome {
    std::string RecordPath;
    bool Ok = false;
    std::string Message;   // the failure's message when !Ok
    std::string BaseName;  // the file base name used (after collision handling)
    std::string VcfPath;
    std::string PngPath;
};

// Converts every record of `options.Records` into `<base>.vcf` and
// `<base>.png` in options.OutDir, `options.Jobs` records at a time. A failed
// record never stops the others. Base names are made unique in the order of
// the records (UniqueBaseNames): the second "Anna Berg" becomes
// "Anna Berg (2)", and so on. With `options.Testcase` the formatted record
// is written too: "testcase.json" for a single record, otherwise
// "<base>.testcase.json" (base names then at most 240 bytes).
// `progress(done, total)` is called after each record, from worker threads
// but never concurrently.
std::vector<TRecordOutcome> ConvertRecords(const TCardToolOptions& options,
                                           const std::function<void(std::size_t, std::size_t)>& progress = {});

// Runs the whole program; returns the exit status (0 all records written,
// 1 some failed, 2 bad usage).
int RunCardTool(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool errIsTerminal);

}  // namespace qm
