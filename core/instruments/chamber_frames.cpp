#include "core/instruments/chamber_frames.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/link/number_text.h"

namespace dmm {
namespace {

std::string Count(int n) {
    const int c = std::clamp(n, 0, kChamberMaxWords);
    return std::string{static_cast<char>('0' + c / 10), static_cast<char>('0' + c % 10)};
}

int HexDigit(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string ChamberWriteFrame(uint16_t address, const std::vector<uint16_t>& words) {
    const size_t n = std::min<size_t>(words.size(), kChamberMaxWords);
    std::string frame(1, kChamberStx);
    frame += "01WSD," + Count(static_cast<int>(n)) + "," + HexStr(address, 4);
    for (size_t i = 0; i < n; ++i) frame += "," + HexStr(words[i], 4);
    frame += "\r\n";
    return frame;
}

std::string ChamberReadFrame(uint16_t address, int count) {
    std::string frame(1, kChamberStx);
    frame += "01RSD," + Count(count) + "," + HexStr(address, 4) + "\r\n";
    return frame;
}

bool ChamberReplyOk(const uint8_t* reply, size_t n) {
    return n > 8 && reply[0] == static_cast<uint8_t>(kChamberStx) && reply[7] == 'O' &&
           reply[8] == 'K';
}

std::optional<std::vector<uint16_t>> ParseChamberReadReply(const uint8_t* reply, size_t n,
                                                           int count) {
    static constexpr char kHead[] = "01RSD,OK";
    static constexpr size_t kHeadSize = sizeof kHead - 1;
    if (count < 1 || count > kChamberMaxWords) return std::nullopt;
    for (size_t start = 0; start < n; ++start) {
        if (reply[start] != static_cast<uint8_t>(kChamberStx)) continue;
        size_t at = start + 1;
        if (n - at < kHeadSize || std::memcmp(reply + at, kHead, kHeadSize) != 0) continue;
        at += kHeadSize;
        std::vector<uint16_t> words;
        while (static_cast<int>(words.size()) < count && n - at >= 5 && reply[at] == ',') {
            int word = 0;
            bool hex = true;
            for (size_t k = 1; k <= 4 && hex; ++k) {
                const int d = HexDigit(reply[at + k]);
                hex = d >= 0;
                word = word * 16 + d;
            }
            if (!hex) break;
            words.push_back(static_cast<uint16_t>(word));
            at += 5;
        }
        if (static_cast<int>(words.size()) == count) return words;
    }
    return std::nullopt;
}

std::string ChamberSetPointRefusal(const ChamberSetPoints& points) {
    const std::pair<const char*, std::pair<double, const RealRule*>> values[] = {
        {"temperature", {points.temperature, &kChamberTemperatureRule}},
        {"humidity", {points.humidity, &kChamberHumidityRule}},
        {"temperature ramp", {points.temperatureRamp, &kChamberTemperatureRampRule}},
        {"humidity ramp", {points.humidityRamp, &kChamberHumidityRampRule}},
    };
    for (const auto& [name, value] : values) {
        const std::string why = RealRefusal(value.first, *value.second);
        if (!why.empty()) return std::string(name) + ": " + why;
    }
    return {};
}

uint16_t ChamberSetPointWord(double value) {
    if (!std::isfinite(value)) return 0;
    const double tenths = std::clamp(std::floor(value) * 10.0, -32768.0, 32767.0);
    return static_cast<uint16_t>(static_cast<int16_t>(tenths));
}

}  // namespace dmm
