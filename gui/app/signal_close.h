#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;
class QWidget;

namespace dmm::gui {

// Ends the program on SIGTERM (systemctl stop, a shutdown), SIGHUP (the terminal or the
// session it was started from closed) and Ctrl-C as closing the main window ends it: the
// window's close path runs (a drift run ends with its files, the chamber stopped and the
// calibrator in standby; the bench is left safe; settings saved). The handler only writes
// the signal to a pipe; the event loop reads it, answers a box that is open as its Escape
// would (the bench may be waiting for it) and closes the window. A second Ctrl-C
// ends the process at once (exit 130); further hang-ups or termination requests change
// nothing. One at a time; the signals' earlier handlers come back when it goes.
class CloseOnSignals : public QObject {
    Q_OBJECT
  public:
    // first runs as soon as a signal is seen, before any box is answered (the bench's
    // shutdown request: a question's answer must not start new work).
    CloseOnSignals(QWidget& window, std::function<void()> first);
    ~CloseOnSignals() override;
    CloseOnSignals(const CloseOnSignals&) = delete;
    CloseOnSignals& operator=(const CloseOnSignals&) = delete;

    // False when the signals could not be taken over (they then end the program as before).
    bool ok() const { return notifier_ != nullptr; }

  private:
    void Arrived();
    void CloseWindow();

    QWidget& window_;
    std::function<void()> first_;
    QSocketNotifier* notifier_ = nullptr;
    int boxPasses_ = 0;
};

}  // namespace dmm::gui
