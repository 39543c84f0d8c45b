// The drift test's result files byte for byte, its meter figures and its plan rules.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/measure/drift_files.h"
#include "core/measure/drift_plan.h"
#include "core/measure/mode_table.h"
#include "support/recording_ui_hooks.h"

namespace dmm {
namespace {

DriftResults TwoByTwo() {
    DriftResults r;
    r.Resize(2, 2);
    r.SetConditions(1, {-40.0, 0.0});
    r.SetConditions(2, {-30.0, 5.5});
    r.SetFigures(1, 1, {1.5, 2, 3, 4.25, 5, 6, 7});
    r.SetFigures(2, 2, {-0.125, 0, 0, 0, 0, 0, 18.5});
    r.SetMeter(0, 1, 1, {0.5, QStringLiteral("DC V")});
    r.SetMeter(3, 2, 1, {-23.75, QStringLiteral("℃")});
    return r;
}

const QByteArray kBig5Mean("\xA5\xAD\xA7\xA1\xAD\xC8", 6);  // 平均值

TEST(DriftFiles, BFileHasItsHeadersInBig5AndOneLinePerStepAndMode) {
    const QByteArray expected =
        "Test #0, , , \r\n"
        " ," +
        kBig5Mean +
        ", VPP(nV), RMS Noise(nV), Enob, VPP(count), RMS Noise(count), Noise Free\r\n"
        "1, 1.500000, 2.000000, 3.000000, 4.250000, 5.000000, 6.000000, 7.000000\r\n"
        "2, 0.000000, 0.000000, 0.000000, 0.000000, 0.000000, 0.000000, 0.000000\r\n"
        "1, 0.000000, 0.000000, 0.000000, 0.000000, 0.000000, 0.000000, 0.000000\r\n"
        "2, -0.125000, 0.000000, 0.000000, 0.000000, 0.000000, 0.000000, 18.500000\r\n";
    EXPECT_EQ(DriftBFileBytes(TwoByTwo()), expected);
}

TEST(DriftFiles, AFileCarriesThePlanConditionsAndTheGridHeaders) {
    const QByteArray a =
        DriftAFileBytes(TwoByTwo(), QStringLiteral("溫度"), QStringLiteral("濕度"));
    const QList<QByteArray> lines = a.split('\n');
    ASSERT_EQ(lines.size(), 7);  // 6 lines and the empty rest after the last CR LF
    EXPECT_EQ(lines[0], ", , , Test #0, , , \r");
    // 溫度 is B7 C5 AB D7, 濕度 is C0 E3 AB D7.
    EXPECT_EQ(lines[1], QByteArray("\xB7\xC5\xAB\xD7, \xC0\xE3\xAB\xD7,  ,") + kBig5Mean +
                            ", VPP(nV), RMS Noise(nV), Enob, VPP(count), RMS Noise(count), "
                            "Noise Free\r");
    EXPECT_EQ(lines[2],
              "-40.000000, 0.000000, 1, 1.500000, 2.000000, 3.000000, 4.250000, 5.000000, "
              "6.000000, 7.000000\r");
    EXPECT_EQ(lines[5],
              "-30.000000, 5.500000, 2, -0.125000, 0.000000, 0.000000, 0.000000, 0.000000, "
              "0.000000, 18.500000\r");
    EXPECT_TRUE(lines[6].isEmpty());
}

TEST(DriftFiles, MeterFileHasSixChannelsPerLineWithTheirUnitsInBig5) {
    const QByteArray m = DriftMeterFileBytes(TwoByTwo());
    const QList<QByteArray> lines = m.split('\n');
    EXPECT_EQ(
        lines[0],
        ", , , Test #0, , , Test #1, , , Test #2, , , Test #3, , , Test #4, , , Test #5, , \r");
    EXPECT_EQ(lines[1], "-40.000000, 0.000000, , 1, .5, DC V, 1, , , 1, , , 1, , , 1, , , 1, , \r");
    // ℃ is A2 4A in Big5.
    EXPECT_EQ(lines[3], QByteArray("-30.000000, 5.500000, , 1, , , 1, , , 1, , , 1, -23.75, ") +
                            "\xA2\x4A" + ", 1, , , 1, , \r");
}

TEST(DriftFiles, MeterValuePatternHasOnlyOptionalDigits) {
    EXPECT_EQ(MeterValueText(0), "");
    EXPECT_EQ(MeterValueText(0.5), ".5");
    EXPECT_EQ(MeterValueText(-0.5), "-.5");
    EXPECT_EQ(MeterValueText(-2.25), "-2.25");
    EXPECT_EQ(MeterValueText(12), "12");
    EXPECT_EQ(MeterValueText(123456.5), "123456.5");       // more whole digits than the pattern
    EXPECT_EQ(MeterValueText(1.123456789), "1.12345679");  // eight decimals, rounded
    EXPECT_EQ(MeterValueText(0.000000001), "");            // rounds to nothing
    EXPECT_EQ(MeterValueText(-0.000000001), "");
}

TEST(DriftFiles, MeterUnitTextFollowsTheFlagOrder) {
    EXPECT_EQ(MeterUnitText(0x06, 0), "DC V");
    EXPECT_EQ(MeterUnitText(0x05, 0), "AC V");
    EXPECT_EQ(MeterUnitText(0x82, 0), "Ω");  // DC is not said for ohms
    EXPECT_EQ(MeterUnitText(0x01, 0x02), "AC A");
    EXPECT_EQ(MeterUnitText(0x00, 0x2C), "Hz%dB");
    EXPECT_EQ(MeterUnitText(0x60, 0), "℃℉");
}

TEST(DriftFiles, BFileFallsBackToItsOverNameAndTheAFileReportsItsFailure) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(kDriftBFileName));  // a folder where the file goes
    test::RecordingUiHooks ui;
    EXPECT_TRUE(WriteDriftBFiles(dir.path(), TwoByTwo(), true, ui));
    QFile over(QDir(dir.path()).filePath(kDriftBOverName));
    ASSERT_TRUE(over.open(QIODevice::ReadOnly));
    EXPECT_EQ(over.readAll(), DriftBFileBytes(TwoByTwo()));
    EXPECT_TRUE(QFile::exists(QDir(dir.path()).filePath(kDriftMeterFileName)));
    EXPECT_TRUE(ui.messages.empty());

    ASSERT_TRUE(QDir(dir.path()).mkdir(kDriftAFileName));
    EXPECT_FALSE(WriteDriftAFile(dir.path(), TwoByTwo(), ui));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].startsWith("I/O error"));
}

TEST(DriftResultsTable, GrowsToThePlanAndIgnoresCellsOutsideIt) {
    DriftResults r;
    r.Resize(40, 3);  // longer than the 30 steps the bench's tables once held
    r.SetFigures(40, 3, {9, 0, 0, 0, 0, 0, 0});
    r.SetFigures(41, 1, {1, 0, 0, 0, 0, 0, 0});
    r.SetFigures(1, 4, {1, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(r.Figures(40, 3).mean, 9);
    EXPECT_EQ(r.Figures(41, 1).mean, 0);
    EXPECT_EQ(DriftBFileBytes(r).count("\r\n"), 2 + 40 * 3);
}

TEST(DriftPlan, CountIsCutWhereThePlanPasses150Degrees) {
    int count = 25;
    const auto plan = BuildTemperaturePlan(count, -40.0, 10.0);
    EXPECT_EQ(count, 20);
    ASSERT_EQ(plan.size(), 20u);
    EXPECT_DOUBLE_EQ(plan.back().temperature, 150.0);
    EXPECT_DOUBLE_EQ(plan[1].temperature, -30.0);
    EXPECT_EQ(plan[0].humidity, 0);
    EXPECT_EQ(plan[0].temperatureRamp, 0);
    EXPECT_EQ(plan[0].humidityRamp, 5);

    count = 0;
    EXPECT_EQ(BuildTemperaturePlan(count, 25, 10).size(), 1u);
    EXPECT_EQ(count, 1);
    count = 3;
    EXPECT_EQ(BuildTemperaturePlan(count, 200, 10).size(), 1u);  // never below one step
}

TEST(DriftPlan, ChamberWordsAndTheSettledBand) {
    EXPECT_EQ(ChamberTenths(0xFE70), -400);
    EXPECT_EQ(ChamberTenths(257), 257);
    EXPECT_EQ(ChamberTenths(32768), 32768);
    EXPECT_EQ(ChamberTenths(32769), -32767);
    EXPECT_TRUE(AtPlanTemperature(257, 25.7));
    EXPECT_TRUE(AtPlanTemperature(243, 25.7));   // 14 tenths off
    EXPECT_FALSE(AtPlanTemperature(242, 25.7));  // 15 tenths off
    EXPECT_FALSE(AtPlanTemperature(272, 25.7));
}

TEST(ModeTableRules, ModeCountAndUsedRowsAndColumns) {
    EXPECT_EQ(ParseModeCount("1000"), 1000);
    EXPECT_EQ(ParseModeCount("0"), 48);
    EXPECT_EQ(ParseModeCount("10001"), 48);
    EXPECT_EQ(ParseModeCount("abc"), 48);
    EXPECT_EQ(ParseModeCount("10000"), 10000);

    ModeTable t(5);
    t.SetCell(0, 1, "3A");
    t.SetCell(0, 2, "3B");
    t.SetCell(0, 3, "0");
    t.SetCell(0, 4, "3D");
    EXPECT_EQ(t.UsedColumns(), 2);     // "0" ends the used columns
    EXPECT_EQ(t.AddressColumns(), 4);  // a run writes every non-empty address
    t.SetCell(1, 1, "12");
    t.SetCell(2, 1, "x1");
    t.SetCell(3, 1, "zz");
    t.SetCell(4, 1, "01");
    EXPECT_EQ(t.UsedSteps(), 2);
    t.SetCell(1, 1, "");
    EXPECT_EQ(t.UsedSteps(), 0);
    t.SetCell(9, 1, "1");  // outside the table: ignored
    EXPECT_EQ(t.Cell(9, 1), "");
}

}  // namespace
}  // namespace dmm
