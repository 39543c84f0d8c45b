#pragma once

#include <pybind11/pybind11.h>

#include <QString>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "headless/failure.h"
#include "headless/headless_bench.h"
#include "python/script_hooks.h"
#include "python/work_thread.h"

namespace dmm::python {

namespace py = pybind11;

// Raises the Python exception of a failure (dmmbench.Error and its kinds).
[[noreturn]] void Raise(const headless::Failure& failure);
// The exception classes, made when the module is imported.
void MakeExceptions(py::module_& m);
// The warning category of what the work says as it goes.
PyObject* BenchWarningClass();

// Where a long call's progress goes: a callable given a dmmbench.Progress, and an object
// with update(n) and total, as tqdm makes them.
struct Reporting {
    py::object onProgress = py::none();
    py::object bar = py::none();
};

// A bench opened from Python: the headless bench on a thread of its own (see WorkThread).
// Each call posts its work there and waits on the calling thread with the GIL released,
// handing messages and progress to Python, watching for Ctrl-C, and stopping the work
// when one comes or a callback raises; the work ends as dmmctl's does, and the exception
// is raised once it has.
class ScriptBench {
  public:
    // Builds the bench on its thread; raises when the bench directory cannot be used.
    ScriptBench(const headless::BenchOptions& options, const QString& shippedData);
    ~ScriptBench();
    ScriptBench(const ScriptBench&) = delete;
    ScriptBench& operator=(const ScriptBench&) = delete;

    // Ends the bench: the board given up, the simulators stopped; with tell, what the
    // closing said is handed to Python. Calls after it raise.
    void Close(bool tell = true);
    bool closed() const { return !bench_; }
    // Asks the running call to stop (any thread).
    void Stop() { hooks_.RequestStop(ScriptHooks::StopCause::Request); }
    ScriptHooks& hooks() { return hooks_; }

    // Runs work on the bench's thread and returns what it gave; see the class comment.
    template <typename Work>
    auto Run(Work work, const Reporting& reporting = {}) {
        using R = decltype(work(std::declval<headless::HeadlessBench&>()));
        if (!bench_) Raise({headless::FailureKind::Failed, "the bench is closed"});
        auto state = std::make_shared<State<R>>();
        hooks_.ClearStop();
        thread_->Post([this, state, work = std::move(work)]() mutable {
            hooks_.BeginOperation();
            try {
                state->value.emplace(work(*bench_));
            } catch (...) {
                state->error = std::current_exception();
            }
            const std::lock_guard lock(state->mutex);
            state->done = true;
            state->finished.notify_all();
        });
        std::optional<py::error_already_set> raised;
        Wait(
            [state] {
                std::unique_lock lock(state->mutex);
                return state->finished.wait_for(lock, std::chrono::milliseconds(kPollMs),
                                                [&] { return state->done; });
            },
            reporting, raised);
        // The failure the work ended with is raised, not said as well.
        std::optional<std::string> failed;
        if (state->value) failed = ShownFailure(*state->value);
        Deliver(true, reporting, raised, failed);
        if (raised) throw std::move(*raised);
        if (state->error) std::rethrow_exception(state->error);
        return std::move(*state->value);
    }

    // Runs an operation that gives a value or fails: the value, or the failure raised.
    template <typename Work>
    auto Value(Work work, const Reporting& reporting = {}) {
        auto result = Run(std::move(work), reporting);
        if (!result) Raise(result.failure());
        if constexpr (!std::is_same_v<decltype(result), headless::Done>) return std::move(*result);
    }

  private:
    static constexpr int kPollMs = 50;
    template <typename R>
    struct State {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        std::optional<R> value;
        std::exception_ptr error;
    };

    template <typename T>
    static std::optional<std::string> ShownFailure(const headless::Result<T>& result) {
        if (result.ok() || !result.failure().shown) return std::nullopt;
        return result.failure().message;
    }
    template <typename T>
    static std::optional<std::string> ShownFailure(const T&) {
        return std::nullopt;
    }

    // Waits until done() (which waits a little itself) says the work ended, handing what
    // came to Python between waits; the first exception Python raised meanwhile (Ctrl-C,
    // a callback's) stops the work and is kept in raised.
    void Wait(const std::function<bool()>& done, const Reporting& reporting,
              std::optional<py::error_already_set>& raised);
    // Hands the messages and progress that came to Python (final: all of them, but not the
    // message that is the failure's own).
    void Deliver(bool final, const Reporting& reporting,
                 std::optional<py::error_already_set>& raised,
                 const std::optional<std::string>& failure = std::nullopt);

    ScriptHooks hooks_;
    std::unique_ptr<WorkThread> thread_;
    std::unique_ptr<headless::HeadlessBench> bench_;
    int64_t barDone_ = 0;
};

}  // namespace dmm::python
