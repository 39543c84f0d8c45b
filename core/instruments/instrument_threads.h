#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <array>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

#include "core/app/deliver_result.h"
#include "core/app/ui_hooks.h"
#include "core/instruments/instruments.h"

namespace dmm {

// One I/O thread per instrument, so that an instrument that takes seconds to answer (or
// never answers) holds up nobody but itself: the heartbeat, live readings and captures on
// the bench thread keep their pace, and the other instruments theirs. Work posted for an
// instrument runs on its thread in the order it was posted, one exchange at a time, so
// the order of exchanges on each port is kept. An instrument is touched only by its own
// thread; results come back by Call (to a QObject's thread) or Await (a bench procedure
// that waits, handling its own queued events meanwhile).
// Threads start on first use and end with Stop.
class InstrumentThreads {
  public:
    explicit InstrumentThreads(Instruments& instruments) : instruments_(instruments) {}
    ~InstrumentThreads() { Stop(); }
    InstrumentThreads(const InstrumentThreads&) = delete;
    InstrumentThreads& operator=(const InstrumentThreads&) = delete;

    // Runs work(instruments) on the instrument's thread, later. Thread-safe.
    template <typename Work>
    void Post(InstrumentId id, Work work) {
        std::lock_guard lock(mutex_);
        Lane& lane = lanes_[Index(id)];
        if (!StartLane(id)) return;
        ++lane.pending;
        QMetaObject::invokeMethod(
            lane.worker,
            [this, &lane, work = std::move(work)]() mutable {
                if (!stopping_) work(instruments_);
                --lane.pending;
            },
            Qt::QueuedConnection);
    }

    // Runs work on the instrument's thread, then done(result) on the thread of context.
    template <typename Work, typename Done>
    void Call(InstrumentId id, Work work, QObject* context, Done done) {
        Post(id, DeliveringTo<Instruments>(context, std::move(work), std::move(done)));
    }

    // Runs work on the instrument's thread and waits for its result, handling the calling
    // thread's queued events while it waits (bench procedures such as the drift test).
    template <typename Work>
    auto Await(InstrumentId id, Work work, UiHooks& hooks)
        -> std::invoke_result_t<Work&, Instruments&> {
        using Result = std::invoke_result_t<Work&, Instruments&>;
        auto promise = std::make_shared<std::promise<Result>>();
        std::future<Result> future = promise->get_future();
        Post(id, [work = std::move(work), promise](Instruments& i) mutable {
            if constexpr (std::is_void_v<Result>) {
                work(i);
                promise->set_value();
            } else {
                promise->set_value(work(i));
            }
        });
        while (future.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
            if (stopping_) break;
            hooks.ProcessPendingEvents();
        }
        if (future.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return Result();
        return future.get();
    }

    // Work queued or running for an instrument.
    int Pending(InstrumentId id) const { return lanes_[Index(id)].pending.load(); }

    // Drops the work still queued, lets running exchanges end (waits stop early once the
    // channel is cancelled) and joins the threads.
    void Stop();

  private:
    struct Lane {
        std::unique_ptr<QThread> thread;
        QObject* worker = nullptr;
        std::atomic<int> pending{0};
    };
    static size_t Index(InstrumentId id) { return static_cast<size_t>(id); }
    // Starts the instrument's thread if it is not running yet; false once stopping.
    // Called with mutex_ held.
    bool StartLane(InstrumentId id);

    Instruments& instruments_;
    std::array<Lane, kInstrumentCount> lanes_{};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
};

}  // namespace dmm
