#include "UCardBatch.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "UCommandLine.h"
#include "UErrors.h"
#include "UFastJSON.h"
#include "UFileUtil.h"
#include "UStringUtil.h"
#include "UTextEncoding.h"
#include "UVersion.h"

namespace qm {

namespace {

int ParseInt(const std::string& option, const std::string& value, int lo, int hi) {
    int v = 0;
    const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (ec != std::errc() || ptr != value.data() + value.size() || v < lo || v > hi) {
        throw EQuillmarkError("Ungültiger Wert für " + option + ": \"" + value + "\" (erlaubt: " +
                              std::to_string(lo) + " bis " + std::to_string(hi) + ")");
    }
    return v;
}

int ParseLevel(const std::string& value) {
    static const std::string kLevels = "LMQH";
    if (value.size() == 1) {
        const auto pos = kLevels.find(static_cast<char>(std::toupper(static_cast<unsigned char>(value[0]))));
        if (pos != std::string::npos) return static_cast<int>(pos);
    }
    throw EQuillmarkError("Ungültiger Wert für --level: \"" + value + "\" (erlaubt: L, M, Q, H)");
}

TvCardVersion ParseVCardVersion(const std::string& value) {
    if (value == "2.1") return TvCardVersion::vv21;
    if (value == "3.0") return TvCardVersion::vv30;
    if (value == "4.0") return TvCardVersion::vv40;
    throw EQuillmarkError("Ungültiger Wert für --vcard: \"" + value + "\" (erlaubt: 2.1, 3.0, 4.0)");
}

// Runs fn(i) for i in [0, n) on up to `jobs` threads.
void ParallelFor(std::size_t n, unsigned jobs, const std::function<void(std::size_t)>& fn) {
    const unsigned threads = static_cast<unsigned>(std::min<std::size_t>(std::max(1u, jobs), n));
    if (threads <= 1) {
        for (std::size_t i = 0; i < n; ++i) fn(i);
        return;
    }
    std::atomic<std::size_t> next{0};
    std::vector<std::jthread> pool;
    pool.reserve(threads);
    for (unsigned t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            for (std::size_t i = next++; i < n; i = next++) fn(i);
        });
    }
}

std::string Describe(const std::exception& e) {
    std::string msg = e.what();
    return msg.empty() ? "Unbekannter Fehler" : msg;
}

// Where the dialog can only say that no usable record came from the host,
// the tool knows the file it was given and names what is wrong with it.
std::string DescribeUnusableRecordFile(const std::string& path) {
    std::error_code ec;
    // The path is UTF-8; a plain std::string would be read in the ANSI code
    // page on Windows.
    const auto status = std::filesystem::status(std::filesystem::path(std::u8string(path.begin(), path.end())), ec);
    if (status.type() == std::filesystem::file_type::not_found) return "Datei nicht gefunden";
    if (status.type() == std::filesystem::file_type::directory) return "Ordner statt Datei";
    if (!ec && status.type() != std::filesystem::file_type::regular) return "Keine gewöhnliche Datei";
    std::string text;
    try {
        text = ReadFileToString(path);
    } catch (const EQuillmarkError& e) {
        return Describe(e);
    }
    // The loader reads up to the first zero byte and ignores surrounding
    // white space.
    text.resize(std::min(text.size(), text.find('\0')));
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; })) {
        return "Datei ist leer";
    }
    try {
        TFastJSON probe;
        probe.Parse(text);
    } catch (const EQuillmarkError& e) {
        return "Kein JSON: " + Describe(e);
    }
    return kNoConnectionMessage;
}

// `text` cut to at most `limit` bytes without splitting a character; a cut
// name does not end in a space.
std::string CutName(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return std::string(text);
    std::string name(text.substr(0, CutAtCharBoundary(text, limit)));
    while (!name.empty() && static_cast<unsigned char>(name.back()) <= ' ') name.pop_back();
    return name;
}

// The key under which two base names count as the same file: letter case
// folded, because the output may go to a file system that ignores case.
std::string CollisionKey(std::string_view name) {
    std::string key;
    while (!name.empty()) {
        const TDecodedChar c = DecodeUtf8Char(name);
        if (IsEscapedByte(c.CodePoint)) key.push_back(static_cast<char>(c.CodePoint - 0xDC00));
        else AppendUtf8(key, FoldCase(c.CodePoint));
        name.remove_prefix(c.Length);
    }
    return key;
}

// Shows "k/n" on a terminal line once the run has taken more than a moment,
// at most ten times a second.
class TProgressLine {
public:
    TProgressLine(std::FILE* err, bool enabled) : err_(err), enabled_(enabled) {}
    void Update(std::size_t done, std::size_t total) {
        if (!enabled_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - start_ < std::chrono::milliseconds(500) || now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        shown_ = true;
        WriteText(err_, "\r" + std::to_string(done) + "/" + std::to_string(total) + " Datensätze");
    }
    void Finish() {
        // Back to the line's start and erase it (an ANSI control sequence).
        if (shown_) WriteText(err_, "\r\033[K");
    }
private:
    std::FILE* err_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace

std::string CardToolUsage() {
    return
        "Aufruf: quillmark-card [Optionen] DATENSATZ.json...\n"
        "\n"
        "Macht aus jeder Datensatzdatei (im Format der Adressdatei des Hosts) dieselbe\n"
        "vCard (4.0, siehe --vcard) und denselben QR-Code wie der Dialog und schreibt\n"
        "<Name>.vcf (UTF-8, ohne BOM) und <Name>.png in den Ausgabeordner. <Name>\n"
        "entsteht wie im Dialog aus Vorname, Nachname und Firma (ohne jeden Namen: aus\n"
        "dem Namen der Datensatzdatei).\n"
        "Ergeben zwei Datensätze denselben Namen (Groß-/Kleinschreibung zählt nicht),\n"
        "bekommt der spätere \" (2)\", \" (3)\", ... angehängt. Dateien aus früheren\n"
        "Läufen mit gleichem Namen werden ersetzt.\n"
        "\n"
        "Optionen:\n"
        "  --size MM        Kantenlänge des QR-Codes in Millimetern, 10 bis 200 (120)\n"
        "  --ppi N          Bildpunkte pro Zoll für die Umrechnung in Pixel, 24 bis 1200 (96)\n"
        "  --margin 0|1|2   Ruhezone: keine, 2 oder 4 Module (0)\n"
        "  --level L|M|Q|H  Fehlerkorrekturstufe (M)\n"
        "  --vcard 2.1|3.0|4.0\n"
        "                   vCard-Version der .vcf-Datei und des QR-Codes (4.0, wie der\n"
        "                   Dialog); 3.0 für Telefone, die 4.0 nicht lesen (manche\n"
        "                   Android-Kontakte lehnen 4.0 ab, iPhone-Kameras verstümmeln\n"
        "                   Umlaute in 4.0)\n"
        "  --out ORDNER     Ausgabeordner, wird angelegt (aktueller Ordner)\n"
        "  --jobs N         so viele Datensätze gleichzeitig (Anzahl der Prozessorkerne)\n"
        "  --testcase       auch den formatierten Datensatz schreiben: testcase.json bei\n"
        "                   einem Datensatz, sonst <Name>.testcase.json\n"
        "  --stdout         nur den vCard-Text des einen Datensatzes ausgeben, keine Dateien\n"
        "  --help           diese Hilfe\n"
        "  --version        Programmname und Version ausgeben\n"
        "\n"
        "Exit-Status: 0 wenn jeder Datensatz geschrieben wurde, 1 wenn einer oder mehrere\n"
        "fehlschlugen, 2 bei falschem Aufruf.\n";
}

TCardToolOptions ParseCardToolArgs(const std::vector<std::string>& args) {
    TCardToolOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw EQuillmarkError("Option " + a + " braucht einen Wert");
            return args[++i];
        };
        if (a == "--help" || a == "-h") o.Help = true;
        else if (a == "--version") o.ShowVersion = true;
        else if (a == "--vcard") o.Version = ParseVCardVersion(value());
        else if (a == "--size") o.Settings.SizeMM = ParseInt(a, value(), 10, 200);
        else if (a == "--ppi") o.Settings.PixelsPerInch = ParseInt(a, value(), 24, 1200);
        else if (a == "--margin") o.Settings.MarginIndex = ParseInt(a, value(), 0, 2);
        else if (a == "--level") o.Settings.ECLevel = ParseLevel(value());
        else if (a == "--out") o.OutDir = value();
        else if (a == "--jobs") o.Jobs = static_cast<unsigned>(ParseInt(a, value(), 1, 256));
        else if (a == "--stdout") o.ToStdout = true;
        else if (a == "--testcase") o.Testcase = true;
        else if (a == "--") { o.Records.insert(o.Records.end(), args.begin() + static_cast<long>(i) + 1, args.end()); break; }
        else if (a.size() > 1 && a[0] == '-') throw EQuillmarkError("Unbekannte Option: " + a);
        else o.Records.push_back(a);
    }
    if (o.Help || o.ShowVersion) return o;
    if (o.Records.empty()) throw EQuillmarkError("Keine Datensatzdatei angegeben");
    if (o.ToStdout && o.Records.size() != 1) throw EQuillmarkError("--stdout geht nur mit genau einem Datensatz");
    if (o.Jobs == 0) o.Jobs = std::max(1u, std::thread::hardware_concurrency());
    return o;
}

TRecordCard LoadToolRecordCard(const std::string& path, std::chrono::system_clock::time_point nowUtc,
                               TvCardVersion version, bool keepTestcase) {
    TRecordCard card;
    try {
        card = LoadRecordCard(path, nowUtc, version, keepTestcase);
    } catch (const ENoConnection&) {
        throw EQuillmarkError(DescribeUnusableRecordFile(path));
    }
    if (card.Text.BaseName.empty()) {
        // A record without any name would give the hidden files ".vcf" and
        // ".png"; the record file's own name is used instead.
        std::string stem = ExtractFileName(path);
        if (const auto dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
        card.Text.BaseName = MakeSafeFileName(stem);
        if (card.Text.BaseName.empty() || card.Text.BaseName.front() == '.') card.Text.BaseName = "vCard";
    }
    return card;
}

std::vector<std::string> UniqueBaseNames(const std::vector<std::string>& names, std::size_t limit) {
    std::vector<std::string> result(names.size());
    std::set<std::string> used;
    for (const auto& name : names) {
        if (!name.empty()) used.insert(CollisionKey(name));
    }
    // Names as the records give them are reserved first, so that a record
    // called "Anna Berg (2)" keeps its name even after two "Anna Berg".
    std::set<std::string> taken;
    // The next number to try for each name, so that many records of one name
    // do not try every smaller number again.
    std::map<std::string, int> nextNumber;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i].empty()) continue;
        const std::string own = CollisionKey(names[i]);
        if (taken.insert(own).second) {
            result[i] = names[i];
            continue;
        }
        for (int& k = nextNumber.try_emplace(own, 2).first->second;; ++k) {
            const std::string suffix = " (" + std::to_string(k) + ")";
            const std::string candidate = CutName(names[i], limit - suffix.size()) + suffix;
            const std::string key = CollisionKey(candidate);
            if (used.count(key) == 0 && taken.insert(key).second) {
                result[i] = std::move(candidate);
                ++k;
                break;
            }
        }
    }
    return result;
}

std::vector<TRecordOutcome> ConvertRecords(const TCardToolOptions& options,
                                           const std::function<void(std::size_t, std::size_t)>& progress) {
    const std::size_t n = options.Records.size();
    std::vector<TRecordOutcome> outcomes(n);
    std::vector<TRecordCard> cards(n);
    const auto now = std::chrono::system_clock::now();

    // Loading and composing the cards first fixes every base name, so the
    // names can be made unique in record order before anything is written.
    ParallelFor(n, options.Jobs, [&](std::size_t i) {
        outcomes[i].RecordPath = options.Records[i];
        try {
            cards[i] = LoadToolRecordCard(options.Records[i], now, options.Version, options.Testcase);
            outcomes[i].Ok = true;
        } catch (const std::exception& e) {
            outcomes[i].Message = Describe(e);
        }
    });

    const std::string dir = IncludeTrailingPathDelimiter(options.OutDir.empty() ? "." : options.OutDir);
    // With one testcase file per record the longest name is
    // "<base>.testcase.~json"; it must fit the 255-byte limit too.
    const bool testcasePerRecord = options.Testcase && n > 1;
    const std::size_t limit = testcasePerRecord ? 255 - std::string_view(".testcase.~json").size()
                                                : kMaxSafeBaseNameBytes;
    std::vector<std::string> bases(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (outcomes[i].Ok) bases[i] = CutName(cards[i].Text.BaseName, limit);
    }
    const std::vector<std::string> unique = UniqueBaseNames(bases, limit);
    for (std::size_t i = 0; i < n; ++i) {
        if (!outcomes[i].Ok) continue;
        outcomes[i].BaseName = unique[i];
        outcomes[i].VcfPath = dir + unique[i] + ".vcf";
        outcomes[i].PngPath = dir + unique[i] + ".png";
    }

    if (!ForceFolders(dir)) {
        for (auto& o : outcomes) {
            if (!o.Ok) continue;
            o.Ok = false;
            o.Message = "Verzeichnis kann nicht erstellt werden: " + dir;
        }
        return outcomes;
    }

    std::mutex progressLock;
    std::size_t done = 0;
    ParallelFor(n, options.Jobs, [&](std::size_t i) {
        TRecordOutcome& o = outcomes[i];
        if (o.Ok) {
            try {
                WriteCardFiles(cards[i].Text.VCardText, o.VcfPath, o.PngPath, options.Settings);
                if (options.Testcase) {
                    const std::string name = n == 1 ? dir + "testcase.json" : dir + o.BaseName + ".testcase.json";
                    SaveTestcase(cards[i], name);
                }
            } catch (const std::exception& e) {
                o.Ok = false;
                o.Message = Describe(e);
            }
        }
        cards[i] = {};
        if (progress) {
            std::lock_guard lock(progressLock);
            progress(++done, n);
        }
    });
    return outcomes;
}

int RunCardTool(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool errIsTerminal) {
    TCardToolOptions options;
    try {
        options = ParseCardToolArgs(args);
    } catch (const EQuillmarkError& e) {
        WriteText(err, std::string("quillmark-card: ") + e.what() + "\nHilfe: quillmark-card --help\n");
        return 2;
    }
    if (options.Help) {
        WriteText(out, CardToolUsage());
        return 0;
    }
    if (options.ShowVersion) {
        WriteText(out, VersionLine("quillmark-card"));
        return 0;
    }
    if (options.ToStdout) {
        try {
            const TRecordCard card =
                LoadToolRecordCard(options.Records[0], std::chrono::system_clock::now(), options.Version);
            WriteText(out, card.Text.VCardText);
            return 0;
        } catch (const std::exception& e) {
            WriteText(err, "Fehler: " + options.Records[0] + ": " + Describe(e) + "\n");
            return 1;
        }
    }

    TProgressLine line(err, errIsTerminal);
    const auto outcomes = ConvertRecords(options, [&](std::size_t done, std::size_t total) { line.Update(done, total); });
    line.Finish();

    std::size_t failed = 0;
    for (const auto& o : outcomes) {
        if (o.Ok) continue;
        ++failed;
        WriteText(err, "Fehler: " + o.RecordPath + ": " + o.Message + "\n");
    }
    WriteText(err, "Fertig: " + std::to_string(outcomes.size() - failed) + " von " + std::to_string(outcomes.size()) +
                       " Datensätzen geschrieben, " + std::to_string(failed) + " fehlgeschlagen.\n");
    return failed == 0 ? 0 : 1;
}

}  // namespace qm
