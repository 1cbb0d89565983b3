#include "UIPCClient.h"

#include <chrono>

namespace qm {

std::string PipePathText(std::string_view computer, std::string_view server) {
    return "\\\\" + std::string(computer) + "\\pipe\\" + std::string(server);
}

std::string_view PipeErrorName(std::uint32_t code) noexcept {
    switch (code) {
    case kErrorFileNotFound: return "no such pipe";
    case kErrorInvalidData: return "invalid frame";
    case kErrorBrokenPipe: return "the host closed the pipe";
    case kErrorPipeBusy: return "all instances busy";
    case kErrorMoreData: return "more data";
    case kWaitTimeout: return "time-out";
    case kErrorPipeFolderRefused: return "the pipe folder is unsafe or refused";
    case kErrorWrongPipeServer: return "the pipe is served by another process";
    case kErrorForeignPipeServer: return "the pipe is served by another user's process";
    default: return {};
    }
}

std::uint32_t CheckPipeServer(const TPipeServer& server, std::string_view ownUser, std::uint32_t expectedPid) noexcept {
    if (ownUser.empty() || server.User != ownUser) return kErrorForeignPipeServer;
    if (expectedPid != 0 && server.Pid != expectedPid) return kErrorWrongPipeServer;
    return 0;
}

TIPCClient::TIPCClient() : TIPCClient(MakePipeTransport()) {}

TIPCClient::TIPCClient(std::unique_ptr<IPipeTransport> transport)
    : transport_(std::move(transport)), pipePath_(PipePathText(computerName_, serverName_)) {}

TIPCClient::~TIPCClient() { Disconnect(); }

void TIPCClient::SetServerName(std::string_view server) {
    serverName_ = server;
    pipePath_ = PipePathText(computerName_, serverName_);
}

void TIPCClient::Fail(TPipeStatus status) {
    errorDesc_ = std::move(status.ErrorDesc);
    lastError_ = status.LastError;
}

void TIPCClient::Connect(std::uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    stream_.reset();
    errorDesc_.clear();
    lastError_ = 0;
    failureMessage_.clear();
    serverPid_ = 0;
    pipeBusy_ = false;
    const auto start = Clock::now();
    auto elapsedMs = [start] {
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    };

    while (elapsedMs() < timeoutMs) {
        TPipeOpenResult opened = transport_->Open(computerName_, serverName_);
        if (opened.Error == 0 && opened.Stream) {
            stream_ = std::move(opened.Stream);
            serverPid_ = opened.ServerPid;
            pipeBusy_ = false;
            return;
        }
        if (opened.Error == kErrorWrongPipeServer) {
            return Fail({"The pipe is served by another process than the host", opened.Error});
        }
        if (opened.Error == kErrorForeignPipeServer) {
            return Fail({"The pipe is served by a process of another user", opened.Error});
        }
        if (opened.Error == kErrorPipeBusy) pipeBusy_ = true;
        if (opened.Error != kErrorFileNotFound && opened.Error != kErrorPipeBusy) {
            failureMessage_ = std::move(opened.Message);
            return Fail({"CreateFile failed while creating new pipe handle", opened.Error});
        }
        const std::uint64_t elapsed = elapsedMs();
        const auto remaining = static_cast<std::uint32_t>(elapsed < timeoutMs ? timeoutMs - elapsed : 0);
        if (std::uint32_t e = transport_->Wait(computerName_, serverName_, remaining); e != 0) {
            return Fail({"WaitNamedPipe failed while wating for the pipe", e});
        }
    }
    Fail({"IPC client failed with WAIT timeout", kWaitTimeout});
}

TMessageRef TIPCClient::SendRequest(IMessageData& request) {
    answerValid_ = false;
    lastError_ = 0;
    if (TPipeStatus st = WriteFrame(*stream_, request); !st.Ok()) {
        Fail(std::move(st));
        return nullptr;
    }
    TMessageRef reply = NewMessageData();
    if (TPipeStatus st = ReadFrame(*stream_, *reply, chunk_); !st.Ok()) {
        Fail(std::move(st));
        return reply;
    }
    answerValid_ = true;
    return reply;
}

void TIPCClient::Disconnect() noexcept {
    if (!stream_) return;
    try {
        stream_->Write(kEndMarker);
    } catch (...) {  // the close below must happen whatever the write did
    }
    stream_.reset();
}

TMessageRef TIPCClient::Call(IMessageData& request, std::uint32_t timeoutMs) {
    struct TDisconnectGuard {
        TIPCClient& Client;
        ~TDisconnectGuard() { Client.Disconnect(); }
    } guard{*this};
    Connect(timeoutMs);
    if (!Connected()) return nullptr;
    return SendRequest(request);
}

}  // namespace qm
