#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/instruments/devc_rs232.h"
#include "core/link/clock.h"

// The blocking exchanges every serial port user is built on. All of them follow one
// polling rule: ask the port what waits (and which errors came in), take exactly that,
// and repeat until the byte target or the time limit is reached. Every wait runs on the
// clock, so tests spend no real time in time-outs.
namespace dmm {

// No reply, line or frame may hold more than this.
inline constexpr size_t kSerialBufferSize = 513;
inline constexpr int64_t kSendSettleMs = 20;
inline constexpr int64_t kLineTimeoutMs = 5000;
inline constexpr int64_t kQueryWaitMs = 500;
// A poll loop looks at the port this often.
inline constexpr int64_t kSerialPollMs = 1;

// One poll: stores the errors and the count in the record. A closed or lost port reports
// kSerialLost and nothing waiting.
SerialPoll PollPort(DevcRS232& record);
// Takes what waits now (at most max bytes).
std::vector<uint8_t> ReadWaiting(DevcRS232& record, size_t max = kSerialBufferSize);
// Reads and drops whatever waits.
void DiscardInput(DevcRS232& record);
// Waits until at least count bytes wait or more than limitMs have passed; true when the
// count was reached. The errors of every poll on the way are added to *errors.
bool WaitForWaiting(DevcRS232& record, Clock& clock, size_t count, int64_t limitMs,
                    uint32_t* errors = nullptr);
bool WriteBytes(DevcRS232& record, const uint8_t* data, size_t n);

// Writes the text as it stands (no terminator), then waits 20 ms.
bool SendText(DevcRS232& record, Clock& clock, std::string_view text);
// Collects bytes until a carriage return or 5 s; line receives the bytes before the
// carriage return. Returns their count, 0 on time-out (and for an empty line).
size_t ReadLine(DevcRS232& record, Clock& clock, std::string& line);
// Drops what waits, sends command + CR LF, waits 500 ms and takes everything waiting as
// the reply; true when at least one byte came back.
bool QueryText(DevcRS232& record, Clock& clock, std::string_view command, std::string& reply);

}  // namespace dmm
