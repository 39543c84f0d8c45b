#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/instruments/rs232_chip_link.h"
#include "core/link/board_link.h"
#include "core/link/chip_frames.h"
#include "core/link/parallel_link.h"
#include "core/link/stnd.h"

namespace dmm {

// The DMM frame carries the address doubled in one byte: only 0x00..0x7F can be reached.
inline constexpr int kDmmAddressSpace = 0x80;

// Which per-function copy WriteRegister keeps (the analysis window's function choice).
enum class ComFunChoice : int { Scale = 0, Dmm = 1 };

// Last values written to the ADC setup registers 0x3C..0x40 (entries 0..4) and 0x30 (5).
using FunctionRegisterCopy = std::array<uint8_t, 6>;

// Panels that redraw from the register image, in the order RefreshPanels visits them.
enum class PanelOrder : int {
    Ram = 0,
    Register,
    AdcClock,
    SwitchNetwork,
    Adc1,
    Adc2,
    OpAmp,
    Counter,
};

// The chip operations every window uses: the register image, block reads and writes
// over the selected interface kind, single-register writes with read-back, and the
// redraw notification. Thread: the bench thread (or the CLI's/test's own thread).
class ChipAccess {
  public:
    ChipAccess(STND& target, BoardLink& link, Clock& clock);

    STND& target() { return target_; }
    const STND& target() const { return target_; }
    BoardLink& link() { return link_; }
    // The parallel-port link of the Parallel interface kind; without one that kind fails.
    void SetParallelLink(ParallelLink* parallel) { parallel_ = parallel; }
    TransferBuffer& buffer() { return link_.buffer(); }

    // Setup options that shape the frames.
    bool Photo = false;
    std::string ChipTitle;
    ComFunChoice ComFun = ComFunChoice::Scale;
    FunctionRegisterCopy ScaleCopy{};
    FunctionRegisterCopy DmmCopy{};

    uint8_t GetRegImage(int address) const;
    void SetRegImage(int address, uint8_t value);

    // Reads count bytes (1..255) into the transfer buffer from byte 0 on. Succeeds only
    // when the reply carried every byte asked for.
    bool ReadChip(uint16_t address, int count);
    // Writes count bytes (1..255) that the caller placed at WriteDataOffset of the buffer.
    bool WriteChip(uint16_t address, int count);
    // "SLEEP": the key byte A5h to the chip's sleep register.
    bool SleepChip();

    // Why the last ReadChip/WriteChip failed when the program knows more than "the board
    // did not answer": a request refused before it was sent (an address beyond the
    // interface's reach, a frame a HID report cannot carry) or a reply cut short. Empty
    // after a success and after a plain transfer failure.
    const std::string& LastFailure() const { return lastFailure_; }
    // Why the last ReadChip/WriteChip failed, for a message: LastFailure, or with the
    // Parallel kind why the port cannot be had; empty when no more is known than that
    // the chip did not answer.
    std::string FailureReason() const;
    // Told every such failure as it happens (the status bar, the CLI's stderr).
    std::function<void(const std::string&)> OnFailure;
    // Writes one register and stores the read-back value into the image.
    bool WriteRegister(uint16_t address, uint8_t value);
    // The registers written since the chip's last reset pulse that now read otherwise than
    // the image (a chip that lost its power while the board was away): empty when every
    // one holds what was written, nothing when the chip could not be read.
    std::optional<std::vector<uint16_t>> RegistersLost();
    void UpdateRegister(int address, uint8_t value);
    void RefreshPanels();
    // Only the given panels, in the given order.
    void RefreshPanels(std::span<const PanelOrder> order);

    // Panels (or their bench-side publishers) subscribe here; RefreshPanels calls them in
    // PanelOrder, whatever order they subscribed in.
    using RefreshHandler = std::function<void()>;
    void SubscribeRefresh(PanelOrder order, RefreshHandler handler);

    // The chip's own serial link (interface kind RS232).
    Rs232ChipLink& rs232() { return rs232_; }

    FunctionRegisterCopy& SelectedCopy() {
        return ComFun == ComFunChoice::Dmm ? DmmCopy : ScaleCopy;
    }

  private:
    bool ExchangeFrame(size_t sendCount, size_t receiveCount);
    bool WriteAndReadBack(uint16_t address, uint8_t value);
    // The RS232 kind's transfers (chip_access_rs232.cpp).
    bool ReadChipRs232(uint16_t address, int count);
    bool WriteChipRs232(uint16_t address, int count);
    // Checks a request before anything is sent; false (with the reason reported) when
    // it cannot be carried.
    bool Acceptable(bool read, uint16_t address, int count, const FrameSizes& sizes);
    bool Fail(std::string reason);
    // The Parallel kind's frames (chip_access_parallel.cpp).
    bool ReadChipParallel(uint16_t address, int count);
    bool WriteChipParallel(uint16_t address, int count);
    void WaitAfterFrame();
    void RememberFunctionCopy(uint16_t address, uint8_t value);
    FrameOptions Options() const;

    STND& target_;
    BoardLink& link_;
    Clock& clock_;
    ParallelLink* parallel_ = nullptr;
    std::vector<std::pair<PanelOrder, RefreshHandler>> refreshHandlers_;
    std::string lastFailure_;
    Rs232ChipLink rs232_;
    std::bitset<256> written_;
    uint32_t resetPulsesSeen_ = 0;
};

// "Read RAM": the first 64 chip bytes into the register image, then every panel
// refreshed. Nothing changes when the read fails.
inline constexpr int kReadRamBytes = 64;
bool ReadRamIntoImage(ChipAccess& chip);

}  // namespace dmm
