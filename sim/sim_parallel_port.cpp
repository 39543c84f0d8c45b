#include "sim/sim_parallel_port.h"

#include <cstdio>

#include "core/link/parallel_link.h"

namespace dmm::sim {
namespace {

// Status lines the port shows besides the chip's: no error, selected.
constexpr uint8_t kIdleStatus = 0x18;
constexpr uint8_t kControlReverse = 0x20;
constexpr uint8_t kEcrFifoEmpty = 0x01;

size_t Index(PortRegister reg) {
    return static_cast<size_t>(reg);
}

}  // namespace

uint64_t PortAccessCounts::Total() const {
    uint64_t total = 0;
    for (size_t i = 0; i < reads.size(); ++i) total += reads[i] + writes[i];
    return total;
}

// One opened port: the seam's view of the simulated registers.
class SimParallelPort::Handle final : public ParallelPort {
  public:
    Handle(SimParallelPort& port, uint16_t base) : port_(port) {
        char name[32];
        std::snprintf(name, sizeof name, "simulated port 0x%03X", base);
        name_ = name;
    }
    bool Read(PortRegister reg, uint8_t& value) override {
        return port_.Access(false, reg, value, lastError_);
    }
    bool Write(PortRegister reg, uint8_t value) override {
        return port_.Access(true, reg, value, lastError_);
    }
    std::string Name() const override { return name_; }
    std::string LastError() const override { return lastError_; }

  private:
    SimParallelPort& port_;
    std::string name_;
    std::string lastError_;
};

SimParallelPort::SimParallelPort(SimChip& chip, std::mutex& chipLock, Clock& clock)
    : twoWire_(chip, chipLock, clock) {}

std::unique_ptr<ParallelPort> SimParallelPort::Open(uint16_t base, std::string& why) {
    std::lock_guard lock(mutex_);
    openedBase_ = base;
    ++openCount_;
    if (!faults_.openError.empty()) {
        why = faults_.openError;
        return nullptr;
    }
    return std::make_unique<Handle>(*this, base);
}

bool SimParallelPort::Access(bool write, PortRegister reg, uint8_t& value, std::string& why) {
    std::lock_guard lock(mutex_);
    if (faults_.failAfterAccesses == 0) {
        why = "simulated port: No such device (the port has gone)";
        return false;
    }
    if (faults_.failAfterAccesses > 0) --faults_.failAfterAccesses;
    if (write) {
        ++counts_.writes[Index(reg)];
        WriteLocked(reg, value);
    } else {
        ++counts_.reads[Index(reg)];
        value = ReadLocked(reg);
    }
    return true;
}

uint8_t SimParallelPort::ReadRegister(PortRegister reg) {
    std::lock_guard lock(mutex_);
    return ReadLocked(reg);
}

void SimParallelPort::WriteRegister(PortRegister reg, uint8_t value) {
    std::lock_guard lock(mutex_);
    WriteLocked(reg, value);
}

uint8_t SimParallelPort::ReadLocked(PortRegister reg) const {
    switch (reg) {
        case PortRegister::Data:
            return (control_ & kControlReverse) ? 0xFF : data_;
        case PortRegister::Status:
            return static_cast<uint8_t>(kIdleStatus | (twoWire_.DataOut() ? kStatusDataIn : 0));
        case PortRegister::Control:
            return control_;
        case PortRegister::ExtendedControl:
            return extendedControl_;
    }
    return 0xFF;
}

void SimParallelPort::WriteLocked(PortRegister reg, uint8_t value) {
    switch (reg) {
        case PortRegister::Data:
            data_ = value;
            break;
        case PortRegister::Status:
            break;
        case PortRegister::Control:
            control_ = value;
            if (logging_) controlLog_.push_back(value);
            twoWire_.OnControl(value);
            break;
        case PortRegister::ExtendedControl:
            // The FIFO status bits are the port's own.
            extendedControl_ = static_cast<uint8_t>((value & 0xFC) | kEcrFifoEmpty);
            break;
    }
}

void SimParallelPort::SetFaults(const PortFaults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
}

PortAccessCounts SimParallelPort::Counts() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

void SimParallelPort::ResetCounts() {
    std::lock_guard lock(mutex_);
    counts_ = {};
}

void SimParallelPort::LogControlWrites(bool on) {
    std::lock_guard lock(mutex_);
    logging_ = on;
    controlLog_.clear();
}

std::vector<uint8_t> SimParallelPort::ControlLog() const {
    std::lock_guard lock(mutex_);
    return controlLog_;
}

TwoWireChip::Frame SimParallelPort::LastFrame() const {
    std::lock_guard lock(mutex_);
    return twoWire_.LastFrame();
}

uint16_t SimParallelPort::OpenedBase() const {
    std::lock_guard lock(mutex_);
    return openedBase_;
}

int SimParallelPort::OpenCount() const {
    std::lock_guard lock(mutex_);
    return openCount_;
}

}  // namespace dmm::sim
