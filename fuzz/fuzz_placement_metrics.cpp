// The host's window metrics text through the placement rules, on monitor
// layouts drawn from the input: integers must read back as written, and a
// form that fits every work area must end inside one of them.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "UPlacement.h"

namespace {

class TReader {
public:
    TReader(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
    int Next(int bytes) {
        unsigned value = 0;
        for (int i = 0; i < bytes; ++i) value = value << 8 | (FPos < FSize ? FData[FPos++] : 0u);
        return static_cast<int>(value);
    }
    std::string_view Rest() const {
        return {reinterpret_cast<const char*>(FData) + FPos, FSize - (FPos < FSize ? FPos : FSize)};
    }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TReader in(data, size);

    const int number = in.Next(4);
    if (qm::StrToIntDef(std::to_string(number), number ^ 1) != number) std::abort();

    std::vector<qm::TMonitor> monitors(static_cast<std::size_t>(in.Next(1) % 3 + 1));
    const std::size_t primary = static_cast<std::size_t>(in.Next(1)) % (monitors.size() + 1);
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        qm::TMonitor& m = monitors[i];
        const int left = static_cast<std::int16_t>(in.Next(2));
        const int top = static_cast<std::int16_t>(in.Next(2));
        m.Bounds = {left, top, left + 500 + in.Next(1) * 8, top + 500 + in.Next(1) * 8};
        m.WorkArea = {m.Bounds.Left + in.Next(1) % 128, m.Bounds.Top + in.Next(1) % 128,
                      m.Bounds.Right - in.Next(1) % 128, m.Bounds.Bottom - in.Next(1) % 128};
        m.Primary = i == primary;
    }
    qm::TFormBounds form{233, 303, 50 + in.Next(1) % 150, 50 + in.Next(1) % 150};

    qm::PlaceFromHostMetrics(form, in.Rest(), monitors);
    qm::KeepLeftOnMonitor(form, {form.Left, form.Top}, monitors);
    qm::KeepOnMonitor(form, monitors);

    const qm::TRect r = form.Rect();
    bool inside = false;
    for (const qm::TMonitor& m : monitors)
        inside = inside || (r.Left >= m.WorkArea.Left && r.Right <= m.WorkArea.Right && r.Top >= m.WorkArea.Top &&
                            r.Bottom <= m.WorkArea.Bottom);
    if (!inside) std::abort();
    return 0;
}
