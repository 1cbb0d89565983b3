// The host's side of the exchange file: each running host keeps its server
// name as one line, the default host on the first. Hosts start and stop
// concurrently, so every change is a read-modify-write under an exclusive
// lock, published by an atomic rename so that readers never see a partial
// file.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// Adds `name` as the first line (asDefault) or the last, dropping earlier
// lines with that name. Raises EInOutError / EUnsafeFolderError.
void AddExchangeServer(std::string_view name, bool asDefault);

// Removes every line equal to `name`; the file is removed when no line is
// left. Raises like AddExchangeServer.
void RemoveExchangeServer(std::string_view name);

// Keeps `name` listed for the lifetime of the object.
class TExchangeRegistration {
public:
    TExchangeRegistration(std::string name, bool asDefault);
    TExchangeRegistration(const TExchangeRegistration&) = delete;
    TExchangeRegistration& operator=(const TExchangeRegistration&) = delete;
    ~TExchangeRegistration();

private:
    std::string name_;
};

}  // namespace qm
