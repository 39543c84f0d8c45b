#include "gui/app/signal_close.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <array>
#include <atomic>

namespace dmm::gui {
namespace {

constexpr std::array kSignals{SIGINT, SIGTERM, SIGHUP};
constexpr int kExitInterrupted = 130;

int pipeFds[2] = {-1, -1};
std::atomic<bool> signalled{false};
std::array<struct sigaction, kSignals.size()> before{};

void OnSignal(int signal) {
    if (signalled.exchange(true) && signal == SIGINT) _exit(kExitInterrupted);
    const char byte = static_cast<char>(signal);
    // Async-signal-safe; a full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
}

}  // namespace

CloseOnSignals::CloseOnSignals(QWidget& window, std::function<void()> first)
    : window_(window), first_(std::move(first)) {
    if (pipeFds[0] >= 0 || ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    signalled = false;
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CloseOnSignals::Arrived);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &before[i]);
}

CloseOnSignals::~CloseOnSignals() {
    if (!notifier_) return;
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &before[i], nullptr);
    delete notifier_;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

void CloseOnSignals::Arrived() {
    char bytes[16];
    while (::read(pipeFds[0], bytes, sizeof bytes) > 0) {
    }
    if (first_) first_();
    CloseWindow();
}

void CloseOnSignals::CloseWindow() {
    // A box open on the screen is answered as its Escape would answer it ("No") first:
    // the bench may be waiting for that answer and would never take the close path's
    // work. The window closes on a later pass, once the box's own event loop has returned.
    // A box that will not close holds the window back a few passes at most.
    static constexpr int kBoxPasses = 100;
    QWidget* box = QApplication::activeModalWidget();
    if (box && boxPasses_++ < kBoxPasses) {
        box->close();
        QTimer::singleShot(0, this, &CloseOnSignals::CloseWindow);
        return;
    }
    window_.close();
}

}  // namespace dmm::gui
