// A pipe transport that plays a scripted part and records what it is given.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "UPipeTransport.h"

namespace qm::test {

// What happened on one scripted connection, shared with the test after the
// client has closed the stream.
struct TPipeLog {
    std::vector<std::string> Writes;  // one entry per write call
    bool Closed = false;
    int Opens = 0;                       // open calls of the transport
    std::vector<std::uint32_t> WaitedMs;  // what each wait was given
};

struct TReadStep {
    std::string Bytes;        // delivered by one read (may be cut by the buffer size)
    std::uint32_t Error = 0;  // reported with those bytes
};

class TScriptedStream final : public IPipeStream {
public:
    TScriptedStream(std::shared_ptr<TPipeLog> log, std::deque<TReadStep> reads,
                    std::function<std::uint32_t(std::size_t writeIndex)> writeError)
        : log_(std::move(log)), reads_(std::move(reads)), writeError_(std::move(writeError)) {}
    ~TScriptedStream() override { log_->Closed = true; }

    std::uint32_t Write(std::span<const char> bytes) override {
        const std::size_t index = log_->Writes.size();
        log_->Writes.emplace_back(bytes.data(), bytes.size());
        return writeError_ ? writeError_(index) : 0;
    }

    TPipeReadResult Read(std::span<char> buffer) override {
        if (reads_.empty()) return {0, kErrorBrokenPipe};
        const TReadStep& step = reads_.front();
        const std::size_t n = std::min(buffer.size(), step.Bytes.size() - offset_);
        std::copy_n(step.Bytes.data() + offset_, n, buffer.data());
        offset_ += n;
        const std::uint32_t error = step.Error;
        if (offset_ == step.Bytes.size()) {
            reads_.pop_front();
            offset_ = 0;
        }
        return {n, error};
    }

private:
    std::shared_ptr<TPipeLog> log_;
    std::deque<TReadStep> reads_;
    std::size_t offset_ = 0;  // delivered part of the front step
    std::function<std::uint32_t(std::size_t)> writeError_;
};

// Opens return the scripted errors one after another, then a scripted stream.
class TScriptedTransport final : public IPipeTransport {
public:
    std::deque<std::uint32_t> OpenErrors;       // before the successful open
    std::deque<std::uint32_t> WaitErrors;       // results of Wait (0 when empty)
    std::deque<TReadStep> Reads;                // for the stream
    std::function<std::uint32_t(std::size_t)> WriteError;
    std::shared_ptr<TPipeLog> Log = std::make_shared<TPipeLog>();
    bool OpenSucceeds = true;

    TPipeOpenResult Open(std::string_view, std::string_view) override {
        ++Log->Opens;
        if (!OpenErrors.empty()) {
            const std::uint32_t e = OpenErrors.front();
            OpenErrors.pop_front();
            return {nullptr, e};
        }
        if (!OpenSucceeds) return {nullptr, kErrorPipeBusy};
        return {std::make_unique<TScriptedStream>(Log, Reads, WriteError), 0};
    }

    std::uint32_t Wait(std::string_view, std::string_view, std::uint32_t ms) override {
        Log->WaitedMs.push_back(ms);
        if (WaitErrors.empty()) return 0;
        const std::uint32_t e = WaitErrors.front();
        WaitErrors.pop_front();
        return e;
    }
};

inline std::string Hex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

}  // namespace qm::test
