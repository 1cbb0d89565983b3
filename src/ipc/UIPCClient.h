// The client end of the host pipe: opens the pipe of one host instance,
// writes one request, reads one reply, writes the end marker and closes.
// Synchronous on the calling thread. Failures are not raised: the client
// records a description and an error code for the caller to read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "UIPCFrame.h"
#include "UMessageData.h"
#include "UPipeTransport.h"

namespace qm {

class TIPCClient {
public:
    // ComputerName ".", everything else empty, over this platform's pipes.
    TIPCClient();
    explicit TIPCClient(std::unique_ptr<IPipeTransport> transport);
    TIPCClient(const TIPCClient&) = delete;
    TIPCClient& operator=(const TIPCClient&) = delete;
    ~TIPCClient();

    const std::string& ComputerName() const noexcept { return computerName_; }
    const std::string& ServerName() const noexcept { return serverName_; }
    // Stores the name and rebuilds PipePath.
    void SetServerName(std::string_view server);
    // "\\<ComputerName>\pipe\<ServerName>".
    const std::string& PipePath() const noexcept { return pipePath_; }
    bool Connected() const noexcept { return stream_ != nullptr; }
    bool AnswerValid() const noexcept { return answerValid_; }
    // Description of the first failed step; empty after a complete exchange.
    const std::string& ErrorDesc() const noexcept { return errorDesc_; }
    // Error code of the first failed step (258 for a connect time-out); 0 when none.
    std::uint32_t LastError() const noexcept { return lastError_; }
    // The process serving the pipe last opened (0: unknown or none), as the
    // platform reports it, not as the host claims.
    std::uint32_t ServerPid() const noexcept { return serverPid_; }
    // The last Connect found every instance of the pipe in use and failed:
    // it ran out of time (kWaitTimeout) before one became free.
    bool PipeBusy() const noexcept { return pipeBusy_ && lastError_ == kWaitTimeout; }
    // The German message for the user that came with a failed connect
    // (an unsafe pipe folder); empty otherwise.
    const std::string& FailureMessage() const noexcept { return failureMessage_; }

    // Opens the pipe, waiting for a busy one until `timeoutMs` have passed
    // (0 makes no attempt). A pipe that does not exist fails at once.
    void Connect(std::uint32_t timeoutMs);
    // One exchange on the open pipe. Returns the reply whenever the request
    // was written completely (AnswerValid tells whether it is whole), none
    // when writing failed. Precondition: Connected().
    TMessageRef SendRequest(IMessageData& request);
    // Writes the end marker (result ignored) and closes, when a pipe is open.
    void Disconnect() noexcept;
    // Connect; SendRequest when connected; Disconnect in every case.
    TMessageRef Call(IMessageData& request, std::uint32_t timeoutMs);

private:
    void Fail(TPipeStatus status);

    std::unique_ptr<IPipeTransport> transport_;
    std::unique_ptr<IPipeStream> stream_;
    std::string computerName_ = ".";
    std::string serverName_;
    std::string pipePath_;
    bool answerValid_ = false;
    std::string errorDesc_;
    std::uint32_t lastError_ = 0;
    std::string failureMessage_;
    std::uint32_t serverPid_ = 0;
    bool pipeBusy_ = false;
    std::vector<char> chunk_;  // reply payload pieces pass through it
};

}  // namespace qm
