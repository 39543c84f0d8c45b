#include <gtest/gtest.h>

#include "core/app/placement_file.h"
#include "core/app/settings_file.h"

namespace dmm {
namespace {

VzAdcConfig Sample() {
    VzAdcConfig c;
    c.chipIndex = 1;
    c.interfaceKind = 3;
    c.serialPortIndex = 2;
    c.serialBaudIndex = 5;
    c.serialParityIndex = 1;
    c.flags = {true, false, true, false, false, true};
    c.registerPage = 3;
    c.ramBank = 1;
    c.TXADCObit = 12;
    c.TXADPFbit = 4;
    c.TXPHSEL = 2;
    c.NPointIndex = 6;
    c.TXScale = 14;
    c.CFunADC = 3;
    c.CLPT = 2;
    c.displayValue = 123456789;  // wider than its field
    c.displayReading = 65432;
    c.scaleCopy = {0xD0, 0x11, 0x22, 0x33, 0x44, 0x55};
    c.dmmCopy = {1, 2, 3, 4, 5, 255};
    c.ComFun = 1;
    c.ADShift = 7;
    c.Photo = true;
    c.EREFV = "1.235";
    c.CMAVR = 4;
    c.EModenum = "12";
    c.productVariant = 2;
    c.calibrationSetDirectory = "C:\\CAL\\SETS";
    return c;
}

TEST(SettingsFile, IsWrittenByteForByteInItsFieldWidths) {
    const QByteArray expected =
        "DMM V1.40\r\n"
        "   1   3   2   5   1\r\n"
        "TRUE\r\nFALSE\r\nTRUE\r\nFALSE\r\nFALSE\r\nTRUE\r\n"
        " 3\r\n 1\r\n"
        "  12   4   2\r\n"
        "   6  14\r\nFALSE\r\n"
        "   3\r\n"
        "   2\r\n"
        "123456789   65432\r\n"  // first on its line: nothing to keep apart from
        " 208  17  34  51  68  85\r\n   1   2   3   4   5 255\r\n"
        "   1\r\n   7\r\n"
        "   1\r\n"
        "1.235\r\n"
        "   4\r\n"
        "    12\r\n"
        "0B108\r\n"
        "C:\\CAL\\SETS\r\n";
    EXPECT_EQ(FormatVzAdcConfig(Sample()), expected);
}

TEST(SettingsFile, AFileWrittenAndReadBackRestoresTheSameSettings) {
    const VzAdcConfig written = Sample();
    VzAdcConfig read;
    const ConfigRead result = ReadVzAdcConfig(FormatVzAdcConfig(written), read);
    EXPECT_TRUE(result.versionMatched);
    EXPECT_EQ(result.recordsRead, kSettingsRecordCount);
    EXPECT_TRUE(result.flagsLoaded);
    EXPECT_EQ(FormatVzAdcConfig(read), FormatVzAdcConfig(written));
    // Lines ended by LF alone read the same.
    VzAdcConfig fromLf;
    ReadVzAdcConfig(FormatVzAdcConfig(written).replace("\r\n", "\n"), fromLf);
    EXPECT_EQ(FormatVzAdcConfig(fromLf), FormatVzAdcConfig(written));
}

TEST(SettingsFile, AForeignOrShortFileLeavesWhatItDoesNotHold) {
    const QByteArray full = FormatVzAdcConfig(Sample());
    // Any other first line: nothing applied, not even a later valid-looking record.
    for (const QByteArray& version : {QByteArray("DMM V1.39"), QByteArray("DMM V1.40 "),
                                      QByteArray("dmm v1.40"), QByteArray()}) {
        VzAdcConfig c;
        QByteArray file = full;
        file.replace(0, 9, version);
        const ConfigRead result = ReadVzAdcConfig(file, c);
        EXPECT_FALSE(result.versionMatched);
        EXPECT_EQ(FormatVzAdcConfig(c), FormatVzAdcConfig(VzAdcConfig{}));
    }
    // The file ends inside record 4: records 0 to 3 apply, the rest keeps its values.
    const qsizetype cut = full.indexOf("   6  14\r\n") + 10;
    VzAdcConfig c;
    const ConfigRead result = ReadVzAdcConfig(full.left(cut), c);
    EXPECT_EQ(result.recordsRead, 4);
    EXPECT_EQ(c.TXADPFbit, 4);
    EXPECT_EQ(c.NPointIndex, VzAdcConfig{}.NPointIndex);
    EXPECT_EQ(c.CLPT, 0);
    // Lines beyond record 16 are not read.
    VzAdcConfig longer;
    EXPECT_EQ(ReadVzAdcConfig(full + "extra\r\n99\r\n", longer).recordsRead, kSettingsRecordCount);
}

TEST(SettingsFile, RecordRules) {
    auto withRecord = [](const QByteArray& from, const QByteArray& to) {
        QByteArray file = FormatVzAdcConfig(VzAdcConfig{});
        file.replace(from, to);
        VzAdcConfig c;
        ReadVzAdcConfig(file, c);
        return c;
    };
    // A 0 in either display value gives both defaults.
    const VzAdcConfig display = withRecord("  500000   50000", "       0   50000");
    EXPECT_EQ(display.displayValue, 500000);
    EXPECT_EQ(display.displayReading, 50000);
    EXPECT_EQ(withRecord("  500000   50000", "    1000       0").displayValue, 500000);
    // The variant is read as hexadecimal text.
    EXPECT_EQ(withRecord("0B3F7", "0B108").productVariant, 2);
    EXPECT_EQ(withRecord("0B3F7", "03077").productVariant, 1);
    EXPECT_EQ(withRecord("0B3F7", "3077").productVariant, 1);
    EXPECT_EQ(withRecord("0B3F7", "xyz").productVariant, 0);
    EXPECT_STREQ(ProductVariantTitle(2), "VZ6403");
    // The saved spectrum view is read and dropped: the chart starts in time domain.
    EXPECT_FALSE(withRecord("FALSE\r\n   0\r\n   0\r\n", "TRUE\r\n   0\r\n   0\r\n").spectrumView);
    // Flag lines read as true only as "TRUE" in any case.
    const VzAdcConfig flags = withRecord("FALSE\r\nFALSE\r\n", "true\r\n TRUE \r\n");
    EXPECT_TRUE(flags.flags[0]);
    EXPECT_TRUE(flags.flags[1]);
    // Photo is on only for 1; numbers that do not parse read as 0.
    VzAdcConfig on;
    on.Photo = true;
    QByteArray file = FormatVzAdcConfig(on);
    EXPECT_NE(file.indexOf("\r\n   1\r\n"), -1);
    file.replace("   1   5   0   0   0", "  x1   5   0   0   0");
    VzAdcConfig read;
    ReadVzAdcConfig(file, read);
    EXPECT_EQ(read.chipIndex, 0);
    EXPECT_EQ(read.interfaceKind, 5);
    // A register copy outside a byte refuses record 8 whole, both lines; the records after
    // it still read.
    VzAdcConfig kept;
    kept.scaleCopy = {9, 9, 9, 9, 9, 9};
    kept.dmmCopy = {7, 7, 7, 7, 7, 7};
    QByteArray outOfRange = FormatVzAdcConfig(Sample());
    outOfRange.replace(" 208  17  34  51  68  85", " 300  -1 9999  51  68  85");
    const ConfigRead refused = ReadVzAdcConfig(outOfRange, kept);
    EXPECT_EQ(refused.recordsRead, kSettingsRecordCount);
    EXPECT_EQ(kept.scaleCopy, (FunctionRegisterCopy{9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(kept.dmmCopy, (FunctionRegisterCopy{7, 7, 7, 7, 7, 7}));
    EXPECT_EQ(kept.ADShift, 7);
    // The port list: 1 is 0x278, 2 is 0x3BC, anything else 0x378.
    EXPECT_EQ(PortBaseOfClptItem(2), 0x3BC);
    EXPECT_EQ(PortBaseOfClptItem(1), 0x278);
    EXPECT_EQ(PortBaseOfClptItem(7), 0x378);
}

TEST(SettingsFile, AModeCountThatIsNoNumberAboveZeroIsWrittenAs48) {
    for (const char* text : {"", "abc", "0", " "}) {
        VzAdcConfig c;
        c.EModenum = text;
        EXPECT_NE(FormatVzAdcConfig(c).indexOf("\r\n    48\r\n"), -1) << text;
    }
    VzAdcConfig c;
    c.EModenum = " 7";
    EXPECT_NE(FormatVzAdcConfig(c).indexOf("\r\n     7\r\n"), -1);
}

std::vector<WindowPlacement> Windows(int n) {
    std::vector<WindowPlacement> out;
    for (int i = 0; i < n; ++i)
        out.push_back({QString("TWin%1").arg(i), 10 * i, 20, 300, 200,
                       WindowPlacement::State::Normal, i % 2 == 0});
    return out;
}

TEST(PlacementFile, ByteForByteAndBack) {
    std::vector<WindowPlacement> entries = {
        {"TMainPanel", 0, 0, 1280, 860, WindowPlacement::State::Maximized, true},
        {"TADS", -8, 12345, 640, 480, WindowPlacement::State::Minimized, false},
    };
    const QByteArray file = FormatPlacementFile(entries);
    EXPECT_EQ(file,
              "1.10\r\n2\r\nTMainPanel\r\n    0    0 1280  860    1    1\r\n"
              // 12345 fills its field: a blank keeps it apart from the -8 before it.
              "TADS\r\n   -8 12345  640  480    2    0\r\n");
    const std::vector<WindowPlacement> read = ReadPlacementFile(file);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[1].left, -8);
    EXPECT_EQ(read[1].top, 12345);
    EXPECT_EQ(read[1].state, WindowPlacement::State::Minimized);
    EXPECT_TRUE(read[0].visible);
    EXPECT_EQ(read[0].state, WindowPlacement::State::Maximized);
}

TEST(PlacementFile, OtherVersionsCountsAndErrors) {
    QByteArray file = FormatPlacementFile(Windows(3));
    EXPECT_TRUE(ReadPlacementFile(QByteArray(file).replace(0, 4, "1.11")).empty());
    // 45 windows in the file: the first 40 come back.
    QByteArray many = "1.10\r\n45\r\n";
    for (int i = 0; i < 45; ++i)
        many += QString("TWin%1\r\n    1    2    3    4    0    1\r\n").arg(i).toUtf8();
    const auto forty = ReadPlacementFile(many);
    ASSERT_EQ(forty.size(), 40u);
    EXPECT_EQ(forty.back().name, "TWin39");
    // A line that cannot be read ends the reading; what came before stays.
    file.replace("   10   20  300  200    0    0", "   10   20  three  200    0    0");
    EXPECT_EQ(ReadPlacementFile(file).size(), 1u);
    // Saving never holds more than 40.
    std::vector<WindowPlacement> table = Windows(40);
    RememberPlacement(table, {"TExtra", 1, 1, 1, 1, WindowPlacement::State::Normal, true});
    EXPECT_EQ(table.size(), 40u);
    RememberPlacement(table, {"TWin3", 7, 7, 7, 7, WindowPlacement::State::Normal, true});
    EXPECT_EQ(FindPlacement(table, "TWin3")->left, 7);
}

TEST(PlacementFile, RestoredWindowsComeBackOntoTheScreen) {
    const QRect screen(0, 0, 1280, 1024);
    WindowPlacement e{"TADS", 1900, 100, 600, 400, WindowPlacement::State::Normal, true};
    EXPECT_EQ(RestoredBounds(e, QSize(500, 300), true, screen), QRect(1280 - 600, 100, 600, 400));
    // Within the last 20 pixels counts as off screen too, and a window is never larger.
    e = {"TADS", 1265, 1010, 2000, 300, WindowPlacement::State::Normal, true};
    EXPECT_EQ(RestoredBounds(e, QSize(500, 300), true, screen), QRect(0, 1024 - 300, 1280, 300));
    // A fixed-size dialog keeps its designed size whatever the file holds.
    e = {"TOption", 30, 40, 900, 900, WindowPlacement::State::Normal, true};
    EXPECT_EQ(RestoredBounds(e, QSize(420, 380), false, screen), QRect(30, 40, 420, 380));
    EXPECT_EQ(PlacementFileName("dmmbench", ""), "dmmbench.wst");
    EXPECT_EQ(PlacementFileName("dmmbench", "pos"), "dmmbench.pos");
}

}  // namespace
}  // namespace dmm
