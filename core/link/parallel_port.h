#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The seam between the parallel-port link and the operating system: the registers of one
// PC printer port. Nothing above it knows whether the bytes reach ppdev, another system's
// port driver or the simulated port.
//
// Contract: a ParallelPortBus opens one port at a time for the bench thread; every call of
// an opened port comes from that thread, one at a time, and returns at once (register
// accesses never wait). The port is released by destroying the object. A call that fails
// leaves the reason in LastError(); the caller treats the port as gone.
namespace dmm {

// The registers of a port, by their offset from the port base: data (base), status
// (base + 1), control (base + 2) and the extended control register of ECP-capable ports
// (base + 0x402).
enum class PortRegister : uint8_t { Data, Status, Control, ExtendedControl };

class ParallelPort {
  public:
    virtual ~ParallelPort() = default;
    virtual bool Read(PortRegister reg, uint8_t& value) = 0;
    virtual bool Write(PortRegister reg, uint8_t value) = 0;
    // The system's name of the port ("/dev/parport0"), for status texts.
    virtual std::string Name() const = 0;
    // Why the last failed call failed, as a user should read it.
    virtual std::string LastError() const = 0;
};

class ParallelPortBus {
  public:
    virtual ~ParallelPortBus() = default;
    // Opens and claims the port at the given base address; nullptr with the reason in why
    // when it cannot be had.
    virtual std::unique_ptr<ParallelPort> Open(uint16_t base, std::string& why) = 0;
};

}  // namespace dmm
