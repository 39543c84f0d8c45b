#include "core/instruments/meter.h"

#include "core/instruments/serial_line.h"

namespace dmm {

Meter::Meter(SerialChannel& channel, Clock& clock, UiHooks& hooks, int channelIndex)
    : SerialInstrument(channel, clock, hooks, "meter " + std::to_string(channelIndex + 1)),
      channel_index_(channelIndex) {}

bool Meter::Select(int comIndex, std::optional<BryMenReading>* firstReading) {
    const std::string name = "BryMen " + std::to_string(channel_index_ + 1);
    if (firstReading) firstReading->reset();
    if (connected() && record_.comIndex != comIndex) SetAsidePort();
    std::string why;
    if (!OpenPort(comIndex, kSettings, why)) {
        Status(QString::fromStdString(name + " Uart  not  found"));
        Detail(why);
        Close();
        RestorePreviousPort(why);
        return false;
    }
    ReleasePreviousPort();
    record_.handle->SetDtr(true);
    // The meter has no identification: a reading in its frames is what tells it is there.
    std::optional<BryMenReading> reading = GetBryMenData();
    if (reading) {
        if (firstReading) *firstReading = std::move(reading);
        return Identified(name.c_str(), "reference meter (22-byte frames)");
    }
    MarkConnected("no answer when selected");
    Status(QString::fromStdString(name + " In " + record_.portName + ": no answer"));
    Detail(user_ + " stays on " + record_.portName +
           ": its row shows a reading once a meter answers there");
    return true;
}

// A meter has no identification: back when a reading comes in its frames.
bool Meter::Reidentify(std::string& identity) {
    record_.handle->SetDtr(true);
    if (!GetBryMenData()) return false;
    identity = "reference meter (22-byte frames)";
    return true;
}

bool Meter::ReadBryMen(std::vector<uint8_t>& reply) {
    reply.clear();
    if (!record_.Open()) return false;
    if (!ReadWaiting(record_).empty()) {
        DelayMs(clock_, kDrainPauseMs);
        ReadWaiting(record_);
    }
    // "More than 13 bytes" is enough to know a reply is coming in.
    static constexpr size_t kEnough = 14;
    WriteBytes(record_, kBryMenRequest.data(), kBryMenRequest.size());
    bool answered = WaitForWaiting(record_, clock_, kEnough, kFirstWaitMs);
    reply = ReadWaiting(record_);
    if (!answered) {
        if (!record_.Open()) return false;  // the port is gone: no second try
        DelayMs(clock_, kRetryPauseMs);
        WriteBytes(record_, kBryMenRequest.data(), kBryMenRequest.size());
        answered = WaitForWaiting(record_, clock_, kEnough, kSecondWaitMs);
        reply = ReadWaiting(record_);
        if (!answered) return false;
    }
    const size_t start = FindBryMenStart(reply.data(), reply.size());
    if (start == reply.size()) return false;
    if (HasBryMenEnd(reply.data(), reply.size(), start)) return true;
    // The reply came in two parts: wait for the rest of its 22 bytes.
    const size_t have = reply.size() - start;
    if (have < kBryMenFrameSize) {
        WaitForWaiting(record_, clock_, kBryMenFrameSize - have, kRestWaitMs);
        const std::vector<uint8_t> rest = ReadWaiting(record_, kSerialBufferSize - reply.size());
        reply.insert(reply.end(), rest.begin(), rest.end());
    }
    return HasBryMenEnd(reply.data(), reply.size(), start);
}

std::optional<BryMenReading> Meter::GetBryMenData() {
    std::vector<uint8_t> reply;
    if (!ReadBryMen(reply)) return std::nullopt;
    return DecodeBryMen(reply.data(), reply.size());
}

}  // namespace dmm
