#pragma once

namespace dmm::cli {

// Ctrl-C (SIGINT), a termination request (SIGTERM: systemctl stop, a shutdown) and a
// hang-up (SIGHUP: the terminal or the SSH session closed) all end the work the same
// way: the first one asks the running verb to stop cleanly (a capture switches the
// stream off and writes nothing half-done, a drift run writes its files, stops the
// chamber and puts the calibrator in standby) and no further verb runs. A second Ctrl-C
// ends the process at once with the interrupt's exit code; more hang-ups or termination
// requests (a closing terminal and its shell each send one) change nothing.
// A closed output (SIGPIPE) does not end the process: the clean end still runs.
void InstallInterruptHandler();
bool Interrupted();
// How the first signal is named in messages ("Ctrl-C", "SIGTERM", "SIGHUP").
const char* InterruptName();
// The exit code of a run that a signal ended: 128 + the signal's number.
int InterruptExitCode();

inline constexpr int kExitRuntime = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

}  // namespace dmm::cli
