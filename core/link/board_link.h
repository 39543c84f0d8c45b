#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/link/board_transport.h"
#include "core/link/clock.h"
#include "core/link/devc.h"
#include "core/link/interface_kind.h"
#include "core/link/transfer_buffer.h"

namespace dmm {

// Result of OpenBoard's status output.
inline constexpr uint8_t kOpenStatusNone = 0xFF;      // no board
inline constexpr uint8_t kOpenStatusAnswered = 0;     // already open, signature answered
inline constexpr uint8_t kOpenStatusNewlyOpened = 1;  // newly connected

inline constexpr uint16_t kBulkVendorId = 0x0547;
inline constexpr uint16_t kBulkProductId = 0x1004;
inline constexpr uint16_t kHidVendorId = 0x04D8;
inline constexpr uint16_t kHidProductId = 0x2008;
inline constexpr uint16_t kHidVersion = 0x0727;
inline constexpr int kBulkDeviceCount = 32;
inline constexpr int kHidDeviceCount = 128;

// The board's signature text, answered to F9 AC.
inline constexpr char kBoardSignature[] = "Mervatok";

// Records of one ADC stream reply. Each record is stored as received but in reverse
// order (its last byte first).
struct AdcStreamRecords {
    static constexpr int kMaxRecords = 12;
    static constexpr int kRecordSize = 5;
    uint8_t status = 0;
    int count = 0;
    std::array<std::array<uint8_t, kRecordSize>, kMaxRecords> records{};
};

// The connection to the evaluation board: discovery, one packet out and one reply in,
// and the board-level commands. Owns the TransferBuffer; the Devc record is the one in
// the target record. Thread: used by one thread at a time (the bench thread).
class BoardLink {
  public:
    BoardLink(Devc& devc, BoardBus& bus, Clock& clock);

    Devc& devc() { return devc_; }
    const Devc& devc() const { return devc_; }
    TransferBuffer& buffer() { return buffer_; }
    const TransferBuffer& buffer() const { return buffer_; }
    Clock& clock() { return clock_; }

    bool HidMode() const { return hidMode_; }
    const HidAttributes& hidAttributes() const { return hidAttributes_; }
    int lastError() const { return lastError_; }
    // Bytes the last ReceivePacket actually delivered into the buffer.
    size_t lastReceivedCount() const { return lastReceived_; }
    // A HID board carries this many bytes of a request and of a reply.
    static constexpr size_t kHidPacketBytes = 64;
    // The most bytes one request or reply can carry over the present connection.
    size_t PacketCapacity() const;

    // One request and its reply, which must carry at least `minimum` bytes (all n by
    // default): a reply cut short holds stale buffer bytes and is a failure, not data.
    // A short reply leaves the link open; the next exchange starts afresh.
    bool Exchange(size_t sendCount, size_t receiveCount);
    bool Exchange(size_t sendCount, size_t receiveCount, size_t minimum);

    // Link silence counter: cleared by every successful transfer, counted by the heartbeat.
    uint32_t IdleTicks = 0;

    void SetTrace(PacketTrace* trace) { trace_ = trace; }

    // True only for a usable link: a board whose start sequence fails is closed and the
    // search goes on.
    bool OpenBoard(uint8_t& status);
    bool CheckBoard();
    bool BoardCommand(uint8_t code, uint16_t& word);
    // Sends the first n bytes of the buffer. A count beyond the buffer is refused.
    bool SendPacket(size_t n);
    // Receives up to n reply bytes into the buffer from byte 0 on.
    bool ReceivePacket(size_t n);
    void CloseBoard();
    void ReleaseBoard();
    // How often a failed transfer closed a connected board, and how many reset pulses the
    // chip got: a procedure compares them before and after a step to learn that the link
    // dropped (and maybe came back) or the chip was reset while it was not looking.
    uint32_t LinkLosses() const { return linkLosses_; }
    uint32_t ResetPulses() const { return resetPulses_; }

    bool ResetTarget();
    bool ReadBoardStatus(uint8_t& a, uint8_t& b, uint8_t& c);
    bool ReadBoardInfo(std::string& text);
    bool SetDmmMode(bool on);
    bool SetupUartLink();
    bool AdcStreamControl(bool photo, bool enable, uint8_t value);
    // Returns the record count (0 on failure, for an announced count above 12, and for a
    // reply too short to hold the records it announces).
    int AdcStreamRead(AdcStreamRecords& out);
    // True from an enabling AdcStreamControl until a disabling one succeeds: a link lost
    // in between leaves the board streaming, and the next connection switches it off.
    bool StreamMayBeOn() const { return streamMayBeOn_; }
    // The ADC conversion read frame of the analysis window: two signed 24-bit values.
    bool ReadAdcConversion(InterfaceKind kind, bool photo, uint8_t function, uint16_t address,
                           int32_t& first, int32_t& second);

  private:
    bool TryBulkDevice(int number, uint8_t& status);
    bool TryHidDevice(int index, uint8_t& status);
    void MarkConnected();
    bool StartLink();
    // Runs after every new connection.
    bool StartNewConnection();
    void Trace(bool outgoing, size_t n);
    void LoseLink();

    Devc& devc_;
    BoardBus& bus_;
    Clock& clock_;
    TransferBuffer buffer_{};
    bool hidMode_ = false;
    HidAttributes hidAttributes_{};
    int lastError_ = 0;
    size_t lastReceived_ = 0;
    PacketTrace* trace_ = nullptr;
    bool streamMayBeOn_ = false;
    bool streamPhoto_ = false;
    uint32_t linkLosses_ = 0;
    uint32_t resetPulses_ = 0;
};

// Decodes a little-endian signed 24-bit value.
int32_t SignExtend24(uint32_t raw);

}  // namespace dmm
