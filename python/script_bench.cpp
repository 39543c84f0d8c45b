#include "python/script_bench.h"

#include <Python.h>

namespace dmm::python {
namespace {

struct ExceptionClasses {
    PyObject* error = nullptr;
    PyObject* link = nullptr;
    PyObject* refused = nullptr;
    PyObject* timeout = nullptr;
    PyObject* instrument = nullptr;
    PyObject* stopped = nullptr;
    PyObject* warning = nullptr;
};

// The module's classes: made once per import, like every Python type.
ExceptionClasses& Classes() {
    static ExceptionClasses classes;
    return classes;
}

PyObject* MakeClass(py::module_& m, const char* name, py::tuple bases, const char* doc) {
    const std::string full = std::string("dmmbench.") + name;
    PyObject* cls = PyErr_NewExceptionWithDoc(full.c_str(), doc, bases.ptr(), nullptr);
    if (!cls) throw py::error_already_set();
    m.add_object(name, py::handle(cls));
    return cls;
}

}  // namespace

void MakeExceptions(py::module_& m) {
    ExceptionClasses& c = Classes();
    const py::handle base(PyExc_Exception);
    c.error = MakeClass(m, "Error", py::make_tuple(base),
                        "A bench operation failed; the message is the program's own.");
    const py::handle error(c.error);
    c.link = MakeClass(m, "LinkError", py::make_tuple(error),
                       "The board or the chip link did not answer, or was lost.");
    c.refused = MakeClass(m, "RefusedError", py::make_tuple(error, py::handle(PyExc_ValueError)),
                          "Bad input: the operation was refused before anything was done.");
    c.timeout = MakeClass(m, "TimeoutError", py::make_tuple(error, py::handle(PyExc_TimeoutError)),
                          "What the operation waited for did not come in time.");
    c.instrument = MakeClass(m, "InstrumentError", py::make_tuple(error),
                             "A bench instrument did not answer or refused the command.");
    c.stopped = MakeClass(m, "StoppedError", py::make_tuple(error),
                          "The operation was stopped by Bench.stop() before it finished.");
    c.warning = MakeClass(m, "BenchWarning", py::make_tuple(py::handle(PyExc_UserWarning)),
                          "What the bench says while it works (a read-back that differs, a "
                          "part of a run left out, ...).");
}

PyObject* BenchWarningClass() {
    return Classes().warning;
}

void Raise(const headless::Failure& failure) {
    const ExceptionClasses& c = Classes();
    PyObject* cls = c.error;
    switch (failure.kind) {
        case headless::FailureKind::Refused:
            cls = c.refused;
            break;
        case headless::FailureKind::Link:
            cls = c.link;
            break;
        case headless::FailureKind::TimedOut:
            cls = c.timeout;
            break;
        case headless::FailureKind::Instrument:
            cls = c.instrument;
            break;
        case headless::FailureKind::Stopped:
            cls = c.stopped;
            break;
        case headless::FailureKind::Failed:
            break;
    }
    PyErr_SetString(cls, failure.message.c_str());
    throw py::error_already_set();
}

ScriptBench::ScriptBench(const headless::BenchOptions& options, const QString& shippedData)
    : thread_(std::make_unique<WorkThread>()) {
    // The bench is built on its own thread, where it lives; a failure leaves none.
    auto state = std::make_shared<State<std::string>>();
    thread_->Post([this, state, options, shippedData] {
        try {
            auto bench =
                std::make_unique<headless::HeadlessBench>(options, hooks_, QString(), shippedData);
            state->value = bench->dirError();
            if (bench->Usable()) bench_ = std::move(bench);
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
        {}, raised);
    std::optional<std::string> dirError;
    if (state->value && !state->value->empty()) dirError = *state->value;
    Deliver(true, {}, raised, dirError);
    if (raised || state->error || dirError) Close(false);
    if (raised) throw std::move(*raised);
    if (state->error) std::rethrow_exception(state->error);
    if (dirError) Raise(headless::Refused(*dirError));
}

ScriptBench::~ScriptBench() {
    // A bench going with its Python object: nothing is left to tell what it says.
    Close(false);
}

void ScriptBench::Close(bool tell) {
    if (!thread_) return;
    {
        py::gil_scoped_release release;
        thread_->Post([this] { bench_.reset(); });
        thread_.reset();  // runs what was posted, then ends
    }
    bench_.reset();
    if (!tell) return;
    // What the closing said (a board that would not let go) is not kept from Python.
    std::optional<py::error_already_set> raised;
    Deliver(true, {}, raised);
    if (raised) throw std::move(*raised);
}

void ScriptBench::Wait(const std::function<bool()>& done, const Reporting& reporting,
                       std::optional<py::error_already_set>& raised) {
    barDone_ = 0;
    for (;;) {
        bool finished = false;
        {
            py::gil_scoped_release release;
            finished = done();
        }
        Deliver(false, reporting, raised);
        // Ctrl-C (or a notebook's "interrupt kernel") arrives here, on the main thread:
        // the work stops as dmmctl's does, and the exception is raised once it has.
        if (PyErr_CheckSignals() != 0) {
            if (raised)
                PyErr_Clear();
            else
                raised.emplace();
            hooks_.RequestStop(ScriptHooks::StopCause::Interrupt);
        }
        if (finished) return;
    }
}

void ScriptBench::Deliver(bool final, const Reporting& reporting,
                          std::optional<py::error_already_set>& raised,
                          const std::optional<std::string>& failure) {
    ScriptHooks::Taken taken = hooks_.Take(final);
    if (failure && !taken.events.empty() && taken.events.back().message &&
        taken.events.back().progress.text == *failure)
        taken.events.pop_back();
    auto report = [&](const headless::Progress& p) {
        if (!reporting.onProgress.is_none()) reporting.onProgress(py::cast(p));
        if (!reporting.bar.is_none() && p.total > 0) {
            if (py::hasattr(reporting.bar, "total")) {
                const py::object total = reporting.bar.attr("total");
                if (!total.equal(py::int_(p.total))) reporting.bar.attr("total") = p.total;
            }
            if (p.done != barDone_) {
                reporting.bar.attr("update")(p.done - barDone_);
                barDone_ = p.done;
            }
        }
    };
    // Once Python has raised, nothing more is handed to it.
    for (const ScriptHooks::Event& event : taken.events) {
        if (raised) return;
        try {
            if (!event.message) {
                report(event.progress);
            } else if (PyErr_WarnEx(BenchWarningClass(), event.progress.text.c_str(), 1) < 0) {
                throw py::error_already_set();
            }
        } catch (py::error_already_set& error) {
            raised.emplace(std::move(error));
            hooks_.RequestStop(ScriptHooks::StopCause::Request);
        }
    }
    if (raised || !taken.latest) return;
    try {
        report(*taken.latest);
    } catch (py::error_already_set& error) {
        raised.emplace(std::move(error));
        hooks_.RequestStop(ScriptHooks::StopCause::Request);
    }
}

}  // namespace dmm::python
