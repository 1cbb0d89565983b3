// Layout speed of the caption text engine on the fixed-metric surface: the
// dialog's caption (painted on every repaint and hit-tested on every mouse
// move), a long rich text, and hostile markup whose drawing work one paint
// bounds (the "draws" counter: pictures and lines handed to the surface).
#include <benchmark/benchmark.h>

#include <string>

#include "UFixedSurface.h"
#include "UHTMLText.h"

namespace {

const std::string kCaption = "</b>QRCode:<b> Anna Berg Musterfirma GmbH | <A href=\"x\">Gr\xC3\xB6\xC3\x9F" "er</A>";

std::string RichText(int paragraphs) {
    std::string s;
    for (int i = 0; i < paragraphs; ++i)
        s += "<P ALIGN=\"CENTER\" BGCOLOR=\"#E0E0FF\"><B>Heading</B> &amp; <FONT COLOR=\"clRed\" SIZE=\"4\">some red "
             "words</FONT> and a <A href=\"t\">link</A> in a paragraph that wraps over several lines.</P><UL><LI>one"
             "</LI><LI>two</LI></UL>";
    return s;
}

qm::TFontSpec BoldFont() {
    qm::TFontSpec f;
    f.Name = "Tahoma";
    f.Bold = true;
    return f;
}

void BM_CaptionPaint(benchmark::State& state) {
    qm::TFixedSurface surface;
    surface.Record = false;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            qm::DrawHTMLText(surface, BoldFont(), {6, 6, 238, 23}, kCaption, false, true, std::nullopt, {}));
}
BENCHMARK(BM_CaptionPaint);

void BM_CaptionHitTest(benchmark::State& state) {
    qm::TFixedSurface surface;
    surface.Record = false;
    for (auto _ : state)
        benchmark::DoNotOptimize(qm::HitTestHTMLText(surface, BoldFont(), {6, 6, 238, 23}, kCaption, {200, 12}, true, {}));
}
BENCHMARK(BM_CaptionHitTest);

void BM_RichTextMeasure(benchmark::State& state) {
    const std::string text = RichText(static_cast<int>(state.range(0)));
    qm::TFixedSurface surface;
    surface.Record = false;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            qm::DrawHTMLText(surface, BoldFont(), {0, 0, 300, 100000}, text, true, true, std::nullopt, {}));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_RichTextMeasure)->Arg(10)->Arg(1000);

// Arg 0: a one-pixel background picture (90000 tiles per fill) on each of
// 200 lines; arg 1: a zigzag under one long word at 200 points.
void BM_HostileMarkupPaint(benchmark::State& state) {
    std::string text;
    if (state.range(0) == 0) {
        for (int i = 0; i < 200; ++i) text += "<BODY BACKGROUND=\"dot\">x<BR>";
    } else {
        text = "<FONT SIZE=\"200\"><E>" + std::string(20000, 'w');
    }
    qm::TFixedSurface surface;
    surface.Pictures.push_back({qm::TImageRef{qm::TImageKind::ikStore, 0, "dot"}, qm::TImageInfo{{1, 1}, 1}});
    std::size_t draws = 0;
    for (auto _ : state) {
        surface.Clear();
        qm::DrawHTMLText(surface, BoldFont(), {0, 0, 300, 300}, text, false, true, std::nullopt, {});
        draws = surface.Images.size() + surface.Lines.size();
    }
    state.counters["draws"] = static_cast<double>(draws);
}
BENCHMARK(BM_HostileMarkupPaint)->Arg(0)->Arg(1);

}  // namespace
