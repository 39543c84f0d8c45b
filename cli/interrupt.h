#pragma once

namespace dmm::cli {

// Ctrl-C: the first one asks the running verb to stop cleanly (a capture switches the
// stream off and writes nothing half-done) and no further verb runs; a second one ends
// the process at once with the interrupt's exit code.
void InstallInterruptHandler();
bool Interrupted();

inline constexpr int kExitRuntime = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

}  // namespace dmm::cli
