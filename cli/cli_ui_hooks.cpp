#include "cli/cli_ui_hooks.h"

#include <unistd.h>

#include <QStringList>

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

void CliUiHooks::SetStatusText(int panel, const QString& text) {
    if (panel >= 0 && panel < static_cast<int>(status_.size()))
        status_[static_cast<size_t>(panel)] = text;
}

std::string CliUiHooks::Status(int panel) const {
    if (panel < 0 || panel >= static_cast<int>(status_.size())) return {};
    return status_[static_cast<size_t>(panel)].toStdString();
}

void CliUiHooks::ShowMessage(const QString& text) {
    EndLiveLine();
    // A message of several lines reads as that many messages.
    for (const QString& line : text.split(QLatin1Char('\n')))
        err_ << "dmmctl: " << line.toStdString() << '\n';
}

void CliUiHooks::ProcessPendingEvents() {
    if (Interrupted() && !interruptHandled_) {
        interruptHandled_ = true;
        if (onInterrupt) onInterrupt();
    }
    if (!progress) return;
    if (terminal_) {
        if (sinceLastLine_.elapsed() < kTerminalRefreshMs) return;
        err_ << '\r' << progress() << "\x1b[K" << std::flush;
        liveLineShown_ = true;
    } else {
        if (sinceLastLine_.elapsed() < kLogLineEveryMs) return;
        err_ << progress() << '\n' << std::flush;
    }
    sinceLastLine_.restart();
}

}  // namespace dmm::cli
