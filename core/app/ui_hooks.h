#pragma once

#include <QString>

namespace dmm {

// What core procedures may ask of the user interface while they run: status texts,
// the progress gauge, message boxes, and a chance to handle queued events inside long
// loops. The GUI implementation forwards to the main window (queued to the GUI thread);
// the CLI prints; tests record and answer from a script.
// Thread: called on the thread that runs the procedure (the bench thread in the GUI).
class UiHooks {
  public:
    virtual ~UiHooks() = default;

    // Status bar panels: 0 board link, 1 serial errors and step messages, 2 progress/replies.
    virtual void SetStatusText(int panel, const QString& text) = 0;

    // The progress gauge along the bottom of the main window.
    virtual void ShowGauge(bool visible) = 0;
    virtual void SetGauge(int position, int maximum) = 0;

    // A message box with an OK button. Does not wait for the user in the GUI: the
    // procedure goes on while the box is shown.
    virtual void ShowMessage(const QString& text) = 0;
    // The same box of the error kind; where errors look no different, a plain message.
    virtual void ShowError(const QString& text) { ShowMessage(text); }
    // The same box with one Yes button instead of OK; where buttons look no different, a
    // plain message.
    virtual void ShowYesMessage(const QString& text) { ShowMessage(text); }
    // A yes/no question; blocks the procedure (never the GUI thread) until answered.
    virtual bool AskYesNo(const QString& text) = 0;

    // Runs the calling thread's queued events once (user actions queued to the bench,
    // bench timers). Loops that wait for results call this once per pass.
    virtual void ProcessPendingEvents() = 0;
};

// Hooks that do nothing, for callers with no user interface.
class NullUiHooks : public UiHooks {
  public:
    void SetStatusText(int, const QString&) override {}
    void ShowGauge(bool) override {}
    void SetGauge(int, int) override {}
    void ShowMessage(const QString&) override {}
    bool AskYesNo(const QString&) override { return false; }
    void ProcessPendingEvents() override {}
};

}  // namespace dmm
