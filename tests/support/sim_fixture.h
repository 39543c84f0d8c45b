#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/app/bench_core.h"
#include "core/link/clock.h"
#include "sim/sim_bench.h"

namespace dmm::test {

using Bytes = std::vector<uint8_t>;

// Records every packet the link moves, in order.
class RecordingTrace final : public PacketTrace {
  public:
    struct Packet {
        bool outgoing;
        Bytes bytes;
    };
    void OnPacket(bool outgoing, const uint8_t* data, size_t n) override {
        packets.push_back({outgoing, Bytes(data, data + n)});
    }
    std::vector<Bytes> Sent() const {
        std::vector<Bytes> out;
        for (const auto& p : packets) {
            if (p.outgoing) out.push_back(p.bytes);
        }
        return out;
    }
    void Clear() { packets.clear(); }
    std::vector<Packet> packets;
};

// A whole bench on the simulated board, on virtual time.
struct SimFixture {
    explicit SimFixture(sim::SimBench::Personality personality = sim::SimBench::Personality::Bulk,
                        InterfaceKind kind = InterfaceKind::DMM)
        : sim(clock, personality), core(sim.bus(), clock) {
        core.target().interfaceKind = kind;
        core.link().SetTrace(&trace);
    }
    // A bench whose board carries the given chip model.
    explicit SimFixture(std::unique_ptr<sim::SimChip> chip, InterfaceKind kind = InterfaceKind::DMM)
        : sim(clock, std::move(chip)), core(sim.bus(), clock) {
        core.target().interfaceKind = kind;
        core.link().SetTrace(&trace);
    }
    bool Open() {
        uint8_t status = 0;
        const bool ok = core.link().OpenBoard(status);
        trace.Clear();
        return ok;
    }

    VirtualClock clock;
    sim::SimBench sim;
    BenchCore core;
    RecordingTrace trace;
};

}  // namespace dmm::test
