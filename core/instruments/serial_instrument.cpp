#include "core/instruments/serial_instrument.h"

namespace dmm {

bool SerialInstrument::OpenPort(int comIndex, const SerialSettings& settings, std::string& why) {
    if (!channel_.Open(record_, comIndex, user_, why)) return false;
    if (!record_.handle->Configure(settings)) {
        why = record_.portName + ": the line cannot be set: " + record_.handle->LastError();
        return false;
    }
    record_.Store(settings);
    return true;
}

}  // namespace dmm
