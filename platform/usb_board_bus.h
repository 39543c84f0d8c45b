#pragma once

#include <memory>

#include "core/link/board_transport.h"

struct libusb_context;

namespace dmm::platform {

// The board's bulk personality through libusb-1.0. Device number n is the n-th device
// with VID 0x0547 PID 0x1004 in bus/address order.
class UsbBoardBus {
  public:
    UsbBoardBus();
    ~UsbBoardBus();
    UsbBoardBus(const UsbBoardBus&) = delete;
    UsbBoardBus& operator=(const UsbBoardBus&) = delete;

    bool available() const { return context_ != nullptr; }
    std::unique_ptr<BulkDevice> OpenBulk(int deviceNumber);

  private:
    libusb_context* context_ = nullptr;
};

}  // namespace dmm::platform
