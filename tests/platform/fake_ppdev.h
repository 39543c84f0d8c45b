#pragma once

#include <umockdev.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "device_bed.h"
#include "sim/sim_parallel_port.h"

// A printer port as ppdev shows it to a program (/dev/parportN), emulated by umockdev and
// answered by the simulated port with the chip's two-wire line on it.
namespace dmm::test {

// ppdev's rules as the kernel keeps them: register ioctls need the port claimed first
// (EINVAL otherwise), a second claim or a release without a claim is EINVAL, PPWCONTROL
// and PPRCONTROL carry control bits 0..3 only, and the data direction (control bit 5)
// changes only through PPDATADIR.
class FakePpdev {
  public:
    explicit FakePpdev(sim::SimParallelPort& port);
    ~FakePpdev();
    FakePpdev(const FakePpdev&) = delete;
    FakePpdev& operator=(const FakePpdev&) = delete;

    // Adds /dev/parport<number> to the bed and answers its ioctls.
    bool Plug(DeviceBed& bed, int number, std::string& error);

    // From now on PPCLAIM fails with this error (EBUSY: another program has the port).
    void RefuseClaims(int error);
    // From now on every register ioctl fails with this error (ENODEV: the port has gone).
    void FailRegisterAccess(int error);

    bool Claimed() const;
    int Claims() const;
    // PPSETMODE and PPDATADIR arguments, in order.
    std::vector<int> ModesSet() const;
    std::vector<int> DirectionsSet() const;
    // Register ioctls refused because the port was not claimed.
    int UnclaimedAccesses() const;

  private:
    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    gboolean HandleIoctl(UMockdevIoctlClient* client);
    int RegisterIoctl(unsigned long request, uint8_t* data);

    sim::SimParallelPort& port_;
    UMockdevIoctlBase* handler_;
    mutable std::mutex mutex_;
    bool claimed_ = false;
    int claims_ = 0;
    int claimError_ = 0;
    int accessError_ = 0;
    int unclaimedAccesses_ = 0;
    std::vector<int> modes_;
    std::vector<int> directions_;
};

}  // namespace dmm::test
