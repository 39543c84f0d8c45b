#include "cli/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace dmm::cli {
namespace {

std::atomic<int> firstSignal{0};

void OnSignal(int signal) {
    int none = 0;
    if (firstSignal.compare_exchange_strong(none, signal)) return;
    if (signal == SIGINT) _exit(kExitInterrupted);
}

}  // namespace

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes under way go on: the clean end needs the files and the ports.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

bool Interrupted() {
    return firstSignal.load() != 0;
}

const char* InterruptName() {
    switch (firstSignal.load()) {
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "Ctrl-C";
    }
}

int InterruptExitCode() {
    const int signal = firstSignal.load();
    return signal ? 128 + signal : kExitInterrupted;
}

}  // namespace dmm::cli
