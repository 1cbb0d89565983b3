// The frame that carries one message over the pipe, in both directions
// (little-endian):
//   offset  width  field
//   0       8      ID length L in bytes, signed 64-bit
//   8       L      ID bytes, no terminator
//   8+L     8      payload size N in bytes, signed 64-bit
//   16+L    N      payload (TStreamStorage entries)
// The client ends a connection with an end marker: eight FF bytes (-1 where
// an ID length would stand).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "UMessageData.h"
#include "UPipeTransport.h"

namespace qm {

// Largest payload write and read.
inline constexpr std::size_t kFrameChunkSize = 65536;
// Largest ID length or payload size accepted from the other end; larger or
// negative values are refused before anything is allocated.
inline constexpr std::int64_t kMaxFrameField = 64 * 1024 * 1024;
inline constexpr std::array<char, 8> kEndMarker = {'\xFF', '\xFF', '\xFF', '\xFF',
                                                   '\xFF', '\xFF', '\xFF', '\xFF'};

// Outcome of one step on an open pipe: empty/0 on success, else the
// description of the step that failed and the error code.
struct TPipeStatus {
    std::string ErrorDesc;
    std::uint32_t LastError = 0;
    bool Ok() const noexcept { return ErrorDesc.empty(); }
};

// Writes `message`: ID length and ID in one write, the payload size in a
// second, then the payload in chunks of at most kFrameChunkSize bytes taken
// straight from its stream. Stops at the first failed write.
TPipeStatus WriteFrame(IPipeStream& pipe, IMessageData& message);

// Reads one frame into `message` (expected new: empty ID and payload),
// collecting every field until it is whole; payload bytes pass through
// `chunk` (at most kFrameChunkSize bytes). On failure the message holds
// what had arrived. On success its payload is positioned at 0.
TPipeStatus ReadFrame(IPipeStream& pipe, IMessageData& message, std::vector<char>& chunk);

// Reads exactly buffer.size() bytes, collecting pieces; `desc` names the
// step in the failure.
TPipeStatus ReadExact(IPipeStream& pipe, std::span<char> buffer, const char* desc);

// The whole frame of `message` as one byte string.
std::string EncodeFrame(const IMessageData& message);

}  // namespace qm
