#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/chip/chip_model.h"
#include "sim/dmm_front_end.h"
#include "sim/sim_chip.h"

namespace dmm::sim {

// The description file of the demo microcontroller that runs the channel switch test.
inline constexpr char kSwitchTestDescription[] = "RX405.INC";

// Faults the firmware can be told to show.
struct SwitchTestFirmwareFaults {
    bool neverFinishes = false;         // takes its samples but never reports the end
    bool statusReadFails = false;       // the board cannot read the chip's status line
    bool setupReadBackDiffers = false;  // the register list at 128H reads back changed
    bool readyStuck = false;            // never clears the ready bit (SWST bit 7)
    bool blockStuck = false;            // never hands out a block nor clears SWCN bit 3
};

// The demo microcontroller RX405 with its channel switch test firmware. Its ADC is the
// demo DMM front end's ADC1 (DmmFrontEnd, laid out by the RX405 description), its eight
// analog inputs AIN0..AIN7 carry voltages a test or demo sets.
//
// The firmware, as the host sees it through memory:
//   120H G (samples per step), 122H..123H L (loops, low byte first), 124H a (channels),
//   128H..12FH the eight register addresses of a channel set-up,
//   130H..16FH eight channel set-ups of eight bytes, channel slot 0 first,
//   170H..172H block offset (bytes, low first), 173H block length,
//   100H.. the block buffer (at most 48 bytes; it overlays the set-up once a run is over).
//   SWST (0D2H): bit 7 written 1 stops any run and readies the firmware, which clears it;
//                bit 5 is set when a run has ended, and drives the board's status line.
//   SWCN (0A4H): bit 4 written 1 starts a run (it reads 1 until the run has ended);
//                bit 3 written 1 asks for the block at the offset, cleared once it is in
//                the buffer.
//   SWSHF (0ADH): samples are shifted right by its low four bits before they are kept.
// A run measures the first a set-ups in turn, each for G conversions, L times over: for
// each set-up it writes the eight bytes to their registers, switches ADC1 on and takes G
// conversions at the rate and with the gain, references and input those registers give.
// Samples are kept as 24-bit two's complement, three bytes each, low byte first, in the
// order loop, set-up, sample. The firmware acts between two host accesses (AdvanceTo),
// so its handshakes never depend on how fast the host's clock runs.
class SwitchTestFirmware final : public SimChip {
  public:
    // Builds the chip from a loaded description; nullptr (and why in error) when the
    // description lacks an ADC1 field the model needs.
    static std::unique_ptr<SwitchTestFirmware> FromModel(const TChipModel& model,
                                                         std::string* error);
    static std::unique_ptr<SwitchTestFirmware> FromDescriptionFile(const QString& path,
                                                                   std::string* error);

    uint8_t Read(uint16_t address) override;
    void Write(uint16_t address, uint8_t value) override;
    void AdvanceTo(int64_t nowMs) override;
    void Reset() override;
    void SeedNoise(uint64_t seed) override { noise_.Seed(seed); }
    std::string_view InfoText() const override { return infoText_; }
    bool StatusLines(uint8_t& lines) override;

    static constexpr char kDefaultInfoText[] = "RX405SW1";
    // An 8-character identification text (a board variant; "ENOB..." boards report the
    // end on status bit 4).
    void SetInfoText(std::string text);
    // The status bits the end of a run raises on the board (bit 5 unless told otherwise).
    uint8_t endStatusBits = 0x20;

    // The voltage on input AINk above analog ground.
    void SetInput(int pin, double volts);
    double Input(int pin) const;
    AnalogNodes& nodes() { return nodes_; }
    SwitchTestFirmwareFaults& faults() { return faults_; }

    bool Running() const { return run_.active; }
    // Samples the last (or present) run has kept so far.
    int SamplesKept() const { return static_cast<int>(samples_.size() / 3); }
    // For each set-up slot of the last run: the noiseless code its input gave (before
    // the shift), i.e. the mean its samples scatter around.
    const std::vector<int64_t>& SlotIdealCodes() const { return slotIdealCodes_; }

  private:
    struct Run {
        bool active = false;
        int samplesPerStep = 0;
        int loopCount = 0;
        int slotCount = 0;
        int loop = 0;
        int slot = 0;
        int sample = 0;
        double nextMs = 0;
        double periodMs = 0;
        ConverterState state;
    };

    SwitchTestFirmware(const TChipModel& model, const TRegField& enable)
        : frontEnd_(model), enable_(enable) {}
    void StartRun();
    void ApplySlot(int slot);
    void TakeSample();
    void EndRun();
    void ServeBlock();

    DmmFrontEnd frontEnd_;
    TRegField enable_;
    NoiseSource noise_;
    AnalogNodes nodes_;
    std::array<double, 8> inputs_{};
    SwitchTestFirmwareFaults faults_;
    std::string infoText_ = kDefaultInfoText;
    Run run_;
    std::vector<uint8_t> samples_;
    std::vector<int64_t> slotIdealCodes_;
    bool startPending_ = false;
    bool blockPending_ = false;
    bool readyPending_ = false;
    int64_t nowMs_ = 0;
};

}  // namespace dmm::sim
