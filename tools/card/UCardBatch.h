// Converting many host record files into vCard and QR image files without
// the dialog: option parsing, the parallel run and its report.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "UCardBuilder.h"

namespace qm {

struct TCardToolOptions {
    TCardSettings Settings;        // size, pixels per inch, margin, level
    std::string OutDir = ".";      // created when missing
    unsigned Jobs = 0;             // 0: one per core
    bool ToStdout = false;         // print the vCard text of the one record instead of files
    bool Testcase = false;         // also write the formatted record
    bool Help = false;
    std::vector<std::string> Records;
};

// Parses the command line (without the program name). Raises
// EQuillmarkError with a message naming the bad option or value.
TCardToolOptions ParseCardToolArgs(const std::vector<std::string>& args);

// The text --help prints.
std::string CardToolUsage();

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
// the records: the second "Anna Berg" becomes "Anna Berg (2)", and so on.
// `progress(done, total)` is called after each record, from worker threads
// but never concurrently.
std::vector<TRecordOutcome> ConvertRecords(const TCardToolOptions& options,
                                           const std::function<void(std::size_t, std::size_t)>& progress = {});

// Runs the whole program; returns the exit status (0 all records written,
// 1 some failed, 2 bad usage).
int RunCardTool(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool errIsTerminal);

}  // namespace qm
