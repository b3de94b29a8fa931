#pragma once

// The launcher's exception types. The text meant for the user is always the wide
// message field; what() gives the same fixed narrow text for all of them, which
// the entry point shows for exceptions that are not a TerminalError.

#include <exception>

#include "base/wstring.h"

namespace qel {

inline constexpr const char* kUnknownExceptionText = "Unknown exception";

// A failure the user must see; its message is complete when thrown. The id of
// the string-table message it carries, when it carries one, tells a service
// manager which failure ended the service.
class TerminalError : public std::exception {
public:
    explicit TerminalError(WString message, int messageId = 0) : message(std::move(message)), messageId(messageId) {}
    const char* what() const noexcept override { return kUnknownExceptionText; }

    WString message;
    int messageId;
};

class StringTableException : public std::exception {
public:
    explicit StringTableException(WString message) : message(std::move(message)) {}
    const char* what() const noexcept override { return kUnknownExceptionText; }

    WString message;
};

class FileException : public std::exception {
public:
    FileException(WString message, WString path) : path(std::move(path)), message(std::move(message)) {}
    const char* what() const noexcept override { return kUnknownExceptionText; }

    WString path;
    WString message;
};

// Thrown only as the base of KeyException; handlers catch KeyException.
class RegistryException : public std::exception {
public:
    explicit RegistryException(WString message) : message(std::move(message)) {}
    const char* what() const noexcept override { return kUnknownExceptionText; }

    WString message;
};

class KeyException : public RegistryException {
public:
    // name: the path of the registry key concerned; may be empty.
    KeyException(WString message, WString name) : RegistryException(std::move(message)), name(std::move(name)) {}

    WString name;
};

}  // namespace qel
