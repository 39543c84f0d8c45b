#pragma once

#include <umockdev.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/instruments/serial_port.h"
#include "device_bed.h"

// A USB serial adapter as the kernel shows it: umockdev's pty-backed /dev/ttyUSBn, with
// what a pseudo-terminal cannot do added: modem lines (DTR and RTS, set and read through
// the TIOCM ioctls) and line errors on received bytes, delivered marked as the tty layer
// delivers them with PARMRK (FF 00 X). The instrument sits on fd(), the pty's far side.
namespace dmm::test {

class FakeTty {
  public:
    FakeTty();
    ~FakeTty();
    FakeTty(const FakeTty&) = delete;
    FakeTty& operator=(const FakeTty&) = delete;

    // Adds /dev/<name> (an FTDI adapter with this serial number) to the bed.
    bool Plug(DeviceBed& bed, const std::string& name, const std::string& serial,
              std::string& error);
    const std::string& devnode() const { return devnode_; }
    int fd() const { return fd_; }
    // The line as the program set it (a pty keeps speed and stop bits only).
    SerialSettings Line() const;

    // DTR as the program drives it; every change, in order.
    bool Dtr() const;
    std::vector<bool> DtrChanges() const;
    // An adapter whose DTR wire is broken: the line stays low whatever the program sets.
    void BreakDtrWire();
    // Told of every DTR change the instrument sees.
    std::function<void(bool)> onDtr;
    // The nth read from now on that delivers bytes (1: the next) brings them with line
    // errors of this kind.
    enum class LineError { Parity, Framing };
    void MarkRead(int nth, LineError kind = LineError::Parity);
    // Makes the adapter's driver keep line counters (TIOCGICOUNT), as ftdi_sio does, so
    // that a parity error can be told from a framing error. Before the port is opened.
    void KeepLineCounters() { counters_ = true; }

  private:
    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static gboolean OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    gboolean OnCounters(UMockdevIoctlClient* client);

    UMockdevIoctlBase* handler_;
    std::string devnode_;
    int fd_ = -1;
    mutable std::mutex mutex_;
    int lines_ = 0;
    bool dtrBroken_ = false;
    std::vector<bool> dtrChanges_;
    int markIn_ = 0;
    LineError markKind_ = LineError::Parity;
    bool counters_ = false;
    int parityErrors_ = 0;
    int framingErrors_ = 0;
};

}  // namespace dmm::test
