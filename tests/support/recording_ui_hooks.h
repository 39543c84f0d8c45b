#pragma once

#include <QString>

#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "core/app/ui_hooks.h"

namespace dmm::test {

// UI hooks that record what a procedure showed and let a test act between passes.
// Instruments may report from their own threads: every record is taken under a lock.
class RecordingUiHooks final : public UiHooks {
  public:
    void SetStatusText(int panel, const QString& text) override {
        std::lock_guard lock(mutex_);
        statuses.emplace_back(panel, text);
    }
    void ShowGauge(bool visible) override { gaugeVisible = visible; }
    void SetGauge(int position, int maximum) override {
        gaugePositions.push_back(position);
        gaugeMaximum = maximum;
    }
    void ShowMessage(const QString& text) override {
        std::lock_guard lock(mutex_);
        messages.push_back(text);
    }
    // Recorded with the other messages, and apart: boxes with a Yes button.
    void ShowYesMessage(const QString& text) override {
        std::lock_guard lock(mutex_);
        messages.push_back(text);
        yesMessages.push_back(text);
    }
    bool AskYesNo(const QString&) override { return false; }
    void ProcessPendingEvents() override {
        ++passes;
        if (onEvents) onEvents(passes);
    }

    QString LastStatus(int panel) const {
        std::lock_guard lock(mutex_);
        for (auto it = statuses.rbegin(); it != statuses.rend(); ++it) {
            if (it->first == panel) return it->second;
        }
        return {};
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        statuses.clear();
        messages.clear();
        yesMessages.clear();
    }

    std::vector<std::pair<int, QString>> statuses;
    std::vector<QString> messages;
    std::vector<QString> yesMessages;
    std::vector<int> gaugePositions;
    int gaugeMaximum = 0;
    bool gaugeVisible = false;
    int passes = 0;
    std::function<void(int pass)> onEvents;

  private:
    mutable std::mutex mutex_;
};

}  // namespace dmm::test
