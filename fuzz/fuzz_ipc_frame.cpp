// Arbitrary bytes as a reply on the pipe, delivered in pieces whose sizes
// come from the first byte: the frame reader must collect split fields,
// refuse absurd sizes without allocating them, and a frame it accepts must
// encode back to exactly the bytes it consumed.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "UIPCFrame.h"
#include "UMessageData.h"

namespace {

class TPieceStream final : public qm::IPipeStream {
public:
    TPieceStream(std::string_view bytes, std::size_t piece) : bytes_(bytes), piece_(piece) {}
    std::uint32_t Write(std::span<const char>) override { return 0; }
    qm::TPipeReadResult Read(std::span<char> buffer) override {
        if (at_ >= bytes_.size()) return {0, qm::kErrorBrokenPipe};
        const std::size_t n = std::min({buffer.size(), piece_, bytes_.size() - at_});
        std::memcpy(buffer.data(), bytes_.data() + at_, n);
        at_ += n;
        // Every other piece comes as a partial delivery of a longer message.
        return {n, (at_ / piece_) % 2 == 0 ? qm::kErrorMoreData : 0u};
    }
    std::size_t Consumed() const { return at_; }

private:
    std::string_view bytes_;
    std::size_t piece_;
    std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    TPieceStream pipe(bytes, data[0] % 17 + 1);
    qm::TMessageData reply;
    std::vector<char> chunk;
    const qm::TPipeStatus status = qm::ReadFrame(pipe, reply, chunk);
    if (reply.Data().Size() > static_cast<std::int64_t>(bytes.size())) std::abort();
    if (status.Ok()) {
        if (qm::EncodeFrame(reply) != bytes.substr(0, pipe.Consumed())) std::abort();
        reply.Data().ReadString("DATA");
    } else if (status.LastError != qm::kErrorBrokenPipe && status.LastError != qm::kErrorInvalidData) {
        std::abort();
    }
    return 0;
}
