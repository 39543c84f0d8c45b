#include "python/script_hooks.h"

namespace dmm::python {
namespace {

// Progress is read from the work at most this often: a pass of a capture loop must not
// pay for a text each time.
constexpr auto kProgressEvery = std::chrono::milliseconds(50);

}  // namespace

std::string ScriptHooks::StopName() const {
    return cause_.load() == StopCause::Interrupt ? "KeyboardInterrupt" : "a stop request";
}

void ScriptHooks::RequestStop(StopCause cause) {
    StopCause none = StopCause::None;
    cause_.compare_exchange_strong(none, cause);
}

void ScriptHooks::Line(const headless::Progress& progress) {
    const std::lock_guard lock(mutex_);
    events_.push_back({false, progress});
}

void ScriptHooks::SayLine(const std::string& line) {
    const std::lock_guard lock(mutex_);
    events_.push_back({true, {0, 0, line}});
}

void ScriptHooks::EndProgress() {
    if (!progress) return;
    headless::Progress p = progress();
    const std::lock_guard lock(mutex_);
    latest_ = std::move(p);
}

void ScriptHooks::ShowProgress() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastShown_ < kProgressEvery) return;
    lastShown_ = now;
    headless::Progress p = progress();
    const std::lock_guard lock(mutex_);
    latest_ = std::move(p);
}

ScriptHooks::Taken ScriptHooks::Take(bool final) {
    const std::lock_guard lock(mutex_);
    Taken taken;
    std::optional<Event> keptBack;
    if (!final && !events_.empty() && events_.back().message) {
        keptBack = std::move(events_.back());
        events_.pop_back();
    }
    taken.events.assign(std::make_move_iterator(events_.begin()),
                        std::make_move_iterator(events_.end()));
    events_.clear();
    if (keptBack) events_.push_back(std::move(*keptBack));
    taken.latest = std::move(latest_);
    latest_.reset();
    return taken;
}

}  // namespace dmm::python
