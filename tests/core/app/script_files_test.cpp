// The step-table files of the File menu byte for byte, and what loading them gives.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/app/script_files.h"
#include "support/recording_ui_hooks.h"

namespace dmm {
namespace {

ModeTable TwoModes() {
    ModeTable t(4);
    t.SetCell(0, 1, "3A");
    t.SetCell(0, 2, "3C");
    t.SetCell(1, 1, "1");
    t.SetCell(1, 2, "FF");
    t.SetCell(1, ModeTable::kDelayColumn, "5");
    t.SetCell(1, ModeTable::kAcmColumn, "1.2");
    t.SetCell(2, 1, "80");
    t.SetCell(2, ModeTable::kDelayColumn, "120");
    t.SetCell(2, ModeTable::kAcmColumn, "2.4");
    return t;
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST(ScriptFiles, RegisterDelayAndAcmFilesHaveFixedFields) {
    const ModeTable t = TwoModes();
    EXPECT_EQ(RegisterFileBytes(t), QByteArray("  3A  3C                                \r\n"
                                               "   1  FF                                \r\n"
                                               "  80                                    \r\n"));
    EXPECT_EQ(DelayFileBytes(t), QByteArray("     5\r\n   120\r\n"));
    EXPECT_EQ(AcmFileBytes(t), QByteArray("   1.2\r\n   2.4\r\n"));
}

TEST(ScriptFiles, SavedTablesComeBackAsTheyWere) {
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(SaveReg(TwoModes(), dir.path(), error)) << error.toStdString();
    ModeTable loaded(4);
    loaded.SetCell(3, 1, "77");  // cleared by the download
    test::RecordingUiHooks ui;
    int used = 0;
    ASSERT_TRUE(DownloadReg(loaded, dir.path(), ui, used));
    EXPECT_EQ(used, 2);
    EXPECT_EQ(loaded.Cell(0, 1), "3A");
    EXPECT_EQ(loaded.Cell(1, 2), "FF");
    EXPECT_EQ(loaded.Cell(2, 1), "80");
    EXPECT_EQ(loaded.Cell(3, 1), "");
    EXPECT_EQ(loaded.Cell(2, ModeTable::kDelayColumn), "120");
    EXPECT_EQ(loaded.Cell(1, ModeTable::kAcmColumn), "1.2");
    EXPECT_EQ(ui.LastStatus(0), "Download Register Value OK !!!");
}

TEST(ScriptFiles, ACellWiderThanItsFieldIsRefusedNeverSavedCut) {
    EXPECT_EQ(ModeCellRefusal(1, ModeTable::kAcmColumn, "1.23456789"),
              "ACM: 1.23456789 is not a reference voltage (0 < V \u2264 10 V, at most 6 "
              "characters)");
    EXPECT_NE(ModeCellRefusal(1, ModeTable::kDelayColumn, "1234567"), "");
    EXPECT_NE(ModeCellRefusal(1, ModeTable::kDelayColumn, "0x10"), "");  // read back decimal
    EXPECT_NE(ModeCellRefusal(1, 2, "12345"), "");
    EXPECT_EQ(ModeCellRefusal(1, 2, "0x3C"), "");
    EXPECT_EQ(ModeCellRefusal(1, ModeTable::kAcmColumn, ""), "");

    QTemporaryDir dir;
    QString error;
    ModeTable t = TwoModes();
    t.SetCell(2, ModeTable::kAcmColumn, "1.23456789");
    EXPECT_FALSE(SaveReg(t, dir.path(), error));
    EXPECT_EQ(error.toStdString(),
              "Save Reg: step 2, ACM: 1.23456789 is not a reference voltage (0 < V \u2264 10 V, "
              "at most 6 characters)");
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(ScriptFiles, ShortDelayFileGivesTheDefaultsAndBadFieldsRepeatTheLineBefore) {
    QTemporaryDir dir;
    const QDir d(dir.path());
    Write(d.filePath("Register.txt"), "  30\n   1\n   2\n   3\n   4\n   5\n");
    Write(d.filePath("Delay.txt"), "     7\r\n    xy\r\n     9\r\n");
    ModeTable t(10);
    test::RecordingUiHooks ui;
    int used = 0;
    ASSERT_TRUE(DownloadReg(t, dir.path(), ui, used));
    EXPECT_EQ(used, 5);
    EXPECT_EQ(t.Cell(1, 11), "7");
    EXPECT_EQ(t.Cell(2, 11), "7");  // "xy" is no number
    EXPECT_EQ(t.Cell(3, 11), "9");
    EXPECT_EQ(t.Cell(4, 11), "15");
    EXPECT_EQ(t.Cell(5, 11), "15");
    // Without ACM.txt the reference column stays empty and no OK is said.
    EXPECT_EQ(t.Cell(1, 12), "");
    EXPECT_EQ(ui.LastStatus(0), "Download Register Value - 6");
}

TEST(ScriptFiles, WithoutDelayFileNeitherColumnIsFilledAndExtraLinesAreNotRead) {
    QTemporaryDir dir;
    const QDir d(dir.path());
    Write(d.filePath("Register.txt"), "  30\n   1\n   2\n   3\n   4\n");
    Write(d.filePath("ACM.txt"), "   1.5\n");
    ModeTable t(2);
    test::RecordingUiHooks ui;
    int used = 0;
    ASSERT_TRUE(DownloadReg(t, dir.path(), ui, used));
    EXPECT_EQ(used, 2);  // only up to the step count
    EXPECT_EQ(t.Cell(2, 1), "2");
    EXPECT_EQ(t.Cell(1, 11), "");
    EXPECT_EQ(t.Cell(1, 12), "");
}

TEST(ScriptFiles, MissingRegisterFileIsAnErrorAndChangesNothing) {
    QTemporaryDir dir;
    ModeTable t = TwoModes();
    test::RecordingUiHooks ui;
    int used = -1;
    EXPECT_FALSE(DownloadReg(t, dir.path(), ui, used));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].contains("Register.txt"));
    EXPECT_EQ(t.Cell(1, 2), "FF");
}

TEST(ScriptFiles, DataGridShapeFollowsTheUsedSteps) {
    EXPECT_EQ(DataGridShapeFor(25).columns, 11);
    EXPECT_EQ(DataGridShapeFor(25).rows, 4);
    EXPECT_EQ(DataGridShapeFor(3).columns, 4);
    EXPECT_EQ(DataGridShapeFor(3).rows, 2);
}

TEST(ScriptFiles, FlukeFileSkipsZeroStepsAndPowerFileKeepsEveryLine) {
    StepTable fluke;
    fluke.INI(4);
    fluke.SetStep(1, {"1", "OUT 1 V ,0 Hz"});
    fluke.SetStep(2, {"0", "OUT 2 V"});
    fluke.SetStep(3, {"A", "STBY"});
    EXPECT_EQ(InstrumentStepFileBytes(fluke, 4), QByteArray("   1OUT 1 V ,0 Hz\r\n   ASTBY\r\n"));

    StepTable loaded;
    ReadFlukeFile(loaded, 5, QByteArray("   1OUT 1 V\r\n  00OUT 9 V\r\n   2OPER\r\n"));
    EXPECT_EQ(loaded.StepCount(), 5);
    EXPECT_EQ(loaded.Step(1).command, "OUT 1 V");
    EXPECT_EQ(loaded.Step(2).active, "2");  // the "  00" line was skipped
    EXPECT_EQ(loaded.Step(2).command, "OPER");
    EXPECT_FALSE(loaded.Active(3));

    StepTable power;
    ReadPowerFile(power, 3, QByteArray("   1VOLT 3.3\n  00OUTP OFF\n   1VOLT 5\n   1X\n"));
    EXPECT_EQ(power.Step(2).active, "00");
    EXPECT_EQ(power.Step(2).command, "OUTP OFF");
    EXPECT_EQ(power.Step(3).command, "VOLT 5");
    EXPECT_EQ(power.StepCount(), 3);  // the fourth line is beyond the step count

    StepTable missing;
    missing.SetStep(1, {"1", "x"});
    ReadPowerFile(missing, 3, std::nullopt);
    EXPECT_EQ(missing.Step(1).command, "");
}

}  // namespace
}  // namespace dmm
