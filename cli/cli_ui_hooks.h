#pragma once

#include <QElapsedTimer>

#include <array>
#include <functional>
#include <iosfwd>
#include <string>

#include "core/app/ui_hooks.h"

namespace dmm::cli {

// What core procedures show, as a command line shows it: messages on stderr, progress
// on stderr (a live count on a terminal, a line every few seconds otherwise), and Ctrl-C
// handed to the procedure as its stop request. Status texts meant for the main window's
// panels are not printed; the last one of each panel is kept for verbs that report it.
class CliUiHooks final : public UiHooks {
  public:
    explicit CliUiHooks(std::ostream& err);
    ~CliUiHooks() override;

    // The progress line's text ("1234 of 65536 samples"); empty: no progress shown.
    std::function<std::string()> progress;
    // Called once when Ctrl-C arrives during the procedure.
    std::function<void()> onInterrupt;

    void SetStatusText(int panel, const QString& text) override;
    std::string Status(int panel) const;
    void ShowGauge(bool visible) override;
    void SetGauge(int, int) override {}
    void ShowMessage(const QString& text) override;
    bool AskYesNo(const QString&) override { return false; }
    void ProcessPendingEvents() override;

  private:
    void EndLiveLine();

    std::ostream& err_;
    bool terminal_;
    bool liveLineShown_ = false;
    bool interruptHandled_ = false;
    QElapsedTimer sinceLastLine_;
    std::array<QString, 3> status_;
};

}  // namespace dmm::cli
