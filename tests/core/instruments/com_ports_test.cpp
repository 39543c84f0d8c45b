// Which port each COM index means, and the file that keeps the user's assignments.
#include <gtest/gtest.h>

#include "core/instruments/com_ports.h"

namespace dmm {
namespace {

SerialPortInfo Usb(const std::string& name, const std::string& serial) {
    return {"/dev/" + name,    name,   "usb-FTDI_FT232R_USB_UART_" + serial + "-if00-port0",
            "FT232R USB UART", serial, false};
}
SerialPortInfo BuiltIn(const std::string& name) {
    return {"/dev/" + name, name, "/dev/" + name, "", "", true};
}

TEST(ComPorts, NamesAndIndexes) {
    EXPECT_EQ(ComPortName(0), "COM1");
    EXPECT_EQ(ComPortName(15), "COM16");
    EXPECT_EQ(ComIndexFromName("COM3"), 2);
    EXPECT_EQ(ComIndexFromName("com16"), 15);
    EXPECT_FALSE(ComIndexFromName("COM0"));
    EXPECT_FALSE(ComIndexFromName("COM17"));
    EXPECT_FALSE(ComIndexFromName("COMX"));
    EXPECT_FALSE(ComIndexFromName("LPT1"));
}

TEST(ComPorts, BuiltInPortsComeFirstThenAdaptersByTheirSerialNumber) {
    // The listing's order (and which ttyUSB an adapter got) does not matter.
    const ComPortMap map = ComPortMap::Build(
        {Usb("ttyUSB0", "B7"), BuiltIn("ttyS10"), Usb("ttyUSB1", "A5"), BuiltIn("ttyS2")}, {});
    EXPECT_EQ(map.At(0).port->name, "ttyS2");
    EXPECT_EQ(map.At(1).port->name, "ttyS10");
    EXPECT_EQ(map.At(2).port->serialNumber, "A5");
    EXPECT_EQ(map.At(3).port->serialNumber, "B7");
    EXPECT_FALSE(map.At(4).port);
    // Re-plugged the other way round: the same adapters keep their indexes.
    const ComPortMap again = ComPortMap::Build(
        {Usb("ttyUSB0", "A5"), Usb("ttyUSB1", "B7"), BuiltIn("ttyS2"), BuiltIn("ttyS10")}, {});
    EXPECT_EQ(again.At(2).port->path, "/dev/ttyUSB0");
    EXPECT_EQ(again.At(2).port->serialNumber, "A5");
    EXPECT_EQ(again.SelectorText(2), "COM3 \u2014 ttyUSB0, FT232R USB UART 'A5'");
    EXPECT_EQ(again.SelectorText(0), "COM1 \u2014 ttyS2");
    EXPECT_EQ(again.SelectorText(9), "COM10 \u2014 no device");
}

TEST(ComPorts, TheUsersAssignmentsHoldAndOthersFillTheGaps) {
    ComPortChoices choices;
    choices.pinned[0] = "usb-FTDI_FT232R_USB_UART_B7-if00-port0";  // by its by-id name
    choices.pinned[4] = "/dev/ttyS2";                              // by path
    choices.pinned[5] = "usb-gone";                                // not plugged in
    const ComPortMap map =
        ComPortMap::Build({Usb("ttyUSB0", "B7"), BuiltIn("ttyS2"), Usb("ttyUSB1", "A5")}, choices);
    EXPECT_EQ(map.At(0).port->serialNumber, "B7");
    EXPECT_EQ(map.At(4).port->name, "ttyS2");
    EXPECT_EQ(map.At(1).port->serialNumber, "A5");
    EXPECT_FALSE(map.At(5).port);
    EXPECT_EQ(map.SelectorText(5), "COM6 \u2014 usb-gone (not plugged in)");

    std::string path, why;
    EXPECT_TRUE(map.Resolve(1, path, why));
    EXPECT_EQ(path, "/dev/ttyUSB1");
    EXPECT_FALSE(map.Resolve(5, path, why));
    EXPECT_EQ(why, "COM6 is usb-gone, which is not plugged in");
    EXPECT_FALSE(map.Resolve(7, path, why));
    EXPECT_EQ(why, "COM8 has no serial port behind it");
    EXPECT_FALSE(map.Resolve(16, path, why));
}

TEST(ComPorts, ARescanKeepsEveryPortStillThereOnItsIndex) {
    const ComPortMap start =
        ComPortMap::Build({BuiltIn("ttyS0"), Usb("ttyUSB0", "A5"), Usb("ttyUSB1", "B7")}, {});
    ASSERT_EQ(start.At(2).port->serialNumber, "B7");
    // A5 unplugged, A0 and A1 plugged in: B7, chosen as COM3, stays COM3 (a fresh start
    // would give it COM4); the new adapters take the free indexes.
    const ComPortMap later = start.Rescanned(
        {BuiltIn("ttyS0"), Usb("ttyUSB1", "B7"), Usb("ttyUSB2", "A1"), Usb("ttyUSB3", "A0")}, {});
    EXPECT_EQ(later.At(0).port->name, "ttyS0");
    EXPECT_EQ(later.At(1).port->serialNumber, "A0");
    EXPECT_EQ(later.At(2).port->serialNumber, "B7");
    EXPECT_EQ(later.At(3).port->serialNumber, "A1");
    EXPECT_EQ(later.SelectorText(2), "COM3 \u2014 ttyUSB1, FT232R USB UART 'B7'");
    // The user's assignment made since wins over where a port was.
    ComPortChoices choices;
    choices.pinned[0] = "/dev/ttyUSB1";
    const ComPortMap pinned = later.Rescanned({BuiltIn("ttyS0"), Usb("ttyUSB1", "B7")}, choices);
    EXPECT_EQ(pinned.At(0).port->serialNumber, "B7");
    EXPECT_EQ(pinned.At(1).port->name, "ttyS0");
}

TEST(ComPorts, MoreThanSixteenPortsLeaveTheRestUnmapped) {
    std::vector<SerialPortInfo> ports;
    for (int i = 0; i < 18; ++i) ports.push_back(BuiltIn("ttyS" + std::to_string(i)));
    const ComPortMap map = ComPortMap::Build(ports, {});
    EXPECT_EQ(map.At(15).port->name, "ttyS15");
    ASSERT_EQ(map.Unmapped().size(), 2u);
    EXPECT_EQ(map.Unmapped()[1].name, "ttyS17");
}

TEST(ComPorts, TheAssignmentFileReadsWhatItWrites) {
    ComPortChoices choices;
    choices.pinned[2] = "usb-FTDI_A5";
    choices.pinned[15] = "/dev/ttyS0";
    const QByteArray text = FormatComPortChoices(choices);
    EXPECT_EQ(text, QByteArray("COM3=usb-FTDI_A5\r\nCOM16=/dev/ttyS0\r\n"));
    std::vector<std::string> problems;
    const ComPortChoices back = ParseComPortChoices(text, &problems);
    EXPECT_EQ(back.pinned, choices.pinned);
    EXPECT_TRUE(problems.empty());

    const ComPortChoices bad =
        ParseComPortChoices("# mine\nCOM1 = /dev/ttyUSB0\nCOM40=x\nnonsense\nCOM2=\n", &problems);
    EXPECT_EQ(bad.pinned.size(), 1u);
    EXPECT_EQ(bad.pinned.at(0), "/dev/ttyUSB0");
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0], "line 3: \"COM40=x\" is not COMn=PORT");
}

}  // namespace
}  // namespace dmm
