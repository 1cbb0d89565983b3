// Exception types shared by every layer. Failures are raised with the exact
// message text that reaches the user; the class says where they came from.
#pragma once

#include <stdexcept>
#include <string>

namespace qm {

// Base of every exception this program raises on purpose.
class EQuillmarkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file or folder operation failed. ErrorCode carries the system's code
// (POSIX errno here; 3 "path not found" for a folder that cannot be named).
class EInOutError : public EQuillmarkError {
public:
    EInOutError(const std::string& message, int errorCode)
        : EQuillmarkError(message), ErrorCode(errorCode) {}
    int ErrorCode;
};

// The path names something other than a regular file (a FIFO, a device, a
// socket). Such a file is never read: opening it could wait for a writer for
// ever, and waiting and trying again does not change what it is.
class ENotRegularFileError : public EInOutError {
public:
    using EInOutError::EInOutError;
};

// The working folder exists but may not be used (a link, or another user's).
class EUnsafeFolderError : public EQuillmarkError {
public:
    using EQuillmarkError::EQuillmarkError;
};

}  // namespace qm
