#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace dmm::python {

// The thread a bench's work runs on, one job after another in the order posted: the
// bench, its Qt objects and its hooks live there from the bench's opening to its closing,
// whichever Python threads call it.
class WorkThread {
  public:
    WorkThread();
    // Runs what was posted, then ends the thread.
    ~WorkThread();
    WorkThread(const WorkThread&) = delete;
    WorkThread& operator=(const WorkThread&) = delete;

    void Post(std::function<void()> job);

  private:
    void Loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool ending_ = false;
    std::thread thread_;
};

}  // namespace dmm::python
