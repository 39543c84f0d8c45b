#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/analog/switch_test_setup.h"
#include "core/app/ui_hooks.h"

namespace dmm {

class BenchCore;

inline constexpr char kTestFailText[] = "Test Fail";
inline constexpr char kTestOkText[] = "Test OK";
inline constexpr char kTestBeginningText[] = "Test Begining .......";
inline constexpr char kDataSendingText[] = "Data Sending .......";
inline constexpr char kDataSendOkText[] = "Data Send OK";
inline constexpr char kDataSendFailText[] = "Data Send Fail";
inline constexpr char kDataSendFailBox[] = "Data Send Fail!!";
inline constexpr char kNoChannelText[] =
    "No channel to test: tick at least one of Channel 1 to Channel 8";

// How long the firmware may take to clear its ready and block handshake bits.
inline constexpr int64_t kHandshakeTimeoutMs = 5000;
// The wait for the end of a run, unless told otherwise: a minute, and a second a sample,
// several times what the slowest conversion rate of the family takes.
inline constexpr int64_t kRunAllowanceMs = 60000;
inline constexpr int64_t kRunAllowancePerSampleMs = 1000;

// What the window shows: the set-up and, unless the grid was cleared, the G x L cells of
// the shown table (value j at column j mod G, row j div G).
struct SwitchTestView {
    SwitchTestSetup setup;
    std::shared_ptr<const std::vector<int32_t>> cells;  // nullptr: the grid is empty
};

// How a run ended.
enum class SwitchTestEnd {
    NoChannel,      // no channel is ticked: refused, nothing was done
    NoBoard,        // the board's identification could not be read: nothing was done
    Busy,           // a run was already going on
    NotReady,       // the firmware did not clear its ready bit in time
    SendFailed,     // the set-up did not reach the firmware intact
    NotFinished,    // the status read failed before the firmware reported the end
    TimedOut,       // the firmware did not report the end in time (see firmwareTimeoutMs)
    Stopped,        // "STOP" (or the program closing) before every sample was in
    ReadFailed,     // a block of samples could not be fetched
    BlockTimedOut,  // the firmware did not hand out a block of samples in time
    Complete,       // every sample is in the tables
};

// The channel switch test: channel set-ups of eleven registers each, sent to the
// microcontroller's firmware, which measures them in turn; the samples come back in
// blocks and go to one table per enabled channel.
//
// Thread: the bench thread (or the CLI's own), except RequestStop() and IsRunning(),
// which any thread may call (the window's "STOP"). The run handles queued events once
// per pass of its waits, so the program stays responsive; actions that would touch the
// chip while it runs are ignored.
class SwitchTest : public QObject {
    Q_OBJECT
  public:
    SwitchTest(BenchCore& core, UiHooks& ui, QObject* parent = nullptr);

    const SwitchTestSetup& setup() const { return setup_; }
    const SwitchTables& tables() const { return tables_; }
    SwitchTestView View() const;
    // Samples the last run asked for and how many of them came in.
    int lastTotal() const { return lastTotal_; }
    int lastRead() const { return lastRead_; }

    // The step file. A missing one is written from the present set-up first; one that
    // cannot be read changes nothing. Saving writes atomically and says nothing when it
    // cannot (the user has no way to act on it at close).
    void LoadConfig(const QString& path);
    bool SaveConfig(const QString& path) const;

    // The window's controls (channel: 0..7, step: 0..7).
    void SwitChClick(int channel, bool ticked);
    void StepLengthsChange(int evStepLenIndex, int loopStepIndex);
    void PStepSet(int step);
    void ClearSGD();
    // Set k: after 2 s, the image values of the channel registers become channel k's.
    bool PSwitchSetClick(int channel);
    // Review k: writes channel k's values to their registers, in list order.
    bool PSwReviewClick(int channel);
    bool ADShiftChange(int index);
    // The scale selector's item: b = 8 + index result bits, divisor 2^(24 - b).
    void TXScaleChange(int index);

    // The set-up to the firmware's memory, with its read-back check.
    bool SendTORX405WR();
    // "Send": the same with its status texts and message box.
    bool SendTORX405Click();
    // "Begin": the whole run. Without a ticked channel it is refused with a message, and
    // neither the chip nor the tables are touched.
    SwitchTestEnd TestBeginClick();
    // "SaveExcel": the eight result files in folder, all or none.
    bool SaveToExcel(const QString& folder);

    // Ends the wait for the end of the run after this long; 0: the run's allowance,
    // kRunAllowanceMs and kRunAllowancePerSampleMs for each sample it asks for.
    int64_t firmwareTimeoutMs = 0;

    void RequestStop() { stop_.store(true); }
    bool IsRunning() const { return running_.load(); }

  signals:
    void Changed(const dmm::SwitchTestView& view);

  private:
    class RunGuard;

    bool Stopping() const { return stop_.load(); }
    bool ReadByte(uint16_t address, uint8_t& value);
    bool WriteBytes(uint16_t address, const uint8_t* data, int count);
    // Reads a register and writes back what change makes of it; false when either fails.
    template <typename Change>
    bool Modify(uint16_t address, Change change);
    enum class Handshake { Clear, ReadFailed, Stopped, TimedOut };
    // Reads the register until (value & bit) == 0, a read fails, the stop is asked for or
    // kHandshakeTimeoutMs have passed.
    Handshake WaitBitClear(uint16_t address, uint8_t bit);
    void PT2OUTLOW();
    SwitchTestEnd WaitForFirmware(const std::string& info, int total);
    SwitchTestEnd ReadSamples(int channels, int total);
    void Publish();

    BenchCore& core_;
    UiHooks& ui_;
    SwitchTestSetup setup_;
    SwitchTables tables_;
    bool gridShown_ = false;
    int lastTotal_ = 0;
    int lastRead_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
};

}  // namespace dmm

Q_DECLARE_METATYPE(dmm::SwitchTestView)
