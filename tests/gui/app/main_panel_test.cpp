#include <QAction>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "support/qtest_registry.h"
#include "support/simulated_program.h"

namespace dmm::test {

// The whole program on the simulated board, driven through its menus.
class MainPanelTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<SimulatedProgram> program_;
    gui::TMainPanel* panel_ = nullptr;
    Bench* bench_ = nullptr;

    QAction* Item(const char* name) {
        QAction* action = panel_->MenuItem(name);
        if (!action) qFatal("no menu item %s", name);
        return action;
    }

  private slots:
    void init() {
        program_ = std::make_unique<SimulatedProgram>();
        panel_ = &program_->panel();
        bench_ = &program_->bench();
    }

    void cleanup() { program_.reset(); }

    void titleAndEveryMenuItem() {
        // The settings file made at the first start names the family's default member.
        QCOMPARE(panel_->windowTitle(), QString("VZ6401-DMM V1.40"));
        struct Expected {
            const char* name;
            QString caption;
            bool visible;
        };
        const Expected expected[] = {
            {"Memu_File", "File", true},
            {"SaveFluke1", "Save Fluke", true},
            {"SaveReg1", "Save Reg", true},
            {"SavePower1", "Save Power", true},
            {"DownLoadFluke1", "DownLoad Fluke", true},
            {"DownloadReg1", "Download Reg", true},
            {"DownloadPower1", "Download Power", true},
            {"SMenu_Option", "Setup", true},
            {"SMenu_RAM", "RAM Panel", true},
            {"SMenu_REG", "REG Panel", true},
            {"SMenu_ADCCLK", "CLK Panel", true},
            {"SMenu_LCDPANEL", "Resister", false},
            {"SMenu_Procounter", "ProCounter Panel", true},
            {"ResistorCAL1", "Resistor CAL.", false},
            {"DMMAP", "MAP", true},
            {"DMMADS", "ADS", true},
            {"DMMADF", "ADF", true},
            {"DMMOP", "OP and Power", true},
            {"USBScan", "USB Scan", true},
            {"Menu_ReadRAM", "Read RAM", true},
            {"SETDMM1", "SETDMM", true},
            {"Menu_ReadAdc", "ENOB Test", true},
            {"SLEEP1", "SLEEP", false},
            {"MCALW", "Switch Test", false},
            {"RestoreADC", "Restore ADC", false},
            {"Regist", QString::fromUtf8("連續讀取"), true},
            {"Fluke1", "Fluke", true},
            {"Power1", "Power", true},
            {"BryMenShow1", "BryMen Show", false},
            {"Menu_INTF", "INTF-Wait", true},
            {"Help_About", "About", true},
            {"Help_UserGuide", "User guide", true},
        };
        QCOMPARE(panel_->MenuItems().size(), static_cast<qsizetype>(std::size(expected)));
        for (const Expected& e : expected) {
            QAction* action = Item(e.name);
            QCOMPARE(action->text(), e.caption);
            QCOMPARE(action->isVisible(), e.visible);
        }
    }

    void everyToolWindowOpensFromItsItemAndKeepsItsPlace() {
        const std::pair<const char*, const char*> items[] = {
            {"SMenu_RAM", "TVz_RAM"},
            {"SMenu_REG", "TVz_Reg2"},
            {"SMenu_ADCCLK", "TDMMADCCLKA"},
            {"SMenu_LCDPANEL", "TDMMResister"},
            {"SMenu_Procounter", "TProCounterA"},
            {"ResistorCAL1", "TRESCALA"},
            {"DMMAP", "TMPN"},
            {"DMMADS", "TADS"},
            {"DMMADF", "TADF"},
            {"DMMOP", "TOP"},
            {"SETDMM1", "TSETDMM"},
            {"Menu_ReadAdc", "TAnxADC"},
            {"MCALW", "TWeightCAL"},
            {"Regist", "TTMP"},
            {"Fluke1", "TFLUKE"},
            {"Power1", "TFPower"},
            {"BryMenShow1", "TMeter"},
        };
        for (const auto& [item, className] : items) {
            QWidget* window = panel_->Child(className);
            QVERIFY2(window, className);
            QCOMPARE(window->objectName(), QString(className));
            Item(item)->trigger();
            auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget());
            QVERIFY2(sub && sub->isVisible(), className);
            sub->setGeometry(30, 40, 420, 310);
            const QRect placed = sub->geometry();
            panel_->ShowChild(window, -1, false);
            QVERIFY(!sub->isVisible());
            Item(item)->trigger();
            QVERIFY(sub->isVisible());
            QCOMPARE(sub->geometry(), placed);
            Item(item)->trigger();  // a second open of a shown window changes nothing
            QCOMPARE(sub->geometry(), placed);
        }
    }

    void usbScanAndReadRam() {
        sim::SimBench* simBench = &program_->sim();
        // Distinctive values in writable setup registers of the demo chip.
        simBench->chip().Write(0x3C, 0x5A);
        simBench->chip().Write(0x3D, 0x21);
        QSignalSpy images(bench_, &Bench::RegisterImageChanged);
        Item("USBScan")->trigger();
        QTRY_COMPARE(panel_->StatusText(0), QString("USB On Line"));
        QTRY_VERIFY(panel_->windowTitle().contains(" ---- Now Chip is  "));
        images.clear();
        Item("Menu_ReadRAM")->trigger();
        QTRY_VERIFY(!images.isEmpty());
        // The published image holds the 64 bytes the chip answered.
        const auto image = images.last().at(0).value<RegisterImageSnapshot>();
        int nonZero = 0;
        for (int i = 0; i < 64; ++i) {
            const int expected = simBench->chip().Read(static_cast<uint16_t>(i));
            QCOMPARE(int(image.bytes[static_cast<size_t>(i)]), expected);
            nonZero += expected != 0;
        }
        QVERIFY(nonZero >= 2);
    }

    void usbScanDoesNothingForSerialAndParallelKinds() {
        sim::SimBench* simBench = &program_->sim();
        for (InterfaceKind kind : {InterfaceKind::RS232, InterfaceKind::Parallel}) {
            int before = 0;
            bench_->RunAndWait([&](Bench& b) {
                b.target().interfaceKind = kind;
                b.link().CloseBoard();
                before = simBench->bus().bulkOpenAttempts();
            });
            Item("USBScan")->trigger();
            QTest::qWait(100);
            int after = 0;
            bench_->RunAndWait([&](Bench& b) {
                after = simBench->bus().bulkOpenAttempts();
                QVERIFY(!b.target().devc.connected);
            });
            QCOMPARE(after, before);
        }
        bench_->RunAndWait([](Bench& b) { b.target().interfaceKind = InterfaceKind::DMM; });
    }

    // With the Parallel kind, "Read RAM" goes over the printer port; a port that cannot be
    // had says why in the board-link panel and in the failure the menu item reports, and
    // leaves the image as it was.
    void readRamOverTheParallelPort() {
        sim::SimBench* simBench = &program_->sim();
        const QString why = QString::fromUtf8(
            "/dev/parport0: Permission denied \u2014 add your user to the lp group");
        simBench->chip().Write(0x3C, 0x5A);
        bench_->RunAndWait([&](Bench& b) {
            b.target().interfaceKind = InterfaceKind::Parallel;
            b.link().CloseBoard();
            simBench->parallelPort().SetFaults({why.toStdString(), -1});
        });
        QSignalSpy images(bench_, &Bench::RegisterImageChanged);
        int before = -1;
        bench_->RunAndWait([&](Bench& b) { before = b.chip().GetRegImage(0x3C); });
        Item("Menu_ReadRAM")->trigger();
        QTRY_COMPARE(panel_->StatusText(0), why);
        QTRY_COMPARE(panel_->StatusText(2), "Read RAM failed: " + why);
        bench_->RunAndWait([&](Bench& b) { QCOMPARE(int(b.chip().GetRegImage(0x3C)), before); });

        simBench->parallelPort().SetFaults({});
        Item("Menu_ReadRAM")->trigger();
        // Other publications (the start-up connection's) may come first: wait for the read.
        const auto lastImage3C = [&] {
            return images.isEmpty()
                       ? -1
                       : int(images.last().at(0).value<RegisterImageSnapshot>().bytes[0x3C]);
        };
        QTRY_COMPARE(lastImage3C(), 0x5A);
        QTRY_COMPARE(panel_->StatusText(0), QString("simulated port 0x378 On Line"));
        QCOMPARE(simBench->parallelPort().LastFrame().sent.size(), size_t(64));
        bench_->RunAndWait([](Bench& b) {
            QVERIFY(!b.target().devc.connected);
            b.target().interfaceKind = InterfaceKind::DMM;
        });
    }

    void aChipWithoutInstrumentsHidesTheirItemsUntilAChipWithThemIsLoaded() {
        const char* items[] = {"Regist", "Fluke1", "Power1", "Memu_File"};
        for (const char* name : items) QVERIFY2(Item(name)->isVisible(), name);
        auto load = [&](int index) {
            bench_->Post([index](Bench& b) {
                b.target().chipIndex = static_cast<uint16_t>(index);
                b.LoadSelectedChip();
            });
        };
        load(1);  // RX402: its description has #FLUKE
        QTRY_VERIFY(!Item("Fluke1")->isVisible());
        for (const char* name : items) QVERIFY2(!Item(name)->isVisible(), name);
        load(0);  // VZ6401 drives instruments again
        QTRY_VERIFY(Item("Fluke1")->isVisible());
        for (const char* name : items) QVERIFY2(Item(name)->isVisible(), name);
    }

    void intfCaptionToggles() {
        QAction* intf = Item("Menu_INTF");
        QCOMPARE(intf->text(), QString("INTF-Wait"));
        intf->trigger();
        QTRY_COMPARE(intf->text(), QString("INTF-Reading"));
        intf->trigger();
        QTRY_COMPARE(intf->text(), QString("INTF-Wait"));
    }

    void closingLeavesDmmModeAndReleasesTheBoard() {
        Item("USBScan")->trigger();
        QTRY_COMPARE(panel_->StatusText(0), QString("USB On Line"));
        bench_->RunAndWait([](Bench& b) { QVERIFY(b.link().SetDmmMode(true)); });
        panel_->close();
        sim::SimBench* simBench = &program_->sim();
        QVERIFY(!simBench->board().dmmMode());
        QCOMPARE(simBench->board().connectedIndex(), uint16_t(0xFFFF));
        bench_->RunAndWait([](Bench& b) {
            QVERIFY(!b.target().devc.HandleValid());
            QVERIFY(!b.up().HeartbeatRunning());
            QVERIFY(!b.up().IntfReading());
        });
    }
};

DMM_QTEST(MainPanelTest);

}  // namespace dmm::test

#include "main_panel_test.moc"
