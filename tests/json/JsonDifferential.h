// The parse results that the differential test compares with those of the
// parser before its scan memo and node storage changed: for a text, its
// compact form, or the error and the nodes built before it; and damaged
// variants of a text (brackets, quotes, separators and backslashes removed,
// inserted and swapped), so that unclosed and mismatched regions are
// covered as well as well-formed ones. Everything here is deterministic and
// the same on every platform.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "UFastJSON.h"

namespace qm::test {

// What parsing `text` gives.
inline std::string ParseResult(std::string_view text) {
    TFastJSON doc;
    std::string out;
    try {
        doc.Parse(text);
        out = "ok:";
    } catch (const EQuillmarkError& e) {
        out = std::string("error:") + e.what() + "|";
    }
    doc.WriteToStream(out, nullptr);
    return out;
}

// FNV-1a, 64 bits.
inline std::uint64_t Fnv1a(std::string_view s, std::uint64_t h = 14695981039346656037ull) {
    for (const char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
}

// `count` damaged variants of `text`, each with up to four changes at
// positions drawn by a fixed linear congruential generator.
inline std::vector<std::string> DamagedVariants(std::string_view text, int count) {
    static constexpr std::string_view kChars = "[]{}\",:\\ ";
    std::vector<std::string> variants;
    std::uint64_t state = Fnv1a(text);
    const auto next = [&state](std::uint64_t bound) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return bound == 0 ? 0 : (state >> 33) % bound;
    };
    for (int v = 0; v < count; ++v) {
        std::string s(text);
        const int changes = 1 + static_cast<int>(next(4));
        for (int c = 0; c < changes; ++c) {
            const std::size_t at = static_cast<std::size_t>(next(s.size() + 1));
            const char ch = kChars[next(kChars.size())];
            switch (next(3)) {
                case 0: if (at < s.size()) s.erase(at, 1); break;
                case 1: s.insert(at, 1, ch); break;
                default: if (at < s.size()) s[at] = ch; break;
            }
        }
        variants.push_back(std::move(s));
    }
    return variants;
}

// One hash over the results of `text` and of `variants` damaged variants.
inline std::uint64_t ResultHash(std::string_view text, int variants) {
    std::uint64_t h = Fnv1a(ParseResult(text));
    for (const std::string& s : DamagedVariants(text, variants)) h = Fnv1a(ParseResult(s), h);
    return h;
}

// A text of the differential test: its name, its bytes and how many
// damaged variants of it count.
struct TDifferentialInput {
    std::string Name;
    std::string Text;
    int Variants = 0;
};

// The records of the source tree (300 variants each), texts nested to the
// limit and one level beyond it (100 each), and the conformance corpus in
// `corpusDir` when it is there (8 each), in a fixed order.
inline std::vector<TDifferentialInput> DifferentialInputs(const std::string& sourceDir, const std::string& corpusDir) {
    namespace fs = std::filesystem;
    const auto read = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    std::vector<TDifferentialInput> inputs;
    for (const char* name : {"samples/anna-berg.json", "tests/json/data/record.json",
                             "tests/json/data/testcase.expected.json"}) {
        inputs.push_back({name, read(fs::path(sourceDir) / name), 300});
    }
    for (const int depth : {kMaxJsonDepth, kMaxJsonDepth + 1}) {
        std::string arrays = "[";
        std::string objects = "[";
        for (int i = 0; i < 8; ++i) {
            arrays += std::string(static_cast<std::size_t>(depth - 1), '[') + "0, \"a]\"" +
                      std::string(static_cast<std::size_t>(depth - 1), ']') + ",";
            for (int d = 1; d < depth; ++d) objects += "{\"k\": ";
            objects += "true" + std::string(static_cast<std::size_t>(depth - 1), '}') + ",";
        }
        arrays.back() = ']';
        objects.back() = ']';
        inputs.push_back({"arrays-" + std::to_string(depth), arrays, 100});
        inputs.push_back({"objects-" + std::to_string(depth), objects, 100});
    }
    std::vector<fs::path> corpus;
    if (fs::is_directory(corpusDir)) {
        for (const auto& e : fs::directory_iterator(corpusDir))
            if (e.path().extension() == ".json") corpus.push_back(e.path());
    }
    std::sort(corpus.begin(), corpus.end());
    for (const fs::path& path : corpus) inputs.push_back({"corpus/" + path.filename().string(), read(path), 8});
    return inputs;
}

}  // namespace qm::test
