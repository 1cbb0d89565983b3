// Speed of quillmark-card's batch run.
//   BM_ConvertFolder/<jobs>: a folder of 1000 generated record files to
//     their .vcf and .png files (the dialog's 120 mm at 96 ppi), loaded,
//     composed and written <jobs> records at a time. The jobs-2 run reports
//     "speedup", its rate over the jobs-1 run's (2 cores: about 2 at best).
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

#include "UCardBatch.h"

namespace {

constexpr int kRecords = 1000;

// A record like the ones the host writes, with a name of its own.
std::string RecordText(int i) {
    const std::string n = std::to_string(i);
    return "{\"Order\":[{\"PrintName\":\"Angebot\",\"PrintUID\":\"AN-" + n +
           "\",\"Adress\":[{\"CustomerNumber\":\"" + n + "\",\"AdressSmart\":\"Anna Berg, Königsallee " + n +
           "\",\"FirstName\":\"Anna\",\"LastName\":\"Berg-" + n +
           "\",\"Company\":\"Grünwald & Söhne GmbH\",\"Street\":\"Königsallee " + n +
           "\",\"ZipCode\":\"40212\",\"Town\":\"Düsseldorf\",\"Group\":\"Kunden\","
           "\"IX\":\"Tel. 0211 1234" + n + " mobil 0170 98" + n + " anna.berg" + n +
           "@gruenwald-soehne.de\"}],\"Parts\":[{\"Position\":1,\"Quantity\":2,\"Price\":349.9}]}]}";
}

// The generated folder, made once for all runs and removed at exit.
class TRecordFolder {
public:
    TRecordFolder() {
        char tmpl[] = "/tmp/qm-card-bench-XXXXXX";
        if (::mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
        root_ = tmpl;
        std::filesystem::create_directory(root_ + "/records");
        for (int i = 0; i < kRecords; ++i) {
            Records.push_back(root_ + "/records/" + std::to_string(i) + ".json");
            std::ofstream(Records.back(), std::ios::binary) << RecordText(i);
        }
    }
    ~TRecordFolder() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    std::string Out(int jobs) const { return root_ + "/out" + std::to_string(jobs); }
    std::vector<std::string> Records;

private:
    std::string root_;
};

const TRecordFolder& Folder() {
    static const TRecordFolder folder;
    return folder;
}

void BM_ConvertFolder(benchmark::State& state) {
    static std::map<int, double> secondsPerRun;
    const int jobs = static_cast<int>(state.range(0));
    qm::TCardToolOptions options;
    options.Records = Folder().Records;
    options.OutDir = Folder().Out(jobs);
    options.Jobs = static_cast<unsigned>(jobs);
    double seconds = 0;
    std::size_t written = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const auto outcomes = qm::ConvertRecords(options);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        written = 0;
        for (const auto& o : outcomes) written += o.Ok ? 1 : 0;
    }
    if (written != static_cast<std::size_t>(kRecords)) state.SkipWithError("not every record was written");
    secondsPerRun[jobs] = seconds / static_cast<double>(state.iterations());
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(kRecords) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    if (jobs > 1 && secondsPerRun.count(1) != 0) state.counters["speedup"] = secondsPerRun[1] / secondsPerRun[jobs];
}
BENCHMARK(BM_ConvertFolder)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace
