// What a new user meets in the first minutes: feedback for every click, hints where a
// reading needs something else, windows that do not pile up, help on the menu.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "core/link/processor_centre.h"
#include "gui/analog/diagram_controls.h"
#include "support/panel_driver.h"
#include "support/qtest_registry.h"
#include "support/simulated_program.h"

namespace dmm::test {

class FirstSessionTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<SimulatedProgram> program_;
    gui::TMainPanel* panel_ = nullptr;
    Bench* bench_ = nullptr;

    QAction* Item(const char* name) { return panel_->MenuItem(name); }
    // The message box the main window shows now (nullptr after 5 s without one).
    QMessageBox* OpenBox() {
        QMessageBox* found = nullptr;
        (void)QTest::qWaitFor([&] {
            for (auto* box : panel_->findChildren<QMessageBox*>())
                if (box->isVisible()) found = box;
            return found != nullptr;
        });
        return found;
    }
    void CloseBoxes() {
        for (auto* box : panel_->findChildren<QMessageBox*>()) box->close();
        QTest::qWait(10);
    }

  private slots:
    void init() {
        program_ = std::make_unique<SimulatedProgram>();
        panel_ = &program_->panel();
        bench_ = &program_->bench();
        QTRY_COMPARE(panel_->StatusText(0), QString("USB On Line"));
    }
    void cleanup() { program_.reset(); }

    void liveReadingSwitchesExplainThatTheyNeedIntf() {
        for (const char* window : {"TADS", "TADF"}) {
            auto* button = panel_->Child(window)->findChild<QPushButton*>("BSAMPLEADC");
            QVERIFY(button);
            QVERIFY2(button->toolTip().contains("INTF"), window);
            panel_->SetStatusText(2, {});
            button->click();  // on, with INTF reading off
            QTRY_COMPARE(panel_->StatusText(2), QString::fromLatin1(kIntfOffHint));
            button->click();  // off again
        }
        // With INTF reading on, switching a display on needs no hint.
        Item("Menu_INTF")->trigger();
        QTRY_COMPARE(Item("Menu_INTF")->text(), QString("INTF-Reading"));
        panel_->SetStatusText(2, {});
        panel_->Child("TADS")->findChild<QPushButton*>("BSAMPLEADC")->click();
        QTest::qWait(100);
        QCOMPARE(panel_->StatusText(2), QString());
    }

    void usbScanAndReadRamSayHowTheyWent() {
        Item("USBScan")->trigger();
        QTRY_COMPARE(panel_->StatusText(2), QString("USB Scan: board found (VzUSB-0)"));
        Item("Menu_ReadRAM")->trigger();
        QTRY_COMPARE(panel_->StatusText(2), QString("Read RAM: 64 bytes from 000 read"));

        program_->sim().board().faults().shortReplies = 1;
        Item("Menu_ReadRAM")->trigger();
        QTRY_COMPARE(panel_->StatusText(2),
                     QString("Read RAM failed: The board's reply was short: 32 of 64 bytes"));

        // Without a board: the failure, and once a hint that names what is looked for.
        program_->sim().board().faults().disconnected = true;
        Item("USBScan")->trigger();
        QTRY_COMPARE(panel_->StatusText(2), QString("USB Scan: no board found"));
        QCOMPARE(panel_->StatusText(0), QString("USB not Connect !!!"));
        QMessageBox* hint = OpenBox();
        QVERIFY(hint);
        for (const char* part : {"0547:1004", "04D8:2008", "60-dmmbench.rules", "--sim"})
            QVERIFY2(hint->text().contains(part), part);
        CloseBoxes();
        Item("USBScan")->trigger();
        QTest::qWait(300);
        for (auto* box : panel_->findChildren<QMessageBox*>()) QVERIFY(!box->isVisible());
        program_->sim().board().faults().disconnected = false;
    }

    void fileItemsSaveTheStepTablesAndNewWindowsCascade() {
        // An empty mode table saves as its empty address line, over the demo table the
        // simulated bench started with.
        const QString path = program_->benchDir() + "/Register.txt";
        QVERIFY(QFile::remove(path));
        Item("SaveReg1")->trigger();
        QTRY_VERIFY(QFile::exists(path));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray(40, ' ') + "\r\n");
        Item("SMenu_Option")->trigger();
        QTRY_VERIFY(panel_->Child("TOption")->isVisible());
        // The setup dialog is a modal window of its own, not a window in the frame.
        QVERIFY(panel_->Child("TOption")->isWindow());
        QVERIFY(panel_->Child("TOption")->isModal());
        panel_->Child("TOption")->findChild<QPushButton*>("BtClose")->click();

        // Two windows never placed before open apart from each other.
        Item("SMenu_RAM")->trigger();
        Item("SMenu_REG")->trigger();
        auto sub = [&](const char* name) {
            return qobject_cast<QMdiSubWindow*>(panel_->Child(name)->parentWidget());
        };
        QVERIFY(sub("TVz_RAM") && sub("TVz_Reg2") && !sub("TOption"));
        QVERIFY(sub("TVz_RAM")->pos() != sub("TVz_Reg2")->pos());
    }

    void helpMenuAndKeyboardAccess() {
        // Alt+F opens the File menu; its caption stays "File".
        panel_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(panel_));
        QTest::keyClick(panel_, Qt::Key_F, Qt::AltModifier);
        QTRY_COMPARE(panel_->menuBar()->activeAction(), Item("Memu_File"));
        QCOMPARE(Item("Memu_File")->text(), QString("File"));
        QTest::keyClick(panel_->menuBar(), Qt::Key_Escape);

        Item("Help_About")->trigger();
        QMessageBox* about = OpenBox();
        QVERIFY(about);
        for (const QString& part : {QString("dmmbench 1.40"), QString("General Public License"),
                                    program_->benchDir(), QString("VzUSB-0"), QString("VZ6401")})
            QVERIFY2(about->text().contains(part), qPrintable(part));
        CloseBoxes();
    }

    // --help and --version answer without a display.
    void helpAndVersionWithoutADisplay() {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        p.setProcessEnvironment(env);
        p.start(DMMBENCH_PATH, {"--version"});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QString(p.readAllStandardOutput()).trimmed(), QString("dmmbench 1.40"));
        p.start(DMMBENCH_PATH, {"--help"});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 0);
        const QByteArray help = p.readAllStandardOutput();
        QVERIFY(help.contains("--sim"));
        QVERIFY(help.contains("--all-tools"));
    }

    // The items the default menus keep hidden stay hidden; --all-tools shows them, and each
    // opens its tool.
    void hiddenToolsHaveARoute() {
        const QStringList hidden = {"SMenu_LCDPANEL", "ResistorCAL1", "SLEEP1",
                                    "MCALW",          "RestoreADC",   "BryMenShow1"};
        QCOMPARE(gui::TMainPanel::HiddenItemNames(), hidden);
        for (const QString& name : hidden)
            QVERIFY2(!Item(qPrintable(name))->isVisible(), qPrintable(name));
        panel_->ShowHiddenItems();
        for (const QString& name : hidden)
            QVERIFY2(Item(qPrintable(name))->isVisible(), qPrintable(name));
        const std::pair<const char*, const char*> tools[] = {{"SMenu_LCDPANEL", "TDMMResister"},
                                                             {"ResistorCAL1", "TRESCALA"},
                                                             {"MCALW", "TWeightCAL"},
                                                             {"BryMenShow1", "TMeter"}};
        for (const auto& [item, window] : tools) {
            Item(item)->trigger();
            QTRY_VERIFY2(panel_->Child(window)->isVisible(), window);
        }
    }

    // The panels show the chip as soon as the board is on line (the simulated crystal runs,
    // so the clock panel does not say SLEEP). A link that is never read unasked (Parallel)
    // leaves them saying "not read yet" until "Read RAM".
    void panelsShowTheChipOnceItIsRead() {
        auto cover = [this](const char* window) {
            return panel_->Child(window)->findChild<QWidget*>("NotReadYet");
        };
        auto sleeping = [this] {
            return PanelDriver::Chosen(
                panel_->Child("TDMMADCCLKA")->findChild<gui::BoundLabel*>("LSLEEP"));
        };
        QTRY_VERIFY(cover("TDMMADCCLKA")->isHidden());
        QVERIFY(!sleeping());

        program_.reset();
        gui::BenchOptions parallel;
        parallel.kind = InterfaceKind::Parallel;
        program_ = std::make_unique<SimulatedProgram>(parallel);
        panel_ = &program_->panel();
        QTest::qWait(300);
        for (const char* window : {"TDMMADCCLKA", "TADS", "TADF", "TMPN", "TOP", "TProCounterA"})
            QVERIFY2(!cover(window)->isHidden(), window);
        QVERIFY(sleeping());  // the zeros the program started with, under the cover
        Item("Menu_ReadRAM")->trigger();
        QTRY_VERIFY(cover("TDMMADCCLKA")->isHidden());
        QVERIFY(!sleeping());
    }
};

DMM_QTEST(FirstSessionTest);

}  // namespace dmm::test

#include "first_session_test.moc"
