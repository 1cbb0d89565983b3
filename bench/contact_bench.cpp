// Rendering speed of the vCard writer: the rich contact in each version, a
// document of many contacts, and the dialog's whole card build.
#include <benchmark/benchmark.h>

#include "ContactTestData.h"
#include "UDialogContact.h"

namespace {

void BM_RichContact(benchmark::State& state) {
    qm::TvCardDocument doc;
    doc.ProdID = "Corvanta";
    qm::test::FillRichContact(doc.vContacts.Add(), static_cast<qm::TvCardVersion>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = doc.GetText();
        bytes += text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_RichContact)->Arg(1)->Arg(2)->Arg(3);

void BM_ThousandContacts(benchmark::State& state) {
    qm::TvCardDocument doc;
    for (int i = 0; i < 1000; ++i) qm::test::FillRichContact(doc.vContacts.Add(), qm::TvCardVersion::vv40);
    for (auto _ : state) benchmark::DoNotOptimize(doc.GetText());
}
BENCHMARK(BM_ThousandContacts)->Unit(benchmark::kMillisecond);

void BM_DialogCard(benchmark::State& state) {
    qm::TCardFields f;
    f.Group = "Kunden";
    f.FirstName = "Max";
    f.LastName = "Mustermann";
    f.Company = "Muster\xC2\xAC GmbH  Berlin";
    f.Street = "Hauptstr. 1";
    f.Town = "Berlin";
    f.ZipCode = "10115";
    f.Emails = {"max@example.com", "", "info@muster.de"};
    f.Phones = {"030 123456", "0171 98765"};
    const qm::TDateTime now = qm::EncodeDateTime(2026, 12, 6, 14, 39, 5);
    for (auto _ : state) benchmark::DoNotOptimize(qm::BuildDialogCardText(f, now));
}
BENCHMARK(BM_DialogCard);

}  // namespace
