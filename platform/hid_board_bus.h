#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/link/board_transport.h"

namespace dmm::platform {

// The board's HID personality through hidapi (hidraw). Index i is the i-th device with
// VID 0x04D8 PID 0x2008 in enumeration order; the release is checked by the link.
class HidBoardBus {
  public:
    HidBoardBus();
    ~HidBoardBus();
    HidBoardBus(const HidBoardBus&) = delete;
    HidBoardBus& operator=(const HidBoardBus&) = delete;

    std::unique_ptr<HidDevice> OpenHid(int index);

  private:
    struct Found {
        std::string path;
        HidAttributes attributes;
    };
    void Enumerate();

    bool initialised_ = false;
    bool enumerated_ = false;
    std::vector<Found> boards_;
};

}  // namespace dmm::platform
