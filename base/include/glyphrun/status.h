// What a fallible operation answers: success, or a code and a one-line
// reason. Each layer's error enum has a category of its own, so a code of
// one layer never equals a code of another.
//
//     const Status written = WriteFileSafely(path, bytes);
//     if (!written) puts(written.reason().c_str());
//     if (written.Is(FileWriteError::Place)) ...  // when the way matters
//
// A layer declares its enum an error enum in its header,
//     GLYPHRUN_ERROR_ENUM(FileWriteError);
// and names its category once in a source file,
//     GLYPHRUN_DEFINE_ERROR_CATEGORY(FileWriteError, "glyphrun.file");
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>

#include "glyphrun/export.h"

namespace glyphrun {

// A category whose name is all it has to say: the message of a failure is
// the Status's own line, which knows the file, the byte or the size.
class NamedErrorCategory final : public std::error_category {
public:
    explicit constexpr NamedErrorCategory(const char* name) : name_(name) {}
    const char* name() const noexcept override { return name_; }
    std::string message(int value) const override { return std::string(name_) + " error " + std::to_string(value); }

private:
    const char* name_;
};

#define GLYPHRUN_ERROR_ENUM(Enum)                                        \
    GLYPHRUN_API const std::error_category& Enum##Category() noexcept;   \
    inline std::error_code make_error_code(Enum way) noexcept {          \
        return std::error_code(static_cast<int>(way), Enum##Category()); \
    }

#define GLYPHRUN_DEFINE_ERROR_CATEGORY(Enum, name)                  \
    const std::error_category& Enum##Category() noexcept {          \
        static const ::glyphrun::NamedErrorCategory category(name); \
        return category;                                            \
    }

// An enum with a category, found by argument-dependent lookup.
template <typename Code>
concept ErrorEnum = std::is_enum_v<Code> && requires(Code way) {
    { make_error_code(way) } -> std::same_as<std::error_code>;
};

struct Status {
    std::error_code code;  // empty: it worked; otherwise the failing layer's code
    std::string message;   // one line, set whenever code is set
    // errno of the system call behind the failure, when there was one, in
    // std::generic_category: for callers that hand it on, as Python's
    // OSError does; empty otherwise.
    std::error_code systemError;

    explicit operator bool() const { return !code; }  // true when it worked
    const std::string& reason() const { return message; }

    // Whether this is that failure of that layer.
    template <ErrorEnum Code>
    bool Is(Code way) const {
        return code == make_error_code(way);
    }

    // A failure, the way it failed from the layer's enum and why in one line.
    template <ErrorEnum Code>
    static Status Failed(Code way, std::string message, int systemError = 0) {
        return Status{make_error_code(way), std::move(message),
                      systemError ? std::error_code(systemError, std::generic_category()) : std::error_code()};
    }
};

// A value, or the status that says why there is none.
//
//     const Result<Symbol> made = Encode(bytes);
//     if (!made) puts(made.reason().c_str());
//     else Draw(made.value());
template <typename T>
class Result {
public:
    Result(T made) : value_(std::move(made)) {}
    // A failure; a Status that says success is a fault of the caller's.
    Result(Status failure) : status_(std::move(failure)) {
        if (status_) Misused("a Result made from a success without a value");
    }

    explicit operator bool() const { return value_.has_value(); }
    const Status& status() const { return status_; }
    const std::string& reason() const { return status_.reason(); }
    template <ErrorEnum Code>
    bool Is(Code way) const {
        return status_.Is(way);
    }

    // The value of a success; asking a failure for it stops the program,
    // in every build, rather than hand on a value that is not there.
    const T& value() const& { return Checked(), *value_; }
    T& value() & { return Checked(), *value_; }
    T&& value() && { return Checked(), std::move(*value_); }
    const T* operator->() const { return &value(); }

private:
    void Checked() const {
        if (!value_) Misused("the value of a failed Result: " + status_.reason());
    }
    [[noreturn]] static void Misused(const std::string& what) {
        std::fprintf(stderr, "glyphrun: %s\n", what.c_str());
        std::abort();
    }

    std::optional<T> value_;
    Status status_;
};

}  // namespace glyphrun
