#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/link/clock.h"
#include "sim/sim_chip.h"

namespace dmm::sim {

// Faults the simulated board can be told to show.
struct BoardFaults {
    int dropReplies = 0;           // the next N replies never arrive (the read fails)
    int shortReplies = 0;          // the next N replies are cut to half their length
    bool wrongSignature = false;   // F9 AC answers something other than the signature
    bool disconnected = false;     // every transfer fails, the device vanishes from the bus
    int64_t replyDelayMs = 0;      // each reply costs this much (simulated) time
    int oversizedStreamCount = 0;  // announce this many records (13+) in the next stream reply
    // Rewrites replies (request, reply) before they go out: corrupted acknowledgements etc.
    std::function<void(const std::vector<uint8_t>&, std::vector<uint8_t>&)> replyFilter;
};

// The evaluation board as the host sees it: a packet goes in, a reply comes out. It
// answers every board command and every chip frame of every interface kind, and keeps
// the chip behind it. Thread-safe: device emulation calls it from its own thread.
class SimBoard {
  public:
    SimBoard(SimChip& chip, Clock& clock);

    // One request packet (for HID boards: the 64 payload bytes).
    // Returns false when the board cannot take it (disconnected).
    bool Receive(const uint8_t* data, size_t n);
    // Moves up to capacity reply bytes out; false when no reply is waiting.
    bool Reply(uint8_t* data, size_t capacity, size_t& delivered);

    BoardFaults& faults() { return faults_; }
    // The last reply was cut short by the short-reply fault (a HID report then ends early).
    bool LastReplyWasCut() const { return lastReplyCut_; }
    // Time every exchange takes on the board's side (0: answers at once, as tests and the
    // host-overhead benchmark want).
    void SetExchangeLatencyMs(int64_t ms) {
        std::lock_guard lock(mutex_);
        latencyMs_ = ms;
    }
    std::mutex& mutex() { return mutex_; }
    // The board lost its power and got it back: its firmware starts afresh (out of DMM
    // mode, no stream, no connection) and its chip is in its reset state.
    void PowerCycle();
    SimChip& chip() { return chip_; }

    // Board state the commands change, for tests and the status command.
    bool dmmMode() const { return dmmMode_; }
    bool streamEnabled() const { return streamEnabled_; }
    bool resetLineHigh() const { return resetLine_; }
    int linkStarts() const { return linkStarts_; }
    uint16_t connectedIndex() const { return connectedIndex_; }
    static constexpr char kInfoText[] = "VZSIM140";

  private:
    std::vector<uint8_t> Answer(const std::vector<uint8_t>& packet);
    std::vector<uint8_t> AnswerBoardCommand(const std::vector<uint8_t>& p);
    std::vector<uint8_t> AnswerStream(const std::vector<uint8_t>& p);
    std::vector<uint8_t> AnswerConversion(uint8_t function, uint16_t address);
    std::vector<uint8_t> ReadBlock(uint16_t address, size_t count);
    void WriteBlock(uint16_t address, const std::vector<uint8_t>& p, size_t at, size_t count);

    SimChip& chip_;
    Clock& clock_;
    std::mutex mutex_;
    BoardFaults faults_;
    std::vector<uint8_t> pendingReply_;
    bool replyWaiting_ = false;
    bool dmmMode_ = false;
    bool streamEnabled_ = false;
    bool resetLine_ = true;
    int linkStarts_ = 0;
    uint16_t connectedIndex_ = 0xFFFF;
    uint8_t linkToken_ = 0x5A;
    int64_t latencyMs_ = 0;
    bool lastReplyCut_ = false;
};

}  // namespace dmm::sim
