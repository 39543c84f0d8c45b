#include "cli/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace dmm::cli {
namespace {

std::atomic<int> interrupts{0};

void OnInterrupt(int) {
    if (interrupts.fetch_add(1) >= 1) _exit(kExitInterrupted);
}

}  // namespace

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() {
    return interrupts.load() > 0;
}

}  // namespace dmm::cli
