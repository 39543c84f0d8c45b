#pragma once

#include <memory>
#include <string>

#include "core/link/parallel_port.h"
#include "platform/parport_map.h"

namespace dmm::platform {

// Printer ports through Linux ppdev (/dev/parportN). Opening claims the port for the
// whole time it is open (PPCLAIM), so no printer driver or other program clocks its
// lines in between; destroying the port releases it.
//
// ppdev reaches the data, status and control registers. It has no access to the extended
// control register: its mode field becomes ppdev's transfer mode (PPSETMODE; the
// bidirectional byte mode is IEEE1284_MODE_BYTE), and reads give back what was last
// written. Control bit 5 (data lines turned around) goes through PPDATADIR; the other
// control bits PPWCONTROL does not carry (interrupt enable, 6 and 7) stay the kernel's.
class PpdevPortBus final : public ParallelPortBus {
  public:
    explicit PpdevPortBus(std::string procDir = kProcParportDir, std::string devDir = "/dev");
    std::unique_ptr<ParallelPort> Open(uint16_t base, std::string& why) override;

  private:
    std::string procDir_;
    std::string devDir_;
};

}  // namespace dmm::platform
