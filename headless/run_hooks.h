#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/app/ui_hooks.h"

namespace dmm::headless {

// How far a long operation has come: done of total (0: unknown) and the same in words.
struct Progress {
    int64_t done = 0;
    int64_t total = 0;
    std::string text;
};

// The hooks of a bench driven without windows (dmmctl, a script's binding): the
// messages the work shows become lines, the status panels are kept for operations that
// report them, questions get the caller's answer, and every pass of a long loop lets the
// caller stop the work and see its progress.
//
// Thread: the thread that runs the operations; StopWanted() is the front end's (any
// thread may have asked for the stop it reports).
class RunHooks : public UiHooks {
  public:
    // Set by an operation while it runs (see ProgressScope): how far it has come, and how
    // to stop it when the caller asks.
    std::function<Progress()> progress;
    std::function<void()> onInterrupt;
    // The answer to the questions the work asks (dmmctl's --yes).
    bool answerYes = false;

    void SetStatusText(int panel, const QString& text) override;
    // The last text of a status panel.
    std::string Status(int panel) const;
    void ShowGauge(bool) override {}
    void SetGauge(int, int) override {}
    // Each line of a message is said on its own.
    void ShowMessage(const QString& text) override;
    bool AskYesNo(const QString&) override { return answerYes; }
    // Hands a wanted stop to the operation once, then shows progress.
    void ProcessPendingEvents() override;

    // True once the caller wants the running work to stop.
    virtual bool StopWanted() const = 0;
    // How messages name what stopped the work ("Ctrl-C", "SIGTERM", "a stop request").
    virtual std::string StopName() const = 0;
    // Said as a message line.
    void Say(const std::string& line);
    // The last line said (a refusal the work showed as it happened).
    const std::string& LastSaid() const { return lastSaid_; }
    // A new operation starts: a stop handed to the last one is forgotten.
    void BeginOperation() { interruptHandled_ = false; }
    // An operation's progress ends (progress still says where it ended).
    virtual void EndProgress() {}

  protected:
    virtual void SayLine(const std::string& line) = 0;
    virtual void ShowProgress() {}

  private:
    std::array<QString, 3> status_;
    std::string lastSaid_;
    bool interruptHandled_ = false;
};

// Sets an operation's progress and stop handler on the hooks for as long as it runs.
class ProgressScope {
  public:
    ProgressScope(RunHooks& hooks, std::function<Progress()> progress,
                  std::function<void()> onInterrupt)
        : hooks_(hooks) {
        hooks_.progress = std::move(progress);
        hooks_.onInterrupt = std::move(onInterrupt);
    }
    ~ProgressScope() {
        hooks_.EndProgress();
        hooks_.progress = nullptr;
        hooks_.onInterrupt = nullptr;
    }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

  private:
    RunHooks& hooks_;
};

}  // namespace dmm::headless
