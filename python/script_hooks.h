#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "headless/run_hooks.h"

namespace dmm::python {

// The hooks of a bench driven from Python. The work (on the bench's thread) leaves its
// messages, progress lines and latest progress here; the calling thread takes them and
// hands them to Python. A stop asked for from any thread reaches the work at its next pass.
class ScriptHooks final : public headless::RunHooks {
  public:
    enum class StopCause { None, Interrupt, Request };

    // What the work said since the last take, in order: messages, and progress lines
    // (each one counts).
    struct Event {
        bool message = false;
        headless::Progress progress;  // the line's text for a message
    };
    struct Taken {
        std::vector<Event> events;
        std::optional<headless::Progress> latest;  // the newest progress, if it changed
    };

    bool StopWanted() const override { return cause_.load() != StopCause::None; }
    std::string StopName() const override;
    // Any thread.
    void RequestStop(StopCause cause);
    // The calling thread, before an operation is posted: no stop is pending.
    void ClearStop() { cause_.store(StopCause::None); }

    void EndProgress() override;
    // The work reports a line of progress (a new phase of a run).
    void Line(const headless::Progress& progress);

    // Takes what came; a message at the end is kept back unless final, so that the
    // failure the work ends with is not said twice.
    Taken Take(bool final);

  protected:
    void SayLine(const std::string& line) override;
    void ShowProgress() override;

  private:
    std::atomic<StopCause> cause_{StopCause::None};
    std::mutex mutex_;
    std::deque<Event> events_;
    std::optional<headless::Progress> latest_;
    std::chrono::steady_clock::time_point lastShown_{};
};

}  // namespace dmm::python
