// Time and memory of reading a host's address file as the dialog does
// (ReadHostAddressFile: opened as a peer file, read, parsed, checked):
//   BM_LoadWorstRecord: 8 MiB, the size limit, of the costliest shape the
//     limits allow: an address record whose "Order" list holds arrays nested
//     to the depth limit around the smallest value ("[[[...[0]...]]]," over
//     and over). Goal: at most 1 s and under 600 MB. Freeing the
//     document afterwards is not timed (the dialog keeps it until the next
//     load).
//   BM_LoadLargeOrder: a realistic record of an order of 10,000 positions.
//     Goal: a peak of at most 20 times the file's size.
// Counters: "peak_MB", the most memory the load held at once (every block
// from operator new counted with its allocator overhead, the text read
// included); "peak_per_byte", that over the file's size; "rss_MB", the
// process's peak resident size (meaningful for the first benchmark run, or
// with --benchmark_filter).
// Measured on the 2-core build machine, nothing else running (RelWithDebInfo,
// `build/bench/bench_record_load --benchmark_repetitions=5`, medians):
// worst record 558 ms, peak 519 MB (62 bytes per byte); freeing it takes
// about 500 ms more, at the next load. Large order (5.7 MB): 77 ms, peak
// 11.6 times its size.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <string>

#include "UCardBuilder.h"
#include "UFileUtil.h"
#include "json_record.h"

namespace {

// Plain counters: the benchmarks run on one thread, and atomic ones would
// add a fifth to the time measured.
std::size_t gHeld = 0;
std::size_t gPeak = 0;

std::size_t BlockSize(void* p) noexcept { return malloc_usable_size(p) + sizeof(std::size_t); }

void* Allocate(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    gHeld += BlockSize(p);
    if (gHeld > gPeak) gPeak = gHeld;
    return p;
}

void Release(void* p) noexcept {
    if (p == nullptr) return;
    gHeld -= BlockSize(p);
    std::free(p);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace qm {
namespace {

// A record file in a scratch folder, removed at exit.
struct TFile {
    explicit TFile(const std::string& name, const std::string& text)
        : Folder((std::filesystem::temp_directory_path() / ("qm_record_bench_" + name)).string()),
          Path(Folder + "/" + name + ".json"),
          Size(text.size()) {
        std::filesystem::create_directories(Folder);
        WriteFileAtomic(Path, text);
    }
    ~TFile() {
        std::error_code ec;
        std::filesystem::remove_all(Folder, ec);
    }
    std::string Folder;
    std::string Path;
    std::size_t Size;
};

std::string WorstText() {
    // Root object, "Order" list: two levels; each entry nests the rest.
    const std::size_t inner = static_cast<std::size_t>(kMaxJsonDepth - 2);
    const std::string entry = std::string(inner, '[') + "0" + std::string(inner, ']');
    std::string text = "{\"Order\":[";
    while (text.size() + entry.size() + 3 <= kMaxPeerFileBytes) text += entry + ",";
    text.back() = ']';
    text += '}';
    text.append(kMaxPeerFileBytes - text.size(), ' ');
    return text;
}

void Run(benchmark::State& state, const TFile& file) {
    std::size_t peak = 0;
    for (auto _ : state) {
        gPeak = gHeld;
        const std::size_t before = gHeld;
        auto read = std::make_optional(
            ReadHostAddressFile(file.Path, std::chrono::steady_clock::now() + std::chrono::seconds(30)));
        if (!read->IsAddressRecord()) state.SkipWithError("not read as an address record");
        benchmark::DoNotOptimize(read->Document.RootObject());
        peak = std::max(peak, gPeak - before);
        // Freeing the document is no part of the load: the dialog keeps the
        // record until the next load replaces it.
        state.PauseTiming();
        read.reset();
        state.ResumeTiming();
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
    state.counters["peak_per_byte"] = static_cast<double>(peak) / static_cast<double>(file.Size);
    state.counters["rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1e3;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.Size));
}

void BM_LoadWorstRecord(benchmark::State& state) {
    static const TFile file("worst", WorstText());
    Run(state, file);
}

void BM_LoadLargeOrder(benchmark::State& state) {
    static const TFile file("order", bench::RecordText(10000));
    Run(state, file);
}

BENCHMARK(BM_LoadWorstRecord)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_LoadLargeOrder)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
}  // namespace qm
