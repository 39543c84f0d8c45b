#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/instruments/com_ports.h"
#include "core/link/clock.h"
#include "sim/pty_port.h"
#include "sim/sim_board.h"
#include "sim/sim_calibrator.h"
#include "sim/sim_chamber.h"
#include "sim/sim_meter.h"
#include "sim/sim_power_supply.h"
#include "sim/sim_serial_chip.h"
#include "sim/timed_fault.h"

namespace dmm::sim {

// The serial side of the simulated bench: a chip on its own serial link, a calibrator,
// a power supply, a climate chamber and six meters, each behind a pseudo-terminal, so that
// the program reaches them through its real serial backend. With --sim they sit at
//   COM1 the chip link, COM2 the calibrator, COM3 the power supply, COM4 the chamber,
//   COM5..COM10 meters 1..6.
// The calibrator's output drives an input node of the board's chip (by default SENSE,
// the meter input); the meters read that node (volts), the calibrator's AC output, the
// chamber's air temperature, an open ohms input ("OL"), the calibrator's frequency and a
// small negative current. The board's chip takes the chamber's air temperature, so its
// readings drift as the chamber moves.
//
// The programs' --sim runs the simulators on a SimBenchClock (PumpAt whenever the time is
// read) and on their own thread (Start), so that they move on while the program is
// quiet; tests run Pump() themselves, as a SteppedClock does.
class SimInstruments {
  public:
    enum Device : int { ChipLink = 0, Calibrator, PowerSupply, Chamber, FirstMeter };
    static constexpr int kMeterCount = 6;
    static constexpr int kDeviceCount = FirstMeter + kMeterCount;
    // The COM index each device has with --sim.
    static constexpr int ComIndexOf(int device) { return device; }
    static constexpr int MeterCom(int channel) { return FirstMeter + channel; }

    // board: the board whose chip the chip link and the calibrator reach (may be null).
    SimInstruments(Clock& clock, SimBoard* board);
    ~SimInstruments();
    SimInstruments(const SimInstruments&) = delete;
    SimInstruments& operator=(const SimInstruments&) = delete;

    // False (with the reason) when the pseudo-terminals could not be made.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // The ports as a serial port listing shows them, and the COM map of --sim.
    std::vector<SerialPortInfo> Ports() const;
    ComPortChoices Choices() const;
    ComPortMap Map() const { return ComPortMap::Build(Ports(), Choices()); }

    // The thread: a pass whenever a port has input, at least every few milliseconds. The
    // pass is Pump() unless given (a clock that pumps when read: reading it).
    void Start(std::function<void()> pass = {});
    void Stop();
    // One pass: every device takes what arrived and sends what is due now.
    void Pump();
    // The same with the times given: what arrived is taken in at stampMs, replies due by
    // nowMs are sent. Returns when the earliest reply sent was due (-1: none was).
    int64_t PumpAt(int64_t stampMs, int64_t nowMs);

    // Appends what the calibrator, the power supply and the chamber are told to path, a
    // line each as it comes ("<ms> calibrator STBY", "<ms> chamber 0101=4"), so that what
    // the bench was left doing can be read after the program has ended, however it ended.
    bool LogTo(const std::string& path, std::string& error);

    // Devices and their ports; change them with mutex() held while the thread runs.
    std::recursive_mutex& mutex() { return mutex_; }
    SimSerialDevice& device(int d) { return *devices_[static_cast<size_t>(d)]; }
    PtyPort& port(int d) { return *ports_[static_cast<size_t>(d)]; }
    SimSerialChip& chip() { return *chip_; }
    SimCalibrator& calibrator() { return *calibrator_; }
    SimPowerSupply& power() { return *power_; }
    SimChamber& chamber() { return *chamber_; }
    SimMeter& meter(int channel) { return *meters_[static_cast<size_t>(channel)]; }

    // Faults that start (and end) at times on the bench clock, each pass seeing to those
    // due; the board's reach the board given at construction. A vanished device's node
    // is gone from Ports() until it comes back, under another node.
    void ScheduleFaults(std::vector<TimedSimFault> faults);

    // Where the calibrator's output reaches the chip ("SENSE", "OP1O" or any node name),
    // and the harmonics of its AC output (dBc, the second harmonic first).
    void SetCalibratorNode(std::string node);
    void SetCalibratorHarmonics(std::vector<double> harmonicsDbc);

  private:
    void ApplyCalibrator(const CalibratorOutput& output);
    // The chip on the board sits in the chamber: it takes the chamber's air temperature.
    void FollowChamber();
    double NodeVolts();
    void ApplyDueFaults(int64_t nowMs);
    void SetFault(const TimedSimFault& fault, bool on);
    void LogNew(int64_t nowMs, size_t calibratorLines, size_t powerLines, size_t chamberWrites);

    Clock& clock_;
    SimBoard* board_;
    std::string error_;
    std::recursive_mutex mutex_;
    std::array<std::unique_ptr<PtyPort>, kDeviceCount> ports_;
    std::array<std::unique_ptr<PtyPort>, kDeviceCount> returning_;  // vanished devices' next nodes
    std::array<SimSerialDevice*, kDeviceCount> devices_{};
    std::unique_ptr<SimSerialChip> chip_;
    std::unique_ptr<SimCalibrator> calibrator_;
    std::unique_ptr<SimPowerSupply> power_;
    std::unique_ptr<SimChamber> chamber_;
    std::array<std::unique_ptr<SimMeter>, kMeterCount> meters_;
    std::string calibratorNode_ = "SENSE";
    std::vector<double> harmonicsDbc_;
    struct Scheduled {
        TimedSimFault fault;
        bool started = false;
        bool ended = false;
    };
    std::vector<Scheduled> faults_;
    bool driving_ = false;
    double levelBefore_ = 0;
    int logFd_ = -1;
    std::thread thread_;
    std::atomic<bool> running_{false};
};

}  // namespace dmm::sim
