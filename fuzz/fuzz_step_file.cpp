// The switch test's step file reader: any bytes in, a set-up out that the combo boxes
// and STEP panels can show, and that reads back unchanged once written.
#include <cstdint>
#include <cstdlib>

#include "core/analog/switch_test_setup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    dmm::SwitchTestSetup setup;
    dmm::ReadStepFile(bytes, setup);
    if (setup.evStepLenIndex < 0 || setup.evStepLenIndex >= int(dmm::kEvStepLenItems.size()) ||
        setup.loopStepIndex < 0 || setup.loopStepIndex >= int(dmm::kLoopStepItems.size()) ||
        setup.selectedStep < 0 || setup.selectedStep >= dmm::kSwitchChannelCount)
        std::abort();
    if (setup.G() * setup.L() > dmm::kSwitchTableSize) std::abort();

    dmm::SwitchTestSetup again;
    const QByteArray written = dmm::StepFileBytes(setup);
    dmm::ReadStepFile(written, again);
    if (dmm::StepFileBytes(again) != written) std::abort();
    return 0;
}
