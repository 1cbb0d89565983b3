// One message on the host pipe: an 8-bit identifier and a payload of named
// values. Messages are shared: whoever holds the last reference frees it.
#pragma once

#include <memory>
#include <string>

#include "UStreamStorage.h"

namespace qm {

class IMessageData {
public:
    virtual ~IMessageData() = default;
    // The identifier; raw bytes, empty in a new message.
    virtual const std::string& ID() const noexcept = 0;
    // The payload, owned by the message.
    virtual TStreamStorage& Data() noexcept = 0;
    virtual const TStreamStorage& Data() const noexcept = 0;
    virtual void SetID(std::string id) = 0;
};

using TMessageRef = std::shared_ptr<IMessageData>;

class TMessageData final : public IMessageData {
public:
    const std::string& ID() const noexcept override { return id_; }
    TStreamStorage& Data() noexcept override { return data_; }
    const TStreamStorage& Data() const noexcept override { return data_; }
    void SetID(std::string id) override { id_ = std::move(id); }

private:
    std::string id_;
    TStreamStorage data_;
};

// A new message with an empty identifier and an empty payload.
TMessageRef NewMessageData();

}  // namespace qm
