#pragma once

#include <QPointer>

#include "core/app/ui_hooks.h"

namespace dmm::gui {

class TMainPanel;

// The UI hooks of the desktop program: called on the bench thread, carried out on the
// GUI thread. Only AskYesNo waits, and it blocks the bench thread, never the GUI.
class GuiUiHooks final : public UiHooks {
  public:
    void SetMainPanel(TMainPanel* panel);

    void SetStatusText(int panel, const QString& text) override;
    void ShowGauge(bool visible) override;
    void SetGauge(int position, int maximum) override;
    void ShowMessage(const QString& text) override;
    void ShowError(const QString& text) override;
    void ShowYesMessage(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    void ProcessPendingEvents() override;

  private:
    template <typename F>
    void OnGui(F f);

    QPointer<TMainPanel> panel_;
};

}  // namespace dmm::gui
