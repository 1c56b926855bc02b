// What a fallible operation of our own answers: success, or a code and a
// one-line reason. The encoder's records, the image library's classes and
// the drawing layer keep the failure values their own interfaces have.
//
//     const Status written = WriteFileSafely(path, bytes);
//     if (!written) puts(written.reason().c_str());
//     if (written.Is(FileWriteError::Place)) ...  // when the way matters
#pragma once

#include <string>
#include <type_traits>
#include <utility>

namespace glyphrun {

struct Status {
    int code = 0;         // 0: it worked; otherwise a value of the failing layer's own error enum
    std::string message;  // one line, set whenever code != 0
    // errno of the system call behind the failure, when there was one: for
    // callers that hand it on, as Python's OSError does; 0 otherwise.
    int systemError = 0;

    explicit operator bool() const { return code == 0; }  // true when it worked
    const std::string& reason() const { return message; }

    // Whether this is that failure of its layer's enum.
    template <typename Code>
    requires std::is_enum_v<Code>
    bool Is(Code way) const { return code == static_cast<int>(way); }

    // A failure, the way it failed from the layer's enum and why in one line.
    template <typename Code>
    requires std::is_enum_v<Code>
    static Status Failed(Code way, std::string message, int systemError = 0) {
        return Status{static_cast<int>(way), std::move(message), systemError};
    }
};

// A value, or the status that says why there is none. Either converts to
// it, so that a function returns whichever it has.
template <typename T>
struct Result {
    T value{};  // set when status is a success
    Status status;

    Result() = default;
    Result(T made) : value(std::move(made)) {}
    Result(Status failure) : status(std::move(failure)) {}

    explicit operator bool() const { return static_cast<bool>(status); }
    const std::string& reason() const { return status.reason(); }
};

}  // namespace glyphrun
