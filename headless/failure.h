#pragma once

#include <optional>
#include <string>
#include <utility>

namespace dmm::headless {

// What kind of failure ended an operation, so that a front end can tell bad input from a
// bench that did not answer (dmmctl prints them alike; a script's binding raises them as
// different exceptions).
enum class FailureKind {
    Failed,      // the work did not come to what it should (a file not written, ...)
    Refused,     // bad input: nothing was done
    Link,        // the board or the chip link did not answer, or was lost
    TimedOut,    // what was waited for did not come in time
    Instrument,  // a bench instrument did not answer or refused
    Stopped,     // the caller asked the work to stop (Ctrl-C, a stop request)
};

// Why an operation failed, in the program's own words.
struct Failure {
    FailureKind kind = FailureKind::Failed;
    std::string message;
    // The hooks showed the message while the work ran (a refusal box): a front end that
    // printed it then does not print it again.
    bool shown = false;
    // A typed value out of the range it may take, found once the bench knew the range
    // (a field's width): dmmctl exits as for a value that is not valid.
    bool invalidValue = false;
};

inline Failure Refused(std::string message) {
    return {FailureKind::Refused, std::move(message)};
}
inline Failure LinkFailure(std::string message) {
    return {FailureKind::Link, std::move(message)};
}
inline Failure InstrumentFailure(std::string message) {
    return {FailureKind::Instrument, std::move(message)};
}

// A value, or why there is none.
template <typename T>
class [[nodiscard]] Result {
  public:
    Result(T value) : value_(std::move(value)) {}
    Result(Failure failure) : failure_(std::move(failure)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    const Failure& failure() const { return failure_; }

  private:
    std::optional<T> value_;
    Failure failure_;
};

// Done, or why not.
template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Failure failure) : failure_(std::move(failure)) {}

    bool ok() const { return !failure_.has_value(); }
    explicit operator bool() const { return ok(); }
    const Failure& failure() const { return *failure_; }

  private:
    std::optional<Failure> failure_;
};

using Done = Result<void>;

}  // namespace dmm::headless
