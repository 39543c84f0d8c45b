#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <deque>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/calsets/calset_manager.h"
#include "support/demo_chip_bench.h"
#include "support/scripted_divider_chip.h"

namespace dmm {
namespace {

using test::Bytes;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteSet(const QString& folder, int slot, const QString& name,
              std::vector<RegisterPair> registers = {}) {
    ConfigSet set;
    set.name = name;
    std::copy(registers.begin(), registers.end(), set.registers.begin());
    QFile file(QDir(folder).filePath(ConfigSetFileName(slot)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(WriteConfigSet(set));
}

// The manager over a scripted chip, with a chip model of ten bit registers (0x20..0x29)
// and five byte registers (0x30..0x34).
struct ScriptedSets : test::ScriptedDividerBench {
    ScriptedSets() : sets(f.core.chip(), up, hooks, f.clock, model) {
        for (int i = 0; i < 10; ++i) {
            TBitRegEntry e;
            e.address = static_cast<uint16_t>(0x20 + i);
            model.bitRegisters.Add(e);
        }
        for (int i = 0; i < 5; ++i) {
            TByteRegEntry e;
            e.address = static_cast<uint16_t>(0x30 + i);
            model.byteRegisters.Add(e);
        }
        QObject::connect(&sets, &CalSetManager::AverageTimesShown,
                         [this](const QString& t) { averageShown.push_back(t); });
        QObject::connect(&sets, &CalSetManager::StatusShown,
                         [this](const QString& t) { status = t; });
        QObject::connect(&sets, &CalSetManager::DisplayShown,
                         [this](const QString& t, int) { display.push_back(t); });
    }
    QString Path(int slot) const { return QDir(dir.path()).filePath(ConfigSetFileName(slot)); }
    TChipModel model;
    CalSetManager sets;
    QTemporaryDir dir;
    std::vector<QString> averageShown;
    std::vector<QString> display;
    QString status;
};

TEST(CalSetManager, ScanNamesTheSetsAndSaveRegisterWritesTheFirstFreeSlot) {
    ScriptedSets s;
    ASSERT_TRUE(s.f.Open());
    WriteSet(s.dir.path(), 0, "zero");
    WriteSet(s.dir.path(), 1, "one");
    WriteSet(s.dir.path(), 3, "three");
    s.sets.ScanFolder(s.dir.path());
    EXPECT_EQ(s.sets.setCount(), 3);
    EXPECT_EQ(s.sets.captions()[0], "zero");
    EXPECT_EQ(s.sets.captions()[1], "one");
    EXPECT_EQ(s.sets.captions()[2], "NO FILE");
    EXPECT_EQ(s.sets.captions()[3], "three");
    EXPECT_EQ(s.status, "Destination Folders : " + s.dir.path());
    EXPECT_EQ(s.sets.selectedSlot(), -1);

    const QByteArray three = ReadAll(s.Path(3));
    for (int i = 0; i < 15; ++i)
        s.f.core.chip().SetRegImage(i < 10 ? 0x20 + i : 0x26 + i, 0x40 + i);
    CalSetControls controls;
    controls.name = "fresh";
    ASSERT_TRUE(s.sets.SaveRegister(controls));
    // The gap, not the set count: slot 3 keeps its set, and nobody was asked.
    EXPECT_TRUE(s.hooks.questions.empty());
    EXPECT_EQ(ReadAll(s.Path(3)), three);
    const QList<QByteArray> lines = ReadAll(s.Path(2)).split('\n');
    ASSERT_EQ(lines.size(), 76);
    EXPECT_EQ(lines[0], "0020 40\r");
    EXPECT_EQ(lines[9], "0029 49\r");
    EXPECT_EQ(lines[10], "0030 4A\r");
    EXPECT_EQ(lines[14], "0034 4E\r");
    for (int i = 15; i < 64; ++i) EXPECT_EQ(lines[i], "0000 00\r") << i;
    EXPECT_EQ(lines[67], "fresh\r");
    EXPECT_EQ(s.sets.selectedSlot(), 2);
    EXPECT_EQ(s.sets.captions()[2], "fresh");

    // Refused: the question answered No leaves the set as it was.
    s.hooks.answer = false;
    s.f.core.chip().SetRegImage(0x20, 0x99);
    EXPECT_FALSE(s.sets.SaveRegister(controls));
    EXPECT_EQ(s.hooks.questions, (std::vector<QString>{"Write To fresh"}));
    EXPECT_EQ(ReadAll(s.Path(2)).split('\n')[0], "0020 40\r");

    // No slot free and none selected: said, and nothing written.
    for (int n = 4; n < kConfigSetSlots; ++n) WriteSet(s.dir.path(), n, "more");
    s.sets.ScanFolder(s.dir.path());
    s.sets.Select(-1);
    EXPECT_FALSE(s.sets.SaveRegister(controls));
    EXPECT_EQ(s.hooks.messages,
              (std::vector<QString>{"All ten slots hold a file: select a set to write over it"}));
    EXPECT_EQ(ReadAll(s.Path(3)), three);
}

// A rescan (the folder chosen again, or another one) never leaves the selection on entries
// that belong to another set.
TEST(CalSetManager, ARescanKeepsTheSelectedSetsOwnEntries) {
    ScriptedSets s;
    ASSERT_TRUE(s.f.Open());
    WriteSet(s.dir.path(), 0, "alpha", {{0x20, 0x11}});
    WriteSet(s.dir.path(), 1, "beta", {{0x20, 0x22}});
    const QByteArray beta = ReadAll(s.Path(1));
    QString shownName;
    QObject::connect(&s.sets, &CalSetManager::ControlsLoaded,
                     [&shownName](const CalSetControls& c, double, double) { shownName = c.name; });
    s.sets.ScanFolder(s.dir.path());
    ASSERT_TRUE(s.sets.Select(0));
    s.sets.ScanFolder(s.dir.path());
    EXPECT_EQ(s.sets.selectedSlot(), 0);
    EXPECT_EQ(shownName, "alpha");

    s.f.core.chip().SetRegImage(0x20, 0x55);
    ASSERT_TRUE(s.sets.SaveRegister(ControlsOf(s.sets.loaded())));
    EXPECT_EQ(s.hooks.questions, (std::vector<QString>{"Write To alpha"}));
    const ConfigSet alpha = ReadConfigSet(ReadAll(s.Path(0)));
    EXPECT_EQ(alpha.name, "alpha");
    EXPECT_EQ(alpha.registers[0], (RegisterPair{0x20, 0x55}));
    EXPECT_EQ(ReadAll(s.Path(1)), beta);

    // Another folder: nothing selected, the entries a new set's.
    QTemporaryDir other;
    s.sets.ScanFolder(other.path());
    EXPECT_EQ(s.sets.selectedSlot(), -1);
    EXPECT_EQ(shownName, "~KV");
    EXPECT_EQ(s.sets.loaded(), ConfigSet{});
}

TEST(CalSetManager, AFileThatIsNotASetIsShownUnreadableAndRefused) {
    ScriptedSets s;
    ASSERT_TRUE(s.f.Open());
    WriteSet(s.dir.path(), 0, "good");
    const std::pair<int, QByteArray> foreign[] = {
        {2, QByteArray("\x8f\x00\xffrandom\x01\x02", 11)},
        {4, QByteArray()},
        {5, "These files are the bench's calibration sets.\r\n"}};
    for (const auto& [slot, bytes] : foreign) {
        QFile file(s.Path(slot));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    s.sets.ScanFolder(s.dir.path());
    EXPECT_EQ(s.sets.setCount(), 1);
    EXPECT_EQ(s.sets.FirstFreeSlot(), 1);
    for (const auto& [slot, bytes] : foreign) {
        EXPECT_EQ(s.sets.captions()[static_cast<size_t>(slot)], "UNREADABLE") << slot;
        s.hooks.messages.clear();
        s.sets.Panel1Click(slot);
        ASSERT_EQ(s.hooks.messages.size(), 1u) << slot;
        EXPECT_TRUE(s.hooks.messages[0].startsWith("Not a calibration set: " + s.Path(slot)))
            << s.hooks.messages[0].toStdString();
        EXPECT_EQ(s.sets.selectedSlot(), -1);
    }
    // Nothing went to the chip and no file changed; the set beside them works.
    EXPECT_TRUE(s.f.trace.Sent().empty());
    EXPECT_FALSE(s.sets.StoreRegisters(5, ConfigSet{}));
    EXPECT_EQ(ReadAll(s.Path(5)), foreign[2].second);
    s.sets.Panel1Click(0);
    EXPECT_EQ(s.sets.selectedSlot(), 0);
    EXPECT_FALSE(s.f.trace.Sent().empty());
}

TEST(CalSetManager, RefusesWithoutASlotOrABoard) {
    ScriptedSets s;
    s.sets.ScanFolder(s.dir.path());
    EXPECT_FALSE(s.sets.Measure(false, {}));
    EXPECT_EQ(s.hooks.messages, (std::vector<QString>{"Please Select one Config Setion?"}));
    EXPECT_FALSE(s.sets.SaveRegister({}));
    EXPECT_EQ(s.hooks.messages.back(), "USB not Found!!!");
    EXPECT_FALSE(QFile::exists(s.Path(0)));
}

TEST(CalSetManager, OffsetAndGainMeasureTheChosenPathOnly) {
    ScriptedSets s;
    ASSERT_TRUE(s.f.Open());
    WriteSet(s.dir.path(), 0, "volts");
    s.sets.ScanFolder(s.dir.path());
    s.sets.Panel1Click(0);
    ASSERT_EQ(s.sets.selectedSlot(), 0);

    CalSetControls controls;
    controls.averageTimes = "2";  // becomes 5
    controls.reference = "40.00";
    controls.cancelOffset = true;
    s.Queue({10, 50, 20, 40, 30});
    s.hooks.statuses.clear();
    ASSERT_TRUE(s.sets.Measure(false, controls));
    EXPECT_EQ(s.averageShown, (std::vector<QString>{"5"}));
    EXPECT_EQ(s.sets.lastMeans, (std::array<double, 2>{30, 0}));
    EXPECT_EQ(s.hooks.Last(1), "Save  OK");
    EXPECT_EQ(s.hooks.Statuses(1).front(), "Reading - 0");
    ConfigSet saved = ReadConfigSet(ReadAll(s.Path(0)));
    EXPECT_EQ(saved.adc1Offset, 30);
    EXPECT_EQ(saved.rmsOffset, 0);
    EXPECT_EQ(saved.reference, "40.00");
    EXPECT_EQ(saved.cancelOffset, 1);
    EXPECT_EQ(saved.averageTimes, 5);
    EXPECT_EQ(s.sets.figures().decimals, 3);  // "66000" against "40.00"

    // "Cal. Gain" on ADC1 writes 0 as the RMS gain reading and keeps the offsets.
    s.Queue({4000000, 4000010, 3999990, 4000020, 3999980});
    ASSERT_TRUE(s.sets.Measure(true, controls));
    saved = ReadConfigSet(ReadAll(s.Path(0)));
    EXPECT_EQ(saved.adc1Gain, 4000000);
    EXPECT_EQ(saved.rmsGain, 0);
    EXPECT_EQ(saved.adc1Offset, 30);
    EXPECT_EQ(QString(ReadAll(s.Path(0)).split('\n')[69]), "0.000000\r");

    // Too few samples in 20 s: said, and nothing saved.
    const QByteArray before = ReadAll(s.Path(0));
    s.Queue({100, 300});
    EXPECT_FALSE(s.sets.Measure(false, controls));
    EXPECT_EQ(s.hooks.Last(1), "Save false!!!!!");
    EXPECT_EQ(s.status, "Not saved: 2 of 5 samples within 20 s");
    EXPECT_EQ(ReadAll(s.Path(0)), before);
}

// The RMS results come through the ADC2/ADP display, which nothing may have turned on.
TEST(CalSetManager, TheRmsPathMeasuresWithTheAdc2DisplayOff) {
    ScriptedSets s;
    ASSERT_TRUE(s.f.Open());
    WriteSet(s.dir.path(), 0, "ac");
    s.sets.ScanFolder(s.dir.path());
    ASSERT_TRUE(s.sets.Select(0));
    std::deque<uint64_t> rms = {4000, 2000, 5000, 1000, 3000};
    s.chip().rms = [&rms]() -> std::optional<uint64_t> {
        if (rms.empty()) return std::nullopt;
        const uint64_t v = rms.front();
        rms.pop_front();
        return v;
    };
    ASSERT_FALSE(s.up.Adc2DisplayOn);
    CalSetControls controls;
    controls.adcChoice = 1;
    ASSERT_TRUE(s.sets.Measure(true, controls));
    const ConfigSet saved = ReadConfigSet(ReadAll(s.Path(0)));
    EXPECT_EQ(saved.rmsGain, 3000);
    EXPECT_EQ(saved.adc1Gain, 0);
    EXPECT_EQ(saved.adcChoice, 1);
    // The live switches are as the measurement found them.
    EXPECT_FALSE(s.up.Adc2DisplayOn);
    EXPECT_TRUE(s.up.IntfReading());
}

TEST(CalSetManager, LiveDisplayScalesWithTheSetRead) {
    ScriptedSets s;
    ASSERT_TRUE(s.f.Open());
    ConfigSet set;
    set.name = "mv";
    set.reference = "40000";
    set.adc1Gain = 4000000;
    QFile file(s.Path(0));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(WriteConfigSet(set));
    file.close();
    s.sets.ScanFolder(s.dir.path());
    ASSERT_TRUE(s.sets.Select(0));
    s.up.Adc1DisplayOn = true;
    for (int i = 0; i < 4; ++i) {
        s.Queue({2000000});
        s.up.Timer1Timer();
        s.sets.Timer1Timer();
    }
    ASSERT_EQ(s.display.size(), 4u);
    EXPECT_EQ(s.display.back(), "20000");
    EXPECT_EQ(s.display.front(), "5000");  // the history starts empty
    // Above the full-scale limit.
    for (int i = 0; i < 4; ++i) {
        s.Queue({7000000});
        s.up.Timer1Timer();
        s.sets.Timer1Timer();
    }
    EXPECT_EQ(s.display.back(), "OL");
}

TEST(CalSetManager, AKillDuringASaveLeavesTheOldOrTheNewSet) {
    ScriptedSets s;
    ASSERT_TRUE(s.f.Open());
    WriteSet(s.dir.path(), 0, "kept");
    s.sets.ScanFolder(s.dir.path());
    s.sets.Panel1Click(0);
    // The two contents the saves alternate between.
    std::array<QByteArray, 2> contents;
    for (int k = 0; k < 2; ++k) {
        s.f.core.chip().SetRegImage(0x20, static_cast<uint8_t>(k));
        ASSERT_TRUE(s.sets.SaveRegister({}));
        contents[static_cast<size_t>(k)] = ReadAll(s.Path(0));
    }
    ASSERT_NE(contents[0], contents[1]);
    for (int round = 0; round < 20; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (uint8_t k = 0;; k ^= 1) {
                s.f.core.chip().SetRegImage(0x20, k);
                s.sets.SaveRegister({});
            }
        }
        usleep(static_cast<useconds_t>(300 + round * 200));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const QByteArray bytes = ReadAll(s.Path(0));
        ASSERT_TRUE(bytes == contents[0] || bytes == contents[1])
            << "round " << round << ": " << bytes.size() << " bytes";
    }
}

// On the demo chip: a set saved, the registers changed, the set applied again.
TEST(CalSetManagerOnDemoChip, ApplyingASavedSetRestoresTheRegisters) {
    test::TestApplication application;
    test::DemoChipBench b;
    test::KeptUiHooks hooks;
    TVz_UP up(b.access(), hooks);
    CalSetManager sets(b.access(), up, hooks, b.f.clock, b.f.core.chipModel());
    QString status;
    QObject::connect(&sets, &CalSetManager::StatusShown,
                     [&status](const QString& t) { status = t; });
    QTemporaryDir dir;
    sets.ScanFolder(dir.path());
    b.Set("AD1GN", 2);
    b.Set("S_AD1IP", 7);
    ASSERT_TRUE(ReadRamIntoImage(b.access()));
    const std::array<uint8_t, kRegisterImageSize> before = b.f.core.target().RegisterImage;
    ASSERT_TRUE(sets.SaveRegister({}));
    ASSERT_EQ(sets.selectedSlot(), 0);

    b.Set("AD1GN", 0);
    b.Set("S_AD1IP", 3);
    ASSERT_NE(b.Get("AD1GN"), 2);
    std::vector<int> refreshed;
    for (PanelOrder p : {PanelOrder::Ram, PanelOrder::Adc1, PanelOrder::SwitchNetwork})
        b.access().SubscribeRefresh(p,
                                    [&refreshed, p] { refreshed.push_back(static_cast<int>(p)); });
    b.f.trace.Clear();
    sets.Panel1Click(0);
    EXPECT_EQ(b.Get("AD1GN"), 2);
    EXPECT_EQ(b.Get("S_AD1IP"), 7);
    EXPECT_EQ(status, "Destination File : " + sets.SlotPath(0));
    // One write of 0x00..0x3E carrying the image, then 0 to 0x1F.
    const std::vector<Bytes> sent = b.f.trace.Sent();
    ASSERT_GE(sent.size(), 2u);
    ASSERT_EQ(sent[0].size(), 4u + 63u);
    EXPECT_EQ((Bytes{sent[0][0], sent[0][2], sent[0][3]}), (Bytes{0xC2, 0x00, 63}));
    const TRegField& gain = b.Field("AD1GN");
    EXPECT_EQ(gain.Extract(sent[0][4 + static_cast<size_t>(gain.registerIndex)]), 2);
    for (int a = 0x34; a < 0x3C; ++a)
        EXPECT_EQ(sent[0][4 + static_cast<size_t>(a)], before[static_cast<size_t>(a)]) << a;
    EXPECT_EQ(sent[1], (Bytes{0xC2, 0x00, 2 * 0x1F & 0xFE, 1, 0}));
    EXPECT_EQ(refreshed, (std::vector<int>{static_cast<int>(PanelOrder::Ram),
                                           static_cast<int>(PanelOrder::Adc1),
                                           static_cast<int>(PanelOrder::SwitchNetwork)}));
}

}  // namespace
}  // namespace dmm
