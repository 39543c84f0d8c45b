#pragma once

#include <QRect>

// Where the parts of the switch network panel lie (967 x 732): the four switch banks on
// top, the measuring mode and the reference tap in the middle, the comparator with its
// outputs below.
namespace dmm::gui::mpn {

struct Bank {
    const char* prefix;  // field and picture prefix: "PS" for PS0..PS9
    const char* title;
    QRect frame;
};
inline constexpr Bank kBanks[4] = {
    {"PS", "Bank P  PS0..PS9", QRect(8, 10, 470, 98)},
    {"DS", "Bank D  DS0..DS9", QRect(489, 10, 470, 98)},
    {"FS", "Bank F  FS0..FS9: charge resistors", QRect(8, 116, 470, 98)},
    {"SS", "Bank S  SS0..SS9", QRect(489, 116, 470, 98)},
};
inline constexpr int kBankSwitches = 10;
// The switches' field names, bank by bank.
inline constexpr const char* kBankFields[4][kBankSwitches] = {
    {"PS0", "PS1", "PS2", "PS3", "PS4", "PS5", "PS6", "PS7", "PS8", "PS9"},
    {"DS0", "DS1", "DS2", "DS3", "DS4", "DS5", "DS6", "DS7", "DS8", "DS9"},
    {"FS0", "FS1", "FS2", "FS3", "FS4", "FS5", "FS6", "FS7", "FS8", "FS9"},
    {"SS0", "SS1", "SS2", "SS3", "SS4", "SS5", "SS6", "SS7", "SS8", "SS9"},
};
inline constexpr int kSwitchPitch = 42;
inline int SwitchX(const Bank& bank, int k) {
    return bank.frame.x() + 56 + k * kSwitchPitch;
}
inline int RailY(const Bank& bank) {
    return bank.frame.y() + 26;
}
inline int TapY(const Bank& bank) {
    return bank.frame.y() + 64;
}
inline QRect BankSwitch(const Bank& bank, int k) {
    return QRect(SwitchX(bank, k) - 10, RailY(bank) + 2, 20, TapY(bank) - RailY(bank) - 2);
}

// Measuring mode.
inline constexpr QRect kModeFrame(8, 224, 470, 208);
inline constexpr QRect kModeCombo(14, 248, 106, 20);
inline constexpr QRect kModeBit3(14, 274, 76, 14);
inline constexpr int kModeBusX = 126;
inline constexpr int kModeRowTop = 256;
inline constexpr int kModeRowPitch = 20;
inline int ModeRowY(int row) {
    return kModeRowTop + row * kModeRowPitch;
}
inline constexpr int kModeSwitchX = 132;
inline constexpr QRect kModeTable(222, 246, 250, 162);
inline constexpr QRect kSmode4(40, 344, 40, 20);
inline constexpr QRect kSmode5(40, 390, 40, 20);

// Reference tap.
inline constexpr QRect kRefFrame(489, 224, 470, 208);
inline constexpr QRect kRefCombo(499, 248, 112, 20);
inline constexpr int kRefLabelTop = 294;
inline constexpr int kRefLowX = 530;
inline constexpr int kRefHighX = 646;
inline constexpr int kRefLabelWidth = 62;
inline constexpr int kRefRouteY = 412;
inline constexpr QRect kRefMuxLow(596, 293, 12, 112);
inline constexpr QRect kRefMuxHigh(712, 293, 12, 112);
inline constexpr QRect kRefMuxOut(800, 318, 14, 64);

// Comparator.
inline constexpr int kUpperBusY = 456;
inline constexpr int kLowerBusY = 468;
inline constexpr int kThresholdTop = 492;
inline constexpr int kUpperLabelX = 8;
inline constexpr int kUpperMuxLeft = 74;
inline constexpr int kThresholdLabelWidth = 62;
inline constexpr int kLowerLabelX = 214;
inline constexpr int kLowerMuxLeft = 280;
inline constexpr int kInputLabelX = 420;
inline constexpr int kInputTop = 536;
inline constexpr int kInputMuxLeft = 474;
inline constexpr int kMuxWidth = 16;
inline constexpr QRect kComparator(620, 572, 60, 90);
inline constexpr int kUpperDropX = 592;
inline constexpr int kLowerDropX = 604;
inline constexpr int kUpperInY = 632;
inline constexpr int kLowerInY = 650;
inline constexpr int kCpoNodeX = 700;
inline constexpr int kCpoY = 617;
inline constexpr QRect kCpoLevel(682, 621, 30, 14);

// Outputs: the digital output, the state selector, the accumulator.
inline constexpr int kSdioY = 520;
inline constexpr QRect kSdioSwitch(712, 508, 40, 24);
inline constexpr int kSplitX = 716;
inline constexpr QRect kRiseLatch(722, 614, 40, 28);
inline constexpr QRect kStateMux(830, 580, 14, 64);
inline constexpr QRect kDirectLabel(770, 589, 52, 14);
inline constexpr QRect kLatchedLabel(770, 621, 52, 14);
inline constexpr int kAccY = 714;
inline constexpr QRect kAccSwitchIn(708, 702, 36, 24);
inline constexpr QRect kAccBlock(750, 700, 46, 28);
inline constexpr QRect kAccSwitchOut(802, 702, 36, 24);

}  // namespace dmm::gui::mpn
