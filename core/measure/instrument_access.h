#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "core/app/ui_hooks.h"
#include "core/instruments/instrument_threads.h"
#include "core/instruments/instruments.h"

namespace dmm {

using InstrumentWork = std::function<void(Instruments&)>;

// How a bench procedure reaches the instruments: on their own threads in the program
// (the procedure waits, handling its queued events), directly on the caller's thread in
// the CLI and in tests. Run returns once the work is done (or the threads are stopping).
class InstrumentAccess {
  public:
    virtual ~InstrumentAccess() = default;
    virtual void Run(InstrumentId id, InstrumentWork work) = 0;

    // work's result, or a default one when it did not run (the program is closing).
    template <typename Result, typename Work>
    Result Ask(InstrumentId id, Work work) {
        auto out = std::make_shared<Result>();
        Run(id, [out, work = std::move(work)](Instruments& i) mutable { *out = work(i); });
        return *out;
    }
};

class DirectInstrumentAccess final : public InstrumentAccess {
  public:
    explicit DirectInstrumentAccess(Instruments& instruments) : instruments_(instruments) {}
    void Run(InstrumentId, InstrumentWork work) override { work(instruments_); }

  private:
    Instruments& instruments_;
};

class ThreadedInstrumentAccess final : public InstrumentAccess {
  public:
    ThreadedInstrumentAccess(InstrumentThreads& threads, UiHooks& hooks)
        : threads_(threads), hooks_(hooks) {}
    void Run(InstrumentId id, InstrumentWork work) override {
        threads_.Await(id, std::move(work), hooks_);
    }

  private:
    InstrumentThreads& threads_;
    UiHooks& hooks_;
};

}  // namespace dmm
