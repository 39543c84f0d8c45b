#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/chip/field_directory.h"
#include "core/chip/reg_field.h"
#include "core/link/register_list.h"

namespace dmm {

inline constexpr int kChipAddressCount = 1024;
inline constexpr char kProgramCaption[] = "DMM V1.40";

inline constexpr size_t kRegisterNameLength = 15;
inline constexpr size_t kRegisterDescriptionLength = 160;
inline constexpr size_t kBitDescriptionLength = 250;

struct TBitSlot {
    std::string name;  // "-": the bit is not implemented
    std::string description;
};

// A register shown bit by bit on one of the register panel's four pages.
struct TBitRegEntry {
    std::string name;
    std::string description;
    uint16_t address = 0;
    std::array<TBitSlot, 8> bits;  // bits[0] is bit 7, bits[7] is bit 0
    uint8_t value = 0;             // filled by the register panel refresh
    uint8_t page = 0;              // 0..3: the section that defined it

    int ListAddress() const { return address; }
    const TBitSlot& Bit(int bitNumber) const {
        return bits[static_cast<size_t>(7 - (bitNumber & 7))];
    }
    // Bits whose name is not "-".
    uint8_t ImplementedMask() const;
};

// A register shown as one hexadecimal byte. The name and mask are kept with the entry so
// that a list kept from an earlier chip can be shown again.
struct TByteRegEntry {
    std::string description;
    uint16_t address = 0;
    uint8_t value = 0;
    std::string name;
    uint8_t mask = 0xFF;

    int ListAddress() const { return address; }
};

// A 16-bit register made of two byte addresses.
struct TWordRegEntry {
    std::string description;
    uint16_t highAddress = 0;
    uint16_t lowAddress = 0;
    uint16_t value = 0;
    std::string name;
    uint8_t highMask = 0xFF;
    uint8_t lowMask = 0xFF;

    int ListAddress() const { return highAddress * 256 + lowAddress; }
};

using TCRREGBitPtr = RegisterList<TBitRegEntry>;
using TCRREGBytePtr = RegisterList<TByteRegEntry>;
using TCRREGWordPtr = RegisterList<TWordRegEntry>;

// The byte and word grids of the register panel: nine registers per row pair, the names
// in even rows and the values in the odd rows below them. Cells outside the grid read
// empty and ignore writes.
class RegisterGrid {
  public:
    static constexpr int kColumns = 9;

    int RowCount() const { return rows_; }
    void SetRowCount(int rows);  // new rows are blank
    const std::string& Cell(int column, int row) const;
    void SetCell(int column, int row, std::string text);

    // Where register n of a list shows its name and its value.
    static int NameRow(int n) { return (n / kColumns) * 2; }
    static int ValueRow(int n) { return NameRow(n) + 1; }
    static int Column(int n) { return n % kColumns; }

  private:
    int rows_ = 0;
    std::vector<std::string> cells_;
};

struct AddressRange {
    uint16_t start = 0;
    uint16_t end = 0;
};

struct RamBank {
    uint16_t start = 0;
    uint16_t end = 0;
    bool Exists() const { return start < end; }
};

enum class DescriptionLanguage { English, Chinese };

// The loaded chip description, one per bench. Filled by ReadChipDescription; read by the
// register and RAM panels (lists, masks, grids, pages, banks), the analog block panels
// (fields and their panel data), the heartbeat (flag fields) and the setup dialog.
// Besides the chip itself it publishes what a load changes in windows: captions, visible
// page tabs and bank buttons, the hidden instrument controls, the converter layout.
struct TChipModel {
    TChipModel();

    // Identity and memory map.
    std::string productTitle;
    std::string compilerName;
    uint16_t chipId = 0;
    uint32_t programMemorySize = 4096;
    std::array<AddressRange, 2> registerAreas{};
    std::array<RamBank, 5> ramBanks{};
    uint8_t stackDepth = 4;
    uint16_t simicValue = 0;
    int32_t adcCount = 0;

    // Register lists and their panel layout.
    TCRREGBitPtr bitRegisters;
    std::array<uint16_t, 4> pageCounts{};  // bit registers of pages 1..4
    TCRREGBytePtr byteRegisters;
    TCRREGWordPtr wordRegisters;
    uint16_t threeByteCount = 0;
    RegisterGrid byteGrid;
    RegisterGrid wordGrid;

    // Per-address tables: implemented bits, and the register panels' change tracking.
    std::array<uint8_t, kChipAddressCount> RegMask{};
    std::array<uint8_t, kChipAddressCount> RegShown{};
    std::array<uint8_t, kChipAddressCount> RegChanged{};

    DescriptionLanguage language = DescriptionLanguage::English;

    // Window state a load sets; windows apply it when they see loadCount change.
    std::string registerPanelCaption;  // empty until a description names the product
    std::string mainCaption;
    std::array<bool, 5> bankShown{};  // RAM panel bank tabs and menu items
    std::array<bool, 4> pageShown{};  // register panel page tabs
    bool instrumentUiHidden = false;  // the description holds a "#FLUKE" section
    int currentRamBank = 0;           // RAM panel bank, 0..4 (program-wide)
    int currentRegisterPage = 0;      // register panel page, 0..3 (program-wide)
    uint32_t loadCount = 0;           // successful loads so far

    uint16_t ByteCount() const { return static_cast<uint16_t>(byteRegisters.Count()); }
    uint16_t WordCount() const { return static_cast<uint16_t>(wordRegisters.Count()); }
    bool SecondConverterShown() const { return adcCount == 2; }
    // List indexes [first, end) of the bit registers of page 0..3.
    std::pair<int, int> PageRange(int page) const;

    // The named field, or nullptr for a name outside the directory. Undefined fields
    // (not named by the loaded chip) are returned with defined == 0.
    const TRegField* Field(std::string_view name) const;
    TRegField* Field(std::string_view name);
    const FieldPanelData* PanelData(std::string_view name) const;
    const TRegField& FieldAt(size_t index) const { return fields_[index]; }
    TRegField& FieldAt(size_t index) { return fields_[index]; }
    const FieldPanelData& PanelDataAt(size_t index) const { return panelData_[index]; }
    FieldPanelData& PanelDataAt(size_t index) { return panelData_[index]; }

  private:
    std::array<TRegField, kFieldDirectorySize> fields_{};
    std::array<FieldPanelData, kFieldDirectorySize> panelData_{};
};

// Applies a chip description (the file's bytes) to the model: what a load does once its
// files are found. Pure apart from the model it updates: no I/O, no clock.
void ReadChipDescription(std::string_view text, TChipModel& model);

}  // namespace dmm
