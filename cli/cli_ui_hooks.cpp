#include "cli/cli_ui_hooks.h"

#include <unistd.h>

#include <ostream>

#include "cli/interrupt.h"

namespace dmm::cli {
namespace {

constexpr qint64 kTerminalRefreshMs = 200;
constexpr qint64 kLogLineEveryMs = 5000;

}  // namespace

CliUiHooks::CliUiHooks(std::ostream& err) : err_(err), terminal_(isatty(STDERR_FILENO) != 0) {
    sinceLastLine_.start();
}

CliUiHooks::~CliUiHooks() {
    EndLiveLine();
}

void CliUiHooks::EndLiveLine() {
    if (!liveLineShown_) return;
    err_ << '\n' << std::flush;
    liveLineShown_ = false;
}

void CliUiHooks::ShowGauge(bool visible) {
    if (!visible) EndLiveLine();
    sinceLastLine_.restart();
}

void CliUiHooks::SayLine(const std::string& line) {
    EndLiveLine();
    err_ << "dmmctl: " << line << '\n';
}

bool CliUiHooks::StopWanted() const {
    return Interrupted();
}

std::string CliUiHooks::StopName() const {
    return InterruptName();
}

void CliUiHooks::ShowProgress() {
    if (terminal_) {
        if (sinceLastLine_.elapsed() < kTerminalRefreshMs) return;
        err_ << '\r' << progress().text << "\x1b[K" << std::flush;
        liveLineShown_ = true;
    } else {
        if (sinceLastLine_.elapsed() < kLogLineEveryMs) return;
        err_ << progress().text << '\n' << std::flush;
    }
    sinceLastLine_.restart();
}

}  // namespace dmm::cli
