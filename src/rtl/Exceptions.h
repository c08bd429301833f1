// The exception hierarchy shared by every layer.
//
// Every failure of the system is a C++ exception derived from `Exception`, which carries
// the message a caller shows to the user or writes to a log. The classes here are the
// framework's own; the DAO layer adds `EDAODatabaseError` and `EDAOError` on top of them.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace pavana {

// Root of every error the system raises; `Message()` is UTF-8 text meant for people.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}

    const std::string& Message() const noexcept { return message_; }
    void SetMessage(std::string message) { message_ = std::move(message); }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// A text could not be converted to a value, or a format string did not match its arguments.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A list was indexed outside its bounds ("List index out of bounds (%d)").
class EListError : public Exception {
public:
    using Exception::Exception;
};

// A stream or file operation failed.
class EStreamError : public Exception {
public:
    using Exception::Exception;
};

// A file could not be opened ("Cannot open file %s").
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// Reading or writing a text file failed; `ErrorCode()` is the errno of the failure.
class EInOutError : public Exception {
public:
    EInOutError(std::string message, int errorCode) : Exception(std::move(message)), errorCode_(errorCode) {}
    int ErrorCode() const noexcept { return errorCode_; }

private:
    int errorCode_;
};

// A component could not be named or inserted ("A component named %s already exists").
class EComponentError : public Exception {
public:
    using Exception::Exception;
};

// A stored definition could not be read: its text is malformed, or it names a class or a
// property that does not exist.
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// The framework's database error: parameter lookups, field types, dataset states.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// An operation was invalid in the current state of an object.
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

// An object was not of the class an operation needs ("Invalid class typecast").
class EInvalidCast : public Exception {
public:
    using Exception::Exception;
};

// An error reported by the database engine, in the shape of an automation error:
// `ErrorCode()` is the status (0x800A0000 + the engine's error number), `Source()` names the
// reporting component; help file and context are empty unless the engine gave them.
class EOleException : public Exception {
public:
    EOleException(std::string message, std::int32_t errorCode, std::string source = {}, std::string helpFile = {},
                  std::int32_t helpContext = 0)
        : Exception(std::move(message)),
          errorCode_(errorCode),
          source_(std::move(source)),
          helpFile_(std::move(helpFile)),
          helpContext_(helpContext) {}

    std::int32_t ErrorCode() const noexcept { return errorCode_; }
    const std::string& Source() const noexcept { return source_; }
    const std::string& HelpFile() const noexcept { return helpFile_; }
    std::int32_t HelpContext() const noexcept { return helpContext_; }

private:
    std::int32_t errorCode_;
    std::string source_;
    std::string helpFile_;
    std::int32_t helpContext_;
};

}  // namespace pavana
