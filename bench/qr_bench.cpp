// Speed of the QR encoder and of the PNG file path.
//   BM_Encode/<bytes>: text bytes to the chosen masked matrix at level M.
//   BM_ScaledPNG/<mm>: the 600-byte card's symbol stretched to the file's
//     pixel size and encoded as PNG (120 mm -> 454 px, 200 mm -> 756 px).
//   BM_DeflateFloor/<mm>: zlib level 7 alone on the same Sub-filtered rows,
//     the least any PNG encoder of this format can spend.
//   BM_WriteFile/<mm>: the whole class operation, file written and synced.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "UQRAsPNG.h"
#include "UQREncoder.h"

namespace {

// vCard-like byte-mode text of exactly `length` bytes.
std::string CardText(std::size_t length) {
    static const std::string card =
        "BEGIN:VCARD\nVERSION:4.0\nN:Müller;Jürgen;;;\nFN:Jürgen Müller\nORG:Bäckerei Größe & Söhne GmbH\n"
        "ADR;TYPE=work:;;Hauptstraße 12;Köln;;50667;Deutschland\nTEL;TYPE=work,voice:+49 221 123456\n"
        "TEL;TYPE=cell:+49 171 9876543\nEMAIL;TYPE=work:juergen.mueller@example.de\n"
        "URL:https://www.example.de/baeckerei\nNOTE:Öffnungszeiten Mo–Fr 7–18 Uhr\n";
    std::string text;
    while (text.size() < length) text += card;
    text.resize(length);
    return text;
}

void BM_Encode(benchmark::State& state) {
    const std::string text = CardText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        qm::TQRSymbol symbol = qm::EncodeQRBytes(text, 1);
        benchmark::DoNotOptimize(symbol.Matrix);
    }
    state.counters["version"] = qm::EncodeQRBytes(text, 1).Version;
}
BENCHMARK(BM_Encode)->Arg(100)->Arg(300)->Arg(600)->Arg(1200)->Arg(2300)->Unit(benchmark::kMicrosecond);

qm::TQRImageScaled CardImage(int sizeMM) {
    qm::TQRImageScaled image;
    image.SetSizeMM(sizeMM);
    image.EncodeText(CardText(600), 1, true);
    return image;
}

void BM_ScaledPNG(benchmark::State& state) {
    const qm::TQRImageScaled image = CardImage(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(image.SaveScaledPNGBytes());
    state.counters["pixels"] = image.PixelSize();
    state.counters["bytes"] = static_cast<double>(image.SaveScaledPNGBytes().size());
}
BENCHMARK(BM_ScaledPNG)->Arg(120)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_DeflateFloor(benchmark::State& state) {
    const qm::TQRImageScaled image = CardImage(static_cast<int>(state.range(0)));
    const qm::TRGBImage bitmap = image.ScaledBitmap();
    // Filter type 1 (Sub) in front of every row, then the row's differences.
    const std::size_t stride = static_cast<std::size_t>(bitmap.Width) * 3;
    std::vector<Bytef> filtered;
    filtered.reserve((stride + 1) * static_cast<std::size_t>(bitmap.Height));
    for (int y = 0; y < bitmap.Height; ++y) {
        const auto row = bitmap.Row(y);
        filtered.push_back(1);
        for (std::size_t i = 0; i < stride; ++i)
            filtered.push_back(static_cast<Bytef>(row[i] - (i >= 3 ? row[i - 3] : 0)));
    }
    std::vector<Bytef> out(compressBound(static_cast<uLong>(filtered.size())));
    uLongf length = 0;
    for (auto _ : state) {
        length = static_cast<uLongf>(out.size());
        compress2(out.data(), &length, filtered.data(), static_cast<uLong>(filtered.size()), 7);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["pixels"] = bitmap.Width;
    state.counters["bytes"] = static_cast<double>(length);
}
BENCHMARK(BM_DeflateFloor)->Arg(120)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_WriteFile(benchmark::State& state) {
    const std::string text = CardText(600);
    const std::string file = "/tmp/qm_bench_qr_" + std::to_string(state.range(0)) + ".png";
    for (auto _ : state) benchmark::DoNotOptimize(qm::WriteQRCodePNG(static_cast<int>(state.range(0)), text, file, 1, true, 0));
    std::remove(file.c_str());
}
BENCHMARK(BM_WriteFile)->Arg(120)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace
