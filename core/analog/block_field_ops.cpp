#include "core/analog/block_field_ops.h"

#include "core/link/board_link.h"
#include "core/link/chip_access.h"
#include "core/link/chip_frames.h"

namespace dmm {

bool WriteFieldValue(ChipAccess& chip, const TRegField& field, int value) {
    if (!field.IsDefined()) return false;
    const uint8_t byte = field.Insert(chip.GetRegImage(field.registerIndex), value);
    return chip.WriteRegister(static_cast<uint16_t>(field.registerIndex), byte);
}

bool ToggleField(ChipAccess& chip, const TRegField& field) {
    if (!field.IsDefined()) return false;
    const int now = field.Extract(chip.GetRegImage(field.registerIndex));
    return WriteFieldValue(chip, field, now == 0 ? 1 : 0);
}

int64_t OutputBitsDivisor(int bits) {
    if (bits < 0 || bits > 24) return 1;
    return int64_t{1} << (24 - bits);
}

std::optional<int> ParseThreshold(const QString& text) {
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok, 10);
    if (!ok || value < kThresholdMin || value > kThresholdMax) return std::nullopt;
    return static_cast<int>(value);
}

int ThresholdFromBytes(uint8_t low, uint8_t high) {
    return static_cast<int16_t>(static_cast<uint16_t>(high << 8 | low));
}

ThresholdWrite WriteThreshold(ChipAccess& chip, const TRegField& low, const TRegField& high,
                              int value) {
    if (low.defined == 0 || high.defined == 0) return ThresholdWrite::Unbound;
    const auto word = static_cast<uint16_t>(value);
    const auto lowByte = static_cast<uint8_t>(word & 0xFF);
    const auto highByte = static_cast<uint8_t>(word >> 8);
    const auto lowAddress = static_cast<uint16_t>(low.registerIndex);
    const auto highAddress = static_cast<uint16_t>(high.registerIndex);
    const size_t data = WriteDataOffset(chip.target().interfaceKind);

    uint8_t readLow = 0, readHigh = 0;
    if (highAddress == lowAddress + 1) {
        // The usual layout: one block write and one block read of the pair.
        chip.buffer()[data] = lowByte;
        chip.buffer()[data + 1] = highByte;
        if (!chip.WriteChip(lowAddress, 2)) return ThresholdWrite::WriteFailed;
        if (!chip.ReadChip(lowAddress, 2)) return ThresholdWrite::WriteFailed;
        readLow = chip.buffer()[0];
        readHigh = chip.buffer()[1];
    } else {
        // A chip whose pair is not adjacent gets each byte written to its own register,
        // so the second byte never lands on a register that is not its high half.
        for (auto [address, byte] :
             {std::pair{lowAddress, lowByte}, std::pair{highAddress, highByte}}) {
            chip.buffer()[data] = byte;
            if (!chip.WriteChip(address, 1)) return ThresholdWrite::WriteFailed;
        }
        if (!chip.ReadChip(lowAddress, 1)) return ThresholdWrite::WriteFailed;
        readLow = chip.buffer()[0];
        if (!chip.ReadChip(highAddress, 1)) return ThresholdWrite::WriteFailed;
        readHigh = chip.buffer()[0];
    }
    if (ThresholdFromBytes(readLow, readHigh) != value) return ThresholdWrite::ReadBackDiffers;
    chip.SetRegImage(lowAddress, readLow);
    chip.SetRegImage(highAddress, readHigh);
    return ThresholdWrite::Written;
}

PeakHold DecodePeakHold(const std::array<uint8_t, 6>& bytes, bool adc1Source, int64_t divisor) {
    const auto signed24 = [&](size_t at) {
        return static_cast<int64_t>(
            SignExtend24(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16)));
    };
    const int64_t scale = adc1Source ? 32 : 64;
    const int64_t d = divisor > 0 ? divisor : 1;
    return {signed24(0) * scale / d, signed24(3) * scale / d};
}

std::optional<PeakHold> ReadPeakHold(ChipAccess& chip, bool adc1Source, int64_t divisor) {
    if (!chip.ReadChip(kPeakHoldAddress, 6)) return std::nullopt;
    std::array<uint8_t, 6> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = chip.buffer()[i];
    return DecodePeakHold(bytes, adc1Source, divisor);
}

}  // namespace dmm
