#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/instruments/serial_port.h"

namespace dmm::sim {

// A pseudo-terminal a simulated instrument sits behind: the program opens path() as it
// opens any serial port (through the real backend); the instrument reads and writes the
// other side. The instrument keeps the port's own side open too, so that the line
// survives the program closing and reopening it.
class PtyPort {
  public:
    PtyPort();
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }
    int fd() const { return master_; }

    // Everything the program wrote since the last call.
    std::vector<uint8_t> TakeInput();
    // Bytes to the program. Dropped when the program's side is full or the port is gone.
    void Send(const std::vector<uint8_t>& bytes);
    // The line as the program set it. A pseudo-terminal keeps speed and stop bits but
    // always carries 8 bits without parity.
    SerialSettings Line() const;
    // The port disappears (a cable pulled, an adapter unplugged): the program's side
    // hangs up.
    void Vanish();
    bool vanished() const { return master_ < 0 && !path_.empty(); }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::string error_;
};

}  // namespace dmm::sim
