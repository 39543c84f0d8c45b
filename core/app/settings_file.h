#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>
#include <string>

#include "core/link/chip_access.h"
#include "core/measure/capture_settings.h"

namespace dmm {

// The settings that survive a restart, as "VzADC.cfg" holds them: the version line and
// records 0 to 16. Texts keep the bytes of the file (the bench's code page).
struct VzAdcConfig {
    // 0: the target record and the setup dialog's serial choices
    int chipIndex = 0;
    int interfaceKind = static_cast<int>(InterfaceKind::DMM);
    int serialPortIndex = 0;
    int serialBaudIndex = 0;
    int serialParityIndex = 0;
    // 1: six option flags. No window of this program gives them a meaning: they are
    // read and written back unchanged, so that a file shared with the Windows program
    // keeps them.
    std::array<bool, 6> flags{};
    // 2: the register panel's page, the RAM panel's bank
    int registerPage = 0;
    int ramBank = 0;
    // 3: output-bits items of the ADC1 and ADC2/ADP panels, the ADP phase item
    int TXADCObit = 0;
    int TXADPFbit = 0;
    int TXPHSEL = 0;
    // 4: the analysis window's capture length and scale items, its spectrum view
    int NPointIndex = kDefaultSamplePointIndex;
    int TXScale = kScaleItemCount - 1;
    bool spectrumView = false;
    // 5, 6: the conversion-read function item, the parallel port item
    int CFunADC = 0;
    int CLPT = 0;
    // 7: the live display's calibration value and the ADC reading at it. The analysis
    // window here has no display that scales by them; they are kept, with the defaults
    // for a 0, and written back.
    int displayValue = 500000;
    int displayReading = 50000;
    // 8: the per-function register copies (0x3C..0x40, then 0x30)
    FunctionRegisterCopy scaleCopy{};
    FunctionRegisterCopy dmmCopy{};
    // 9: the analysis window's function item, the switch test's shift item
    int ComFun = 0;
    int ADShift = 0;
    // 10..12
    bool Photo = false;
    std::string EREFV = kDefaultReferenceText;
    int CMAVR = 0;
    // 14: the drift test's mode count, as its field holds it (written as 48 when it is
    // not a number above 0)
    std::string EModenum = "48";
    // 15: the product variant, 0 to 3
    int productVariant = 0;
    // 16: the calibration-set directory
    std::string calibrationSetDirectory;
};

inline constexpr char kSettingsFileName[] = "VzADC.cfg";
inline constexpr char kSettingsVersionLine[] = "DMM V1.40";
inline constexpr int kSettingsRecordCount = 17;

// The display pair's defaults, taken when the file holds a 0 in either.
inline constexpr int kDefaultDisplayValue = 500000;
inline constexpr int kDefaultDisplayReading = 50000;

// What reading a file did.
struct ConfigRead {
    bool versionMatched = false;  // false: nothing was applied
    int recordsRead = 0;          // records 0.. applied before the file ended
    bool flagsLoaded = false;     // record 1 was read whole
};

// The whole file, CR LF lines, numbers right-aligned in their field widths.
QByteArray FormatVzAdcConfig(const VzAdcConfig& config);
// Applies the records a file holds onto config, in order, as long as the file lasts: a
// file that ends early leaves the later settings as they were; a first line other than
// the version line applies nothing. Numbers that do not parse read as 0.
ConfigRead ReadVzAdcConfig(const QByteArray& file, VzAdcConfig& config);

// The variant's code in the file ("03077", "0B108", "0B301", "0B3F7") and back.
const char* ProductVariantCode(int variant);
int ProductVariantOfCode(const std::string& text);
// The chip title a variant puts before "-DMM V1.40".
const char* ProductVariantTitle(int variant);
// The parallel port base of a CLPT item.
uint16_t PortBaseOfClptItem(int item);

}  // namespace dmm
