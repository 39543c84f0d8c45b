#pragma once

#include <QElapsedTimer>

#include <iosfwd>
#include <string>

#include "headless/run_hooks.h"

namespace dmm::cli {

// What core procedures show, as a command line shows it: messages on stderr ("dmmctl: "
// before each line), progress on stderr (a live count on a terminal, a line every few
// seconds otherwise), and Ctrl-C, SIGTERM or SIGHUP handed to the procedure as its stop
// request. Status texts meant for the main window's panels are not printed; the last one
// of each panel is kept for verbs that report it.
class CliUiHooks final : public headless::RunHooks {
  public:
    explicit CliUiHooks(std::ostream& err);
    ~CliUiHooks() override;

    void ShowGauge(bool visible) override;
    bool StopWanted() const override;
    std::string StopName() const override;
    void EndProgress() override { EndLiveLine(); }

  protected:
    void SayLine(const std::string& line) override;
    void ShowProgress() override;

  private:
    void EndLiveLine();

    std::ostream& err_;
    bool terminal_;
    bool liveLineShown_ = false;
    QElapsedTimer sinceLastLine_;
};

}  // namespace dmm::cli
