#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/link/board_transport.h"
#include "core/link/parallel_port.h"

namespace dmm {

// The port choices of the setup dialog's "LPT Address" list (CLPT), by item index.
inline constexpr std::array<uint16_t, 3> kLptPortBases{0x378, 0x278, 0x3BC};
inline constexpr std::array<std::string_view, 3> kLptItemTexts{"LPT1 : 0x378", "LPT2 : 0x278",
                                                               "PRN1 : 0x3BC"};
// CLPT item index to port base: 1 gives 0x278, 2 gives 0x3BC, anything else 0x378.
uint16_t LptPortBase(int itemIndex);
// The CLPT item of a port base (0, LPT1, for a base that is none of the three).
int LptItemIndex(uint16_t base);
bool IsLptPortBase(uint16_t base);

// Register offsets from the port base.
inline constexpr uint16_t kStatusOffset = 1;
inline constexpr uint16_t kControlOffset = 2;
inline constexpr uint16_t kExtendedControlOffset = 0x402;

// Control and status lines of the chip's two-wire serial line.
inline constexpr uint8_t kControlDataOut = 0x01;  // host to chip
inline constexpr uint8_t kControlFrame = 0x02;    // low while a frame runs
inline constexpr uint8_t kControlClock = 0x08;    // the chip samples on the rising edge
inline constexpr uint8_t kStatusDataIn = 0x40;    // chip to host
inline constexpr uint8_t kParallelReadCommand = 0xC0;
inline constexpr uint8_t kParallelWriteCommand = 0x40;
// Port reads between the bytes of a chip frame: the chip's time to take a byte.
inline constexpr int kFrameDelayReads = 1000;

// The parallel-port link: the selected printer port, its port operations and the chip
// frames clocked over its two-wire line (data out on control bit 0, clock on control bit
// 3, data in on status bit 6).
//
// Port operations take I/O addresses (port base plus register offset), as the port's
// registers are addressed on a PC. An address that is no register of the open port reads
// 0xFF (an empty bus) and ignores writes. A failed register access releases the port,
// reports why and makes every later operation a no-op until the port is opened again;
// the chip frame in which it happened fails.
// Thread: the bench thread (or the CLI's/test's own thread), like the board link.
class ParallelLink {
  public:
    explicit ParallelLink(ParallelPortBus* bus = nullptr);
    ~ParallelLink();
    ParallelLink(const ParallelLink&) = delete;
    ParallelLink& operator=(const ParallelLink&) = delete;

    // The base of the selected port; ParOpen and the chip frames use it.
    uint16_t PortBase = kLptPortBases[0];

    // Makes the selected port usable: true when it is open (already, or now). A port
    // open at another base is released first.
    bool ParOpen();
    // ParOpen, then, for the three list bases only, puts the port into bidirectional byte
    // mode with the data lines at 0, the clock low and the frame line high. Returns
    // whether the port is open.
    bool ParInit();
    // Releases the port.
    void Close();

    uint8_t ParReadPort(uint16_t port);
    void ParWritePort(uint16_t port, uint8_t value);
    // Clocks a byte out, most significant bit first.
    void ParSendByte(uint16_t port, uint8_t value);
    // Clocks a byte in, most significant bit first.
    uint8_t ParReceiveByte(uint16_t port);
    // A pulse on the frame line: a chip frame begins.
    void ParStart(uint16_t port);
    // The frame line goes high: the chip frame ends.
    void ParEnd(uint16_t port);
    // Waits by reading the data register count + 1 times.
    void ParDelay(uint16_t port, uint16_t count);

    bool IsOpen() const { return port_ != nullptr; }
    // The system's name of the open port; empty when none is open.
    std::string PortName() const;
    // Why the port could not be opened or why it was lost; empty while all is well.
    const std::string& LastError() const { return lastError_; }

    // The chip frames: the read command C0 or write command 40, the address low and high
    // bytes, then the data bytes, each followed by a delay of kFrameDelayReads port
    // reads. No byte count travels. The port is opened (ParInit) first when it is not
    // open at the selected base. True only when every port access succeeded.
    bool ReadChipFrame(uint16_t address, int count, uint8_t* out);
    bool WriteChipFrame(uint16_t address, int count, const uint8_t* data);

    // Told when the port opens (text "<port> On Line") and whenever it cannot be had or
    // is lost (failure, with the reason).
    using StatusHandler = std::function<void(const std::string& text, bool failure)>;
    void SetStatusHandler(StatusHandler handler) { statusHandler_ = std::move(handler); }
    // Frames as bytes: the command, address and data sent, the data received.
    void SetTrace(PacketTrace* trace) { trace_ = trace; }

  private:
    bool RegisterAt(uint16_t port, PortRegister& reg) const;
    void Lose(const std::string& why);
    void Report(const std::string& text, bool failure);
    bool EnsureOpenAtBase();
    void SendFrameHeader(uint8_t command, uint16_t address);

    ParallelPortBus* bus_;
    std::unique_ptr<ParallelPort> port_;
    uint16_t openBase_ = 0;
    std::string lastError_;
    StatusHandler statusHandler_;
    PacketTrace* trace_ = nullptr;
};

}  // namespace dmm
