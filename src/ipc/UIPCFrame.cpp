#include "UIPCFrame.h"

#include <algorithm>

#include "UByteOrder.h"

namespace qm {

namespace {

constexpr const char* kWriteIdDesc = "WriteFile failed while writing message ID";
constexpr const char* kWriteSizeDesc = "WriteFile failed while writing message data size";
constexpr const char* kWriteChunkDesc = "WriteFile failed while writing message chunk";
constexpr const char* kReadIdLengthDesc = "ReadFile failed while reading message ID length";
constexpr const char* kReadIdDesc = "ReadFile failed while reading message ID";
constexpr const char* kReadSizeDesc = "ReadFile failed while reading message data size";
constexpr const char* kReadDataDesc = "ReadFile failed while reading message data";

TPipeStatus Failed(const char* desc, std::uint32_t error) { return {desc, error}; }

// A partial delivery of a longer message counts as a delivery.
bool ReadFailed(const TPipeReadResult& r) noexcept {
    return r.Error != 0 && !(r.Error == kErrorMoreData && r.Count > 0);
}

// Reads a signed 64-bit header field and checks it against kMaxFrameField.
TPipeStatus ReadLength(IPipeStream& pipe, const char* desc, std::int64_t& value) {
    std::array<char, 8> field{};
    TPipeStatus st = ReadExact(pipe, field, desc);
    if (!st.Ok()) return st;
    value = LoadLE<std::int64_t>(std::string_view(field.data(), field.size()));
    if (value < 0 || value > kMaxFrameField) return Failed(desc, kErrorInvalidData);
    return {};
}

}  // namespace

TPipeStatus ReadExact(IPipeStream& pipe, std::span<char> buffer, const char* desc) {
    std::size_t got = 0;
    while (got < buffer.size()) {
        const TPipeReadResult r = pipe.Read(buffer.subspan(got));
        if (ReadFailed(r)) return Failed(desc, r.Error);
        got += std::min(r.Count, buffer.size() - got);
    }
    return {};
}

TPipeStatus WriteFrame(IPipeStream& pipe, IMessageData& message) {
    TStreamStorage& payload = message.Data();
    const std::int64_t size = payload.Size();
    payload.SetPosition(0);

    std::string header;
    header.reserve(8 + message.ID().size());
    AppendLE(header, static_cast<std::int64_t>(message.ID().size()));
    header += message.ID();
    if (std::uint32_t e = pipe.Write(header); e != 0) return Failed(kWriteIdDesc, e);

    std::string sizeField;
    AppendLE(sizeField, size);
    if (std::uint32_t e = pipe.Write(sizeField); e != 0) return Failed(kWriteSizeDesc, e);

    // Straight from the payload's stream, chunk by chunk: no copy.
    for (std::string_view piece = payload.ReadView(kFrameChunkSize); !piece.empty();
         piece = payload.ReadView(kFrameChunkSize)) {
        if (std::uint32_t e = pipe.Write(piece); e != 0) return Failed(kWriteChunkDesc, e);
    }
    return {};
}

TPipeStatus ReadFrame(IPipeStream& pipe, IMessageData& message, std::vector<char>& chunk) {
    std::int64_t idLength = 0;
    if (TPipeStatus st = ReadLength(pipe, kReadIdLengthDesc, idLength); !st.Ok()) return st;
    if (idLength > 0) {
        std::string id(static_cast<std::size_t>(idLength), '\0');
        if (TPipeStatus st = ReadExact(pipe, id, kReadIdDesc); !st.Ok()) return st;
        message.SetID(std::move(id));
    }

    std::int64_t size = 0;
    if (TPipeStatus st = ReadLength(pipe, kReadSizeDesc, size); !st.Ok()) return st;
    TStreamStorage& payload = message.Data();
    if (size > 0) {
        // Only as large as the payload needs: most replies are small.
        chunk.resize(static_cast<std::size_t>(std::min<std::int64_t>(size, kFrameChunkSize)));
        std::int64_t total = 0;
        while (total < size) {
            const auto want = static_cast<std::size_t>(std::min<std::int64_t>(size - total, kFrameChunkSize));
            const TPipeReadResult r = pipe.Read(std::span<char>(chunk.data(), want));
            const std::size_t got = std::min(r.Count, want);
            payload.Append(std::string_view(chunk.data(), got));
            total += static_cast<std::int64_t>(got);
            if (ReadFailed(r)) return Failed(kReadDataDesc, r.Error);
        }
    }
    payload.SetPosition(0);
    return {};
}

std::string EncodeFrame(const IMessageData& message) {
    const std::string_view payload = message.Data().Bytes();
    std::string frame;
    frame.reserve(16 + message.ID().size() + payload.size());
    AppendLE(frame, static_cast<std::int64_t>(message.ID().size()));
    frame += message.ID();
    AppendLE(frame, static_cast<std::int64_t>(payload.size()));
    frame += payload;
    return frame;
}

}  // namespace qm
