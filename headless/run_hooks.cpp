#include "headless/run_hooks.h"

#include <QStringList>

namespace dmm::headless {

void RunHooks::SetStatusText(int panel, const QString& text) {
    if (panel >= 0 && panel < static_cast<int>(status_.size()))
        status_[static_cast<size_t>(panel)] = text;
}

std::string RunHooks::Status(int panel) const {
    if (panel < 0 || panel >= static_cast<int>(status_.size())) return {};
    return status_[static_cast<size_t>(panel)].toStdString();
}

void RunHooks::ShowMessage(const QString& text) {
    // A message of several lines reads as that many messages.
    for (const QString& line : text.split(QLatin1Char('\n'))) Say(line.toStdString());
}

void RunHooks::Say(const std::string& line) {
    lastSaid_ = line;
    SayLine(line);
}

void RunHooks::ProcessPendingEvents() {
    if (StopWanted() && !interruptHandled_) {
        interruptHandled_ = true;
        if (onInterrupt) onInterrupt();
    }
    if (progress) ShowProgress();
}

}  // namespace dmm::headless
