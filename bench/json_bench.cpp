// Loading, navigating and saving host address records of 10 KB, 1 MB and
// 10 MB: the road of every refresh of the dialog ("testcase.json" included).
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "UCommonCVJSON.h"
#include "UFileUtil.h"
#include "json_record.h"

namespace qm {
namespace {

// A record file of about `bytes` bytes in a scratch folder, made once per size.
struct TRecordFile {
    explicit TRecordFile(std::size_t bytes)
        : Folder((std::filesystem::temp_directory_path() / ("qm_json_bench_" + std::to_string(bytes))).string()),
          Path(Folder + "/record.json"),
          Text(bench::RecordText(bench::PartsForBytes(bytes))) {
        std::filesystem::create_directories(Folder);
        WriteFileAtomic(Path, Text);
    }
    ~TRecordFile() {
        std::error_code ec;
        std::filesystem::remove_all(Folder, ec);
    }
    std::string Folder;
    std::string Path;
    std::string Text;
};

const TRecordFile& RecordOf(std::size_t bytes) {
    static TRecordFile small(10 * 1024), medium(1024 * 1024), large(10 * 1024 * 1024);
    return bytes <= small.Text.size() + 1024 ? small : bytes <= medium.Text.size() + 1024 ? medium : large;
}

// Reads every field of every line item, as a consumer of the record would.
std::size_t Navigate(TCVJSONObject& rec) {
    std::size_t chars = 0;
    for (std::string_view name : kAddressFieldNames) chars += rec.Adress->AsObject().ValueOf(name).AsString().size();
    for (int i = 0; i < rec.Parts->Count(); ++i) {
        TJsonObject& item = rec.Parts->ItemAt(i).AsObject();
        for (std::string_view name : kLineItemFieldNames) chars += item.ValueOf(name).AsString().size();
    }
    return chars;
}

void BM_ParseRecord(benchmark::State& state) {
    const TRecordFile& file = RecordOf(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        TFastJSON doc;
        doc.Parse(file.Text);
        benchmark::DoNotOptimize(doc.RootObject());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.Text.size()));
}

void BM_LoadRecord(benchmark::State& state) {
    const TRecordFile& file = RecordOf(static_cast<std::size_t>(state.range(0)));
    TCVJSONObject rec;
    for (auto _ : state) {
        rec.Load(file.Path);
        if (!rec.IsValid()) state.SkipWithError("record not valid");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.Text.size()));
}

void BM_NavigateRecord(benchmark::State& state) {
    const TRecordFile& file = RecordOf(static_cast<std::size_t>(state.range(0)));
    TCVJSONObject rec;
    rec.Load(file.Path);
    for (auto _ : state) benchmark::DoNotOptimize(Navigate(rec));
    state.counters["parts"] = rec.Parts->Count();
}

void BM_SaveRecord(benchmark::State& state) {
    const TRecordFile& file = RecordOf(static_cast<std::size_t>(state.range(0)));
    TCVJSONObject rec;
    rec.Load(file.Path);
    const std::string out = file.Folder + "/testcase.json";
    for (auto _ : state) rec.LoadedDocument->SaveToFile(out, true);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(out)));
}

// Everything one refresh does with the record: load, navigate, save.
void BM_RefreshCycle(benchmark::State& state) {
    const TRecordFile& file = RecordOf(static_cast<std::size_t>(state.range(0)));
    TCVJSONObject rec;
    const std::string out = file.Folder + "/testcase.json";
    for (auto _ : state) {
        rec.Load(file.Path);
        benchmark::DoNotOptimize(Navigate(rec));
        rec.LoadedDocument->SaveToFile(out, true);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.Text.size()));
}

#define QM_RECORD_SIZES ->Arg(10 * 1024)->Arg(1024 * 1024)->Arg(10 * 1024 * 1024)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_ParseRecord) QM_RECORD_SIZES;
BENCHMARK(BM_LoadRecord) QM_RECORD_SIZES;
BENCHMARK(BM_NavigateRecord) QM_RECORD_SIZES;
BENCHMARK(BM_SaveRecord) QM_RECORD_SIZES;
BENCHMARK(BM_RefreshCycle) QM_RECORD_SIZES;

}  // namespace
}  // namespace qm
