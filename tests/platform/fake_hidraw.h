#pragma once

#include <umockdev.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "device_bed.h"
#include "fake_usbfs.h"
#include "sim/sim_board.h"

// The evaluation board in its HID personality as hidraw shows it to hidapi: a USB HID
// device with one vendor-defined 64-byte input and output report (no report ids),
// emulated by umockdev and answered by a simulated board.
namespace dmm::test {

struct HidPlug {
    UsbPlug usb{0x04D8, 0x2008, 0x0727, 1, 3, "1-3"};
    int minor = 0;     // hidraw<minor>
    int instance = 1;  // the kernel's HID device number (0003:VVVV:PPPP.<instance>)

    std::string Devnode() const;  // "/dev/hidraw0"
};

// hidraw for one board: each write() is an output report (report id byte 0, then the
// payload) and goes to the board as one request; its reply is queued as a 64-byte input
// report that read() hands out. A write with another report id is refused, as the
// kernel refuses it for a device without numbered reports.
class FakeHidrawBoard {
  public:
    static constexpr size_t kReportSize = 64;

    explicit FakeHidrawBoard(sim::SimBoard& board);
    ~FakeHidrawBoard();
    FakeHidrawBoard(const FakeHidrawBoard&) = delete;
    FakeHidrawBoard& operator=(const FakeHidrawBoard&) = delete;

    bool Plug(DeviceBed& bed, const HidPlug& plug, std::string& error);

    // Every output report as written, report id byte included.
    std::vector<Bytes> OutputReports() const;
    void ClearOutputReports();
    size_t QueuedInputReports() const;

  private:
    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static gboolean OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static gboolean OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    gboolean HandleIoctl(UMockdevIoctlClient* client);
    gboolean HandleRead(UMockdevIoctlClient* client);
    gboolean HandleWrite(UMockdevIoctlClient* client);

    sim::SimBoard& board_;
    HidPlug plug_;
    UMockdevIoctlBase* handler_;
    ReadinessGate gate_;
    mutable std::mutex mutex_;
    std::deque<Bytes> input_;
    std::vector<Bytes> output_;
};

}  // namespace dmm::test
