// The setup dialog and the settings file on the simulated bench: what the user sets up
// survives a restart, the file's records reach the bench and the windows, and the
// dialog's handlers act on the ports they should.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "core/app/bench_settings.h"
#include "gui/calsets/t_setdmm.h"
#include "gui/chip/t_option.h"
#include "gui/measure/t_tmp.h"
#include "support/qtest_registry.h"
#include "support/sim_fixture.h"
#include "support/simulated_program.h"

namespace dmm::test {

class SetupDialogTest : public QObject {
    Q_OBJECT
  private:
    static gui::BenchOptions On(const QString& dir) { return OnBenchDirectory(dir); }
    static gui::TOption& Dialog(SimulatedProgram& program) {
        auto* option = qobject_cast<gui::TOption*>(program.panel().Child("TOption"));
        if (!option) qFatal("no setup dialog");
        return *option;
    }
    static gui::TOption& OpenDialog(SimulatedProgram& program) {
        program.panel().MenuItem("SMenu_Option")->trigger();
        gui::TOption& option = Dialog(program);
        if (!QTest::qWaitFor([&] { return option.isVisible(); })) qFatal("setup not shown");
        return option;
    }
    // Settings written into a bench directory before the program starts there.
    static void WriteSettings(const QString& dir, const QByteArray& bytes) {
        QFile file(SettingsFilePath(dir));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write the settings");
    }
    static QByteArray ReadSettings(const QString& dir) {
        QFile file(SettingsFilePath(dir));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The first frame of a register write to 0x12, taken on the bench thread.
    static Bytes WriteFrame(Bench& bench) {
        Bytes frame;
        bench.RunAndWait([&frame](Bench& b) {
            RecordingTrace trace;
            b.link().SetTrace(&trace);
            uint8_t status = 0;
            if (b.target().devc.connected || b.link().OpenBoard(status)) {
                trace.Clear();
                if (b.chip().WriteRegister(0x12, 0x5A) && !trace.Sent().empty())
                    frame = trace.Sent().front();
            }
            b.link().SetTrace(nullptr);
        });
        return frame;
    }

  private slots:
    void aRestartFindsTheInterfaceChipPhotoAndWindowsAsTheyWereLeft() {
        QTemporaryDir dir;
        const QRect ramFrame(50, 60, 0, 0);
        QPoint ramAt;
        {
            SimulatedProgram first(On(dir.path()));
            gui::TMainPanel& panel = first.panel();
            gui::TOption& option = OpenDialog(first);
            QVERIFY(option.isModal());
            QCOMPARE(option.windowTitle(), QStringLiteral("選項"));
            QCOMPARE(option.BtClose->text(), QStringLiteral("關閉"));
            QCOMPARE(option.pos(), panel.frameGeometry().topLeft() + QPoint(40, 40));
            QCOMPARE(option.SelLPT->currentIndex(), static_cast<int>(InterfaceKind::DMM));
            option.CbSeluP->setCurrentIndex(2);  // RX405
            option.SelLPT->setCurrentIndex(static_cast<int>(InterfaceKind::SPI));
            option.Photo->click();
            option.BtClose->click();
            QVERIFY(!option.isVisible());
            panel.MenuItem("SMenu_RAM")->trigger();
            auto* frame = qobject_cast<QMdiSubWindow*>(panel.Child("TVz_RAM")->parentWidget());
            QVERIFY(frame);
            frame->move(ramFrame.topLeft());
            ramAt = frame->pos();
            // The bench has the choices before the program closes.
            const Bytes photoOn = WriteFrame(first.bench());
            QVERIFY(!photoOn.empty());
            QCOMPARE(photoOn.front(), uint8_t{0xBC});
        }
        const QByteArray saved = ReadSettings(dir.path());
        QVERIFY2(saved.startsWith("DMM V1.40\r\n   2   1   0   0   0\r\n"), saved.constData());
        QVERIFY(saved.contains("\r\n   1\r\n1.2\r\n"));  // record 10: Photo on

        SimulatedProgram second(On(dir.path()));
        uint16_t chip = 0;
        InterfaceKind kind = InterfaceKind::DMM;
        bool photo = false;
        second.bench().RunAndWait([&](Bench& b) {
            chip = b.target().chipIndex;
            kind = b.target().interfaceKind;
            photo = b.chip().Photo;
        });
        QCOMPARE(chip, uint16_t{2});
        QCOMPARE(kind, InterfaceKind::SPI);
        QVERIFY(photo);
        gui::TOption& option = Dialog(second);
        QCOMPARE(option.CbSeluP->currentIndex(), 2);
        QCOMPARE(option.SelLPT->currentIndex(), static_cast<int>(InterfaceKind::SPI));
        QVERIFY(option.Photo->isChecked());
        QVERIFY(!option.TXCOM->isEnabled() && !option.CLPT->isEnabled());
        // The microcontroller's description has no bench instruments.
        QTRY_VERIFY(option.FlukeCOM->isHidden() && option.ChennalCom->isHidden() &&
                    option.BryMemButtom->isHidden());
        auto* frame = qobject_cast<QMdiSubWindow*>(second.panel().Child("TVz_RAM")->parentWidget());
        QVERIFY(frame && frame->isVisible());
        QCOMPARE(frame->pos(), ramAt);

        // SPI write frames: P1 40 lo hi n d, P1 = BC with Photo, B1 without.
        QCOMPARE(WriteFrame(second.bench()), (Bytes{0xBC, 0x40, 0x12, 0x00, 0x01, 0x5A}));
        OpenDialog(second).Photo->click();
        QCOMPARE(WriteFrame(second.bench()), (Bytes{0xB1, 0x40, 0x12, 0x00, 0x01, 0x5A}));
        // Back to the demo DMM chip: its instrument sections come back.
        option.CbSeluP->setCurrentIndex(0);
        QTRY_VERIFY(!option.FlukeCOM->isHidden() && !option.ChennalCom->isHidden());
    }

    void anInstrumentSelectorReconfiguresTheChipLinkPortNotItsOwn() {
        SimulatedProgram program;
        gui::TOption& option = OpenDialog(program);
        option.SelLPT->setCurrentIndex(static_cast<int>(InterfaceKind::RS232));
        QVERIFY(option.TXCOM->isEnabled() && option.TXBaud->isEnabled() &&
                option.TXParity->isEnabled() && !option.CLPT->isEnabled());
        DevcRS232 link;
        program.bench().RunAndWait([&link](Bench& b) { link = b.target().rs232; });
        QVERIFY(link.connected);
        QCOMPARE(link.comIndex, 0);
        QCOMPARE(link.baudRate, 300);
        {
            // A baud rate chosen but not yet applied...
            const QSignalBlocker quiet(option.TXBaud);
            option.TXBaud->setCurrentIndex(5);
        }
        // ... is applied to COM1 when the calibrator's selector changes.
        option.FlukeCOM->setCurrentIndex(1);
        program.bench().RunAndWait([&link](Bench& b) { link = b.target().rs232; });
        QVERIFY(link.connected);
        QCOMPARE(link.comIndex, 0);
        QCOMPARE(link.baudRate, 9600);
        const bool calibratorOpen = program.bench().instrumentThreads().Await(
            InstrumentId::Calibrator, [](Instruments& i) { return i.calibrator().connected(); },
            program.bench().hooks());
        QVERIFY(!calibratorOpen);
    }

    void identificationsRunWhileTheDialogKeepsAnswering() {
        SimulatedProgram program;
        gui::TOption& option = OpenDialog(program);
        option.FlukeCOM->setCurrentIndex(sim::SimInstruments::Calibrator);
        QSignalSpy identified(&option, &gui::TOption::Identified);
        int ticks = 0;
        QTimer timer;
        timer.setInterval(5);
        connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
        timer.start();
        option.FlukeSelect->click();
        QVERIFY(!option.FlukeSelect->isEnabled());
        QCOMPARE(option.FlukeState->text(), QStringLiteral("trying COM2 ..."));
        QTRY_COMPARE_WITH_TIMEOUT(identified.count(), 1, 10000);
        QCOMPARE(identified[0][0].toString(), QStringLiteral("Fluke"));
        QVERIFY(identified[0][1].toBool());
        QVERIFY(option.FlukeSelect->isEnabled());
        QCOMPARE(option.FlukeState->text(), QStringLiteral("identified on COM2"));
        QTRY_COMPARE(program.panel().StatusText(1),
                     QStringLiteral("Successful Select Fluke In COM2"));
        // The calibrator answers after its 500 ms wait: the window kept its own pace.
        QVERIFY2(ticks > 20, qPrintable(QString::number(ticks)));
        // Tried on another port, it is not there: the label says where it still is.
        option.FlukeCOM->setCurrentIndex(11);
        option.FlukeSelect->click();
        QTRY_COMPARE_WITH_TIMEOUT(identified.count(), 2, 10000);
        QVERIFY(!identified[1][1].toBool());
        QCOMPARE(option.FlukeState->text(), QStringLiteral("not found on COM12; still on COM2"));

        // No chamber where the power supply is.
        option.ChamberCOM->setCurrentIndex(sim::SimInstruments::PowerSupply);
        option.ChamberSelect->click();
        QTRY_COMPARE_WITH_TIMEOUT(identified.count(), 3, 20000);
        QVERIFY(!identified[2][1].toBool());
        QCOMPARE(option.ChamberState->text(), QStringLiteral("not found on COM3"));
    }

    // On a board's interface kind the chip link holds no serial port: a COM selector opens
    // nothing (a settings file's TXCOM of COM2 included), the calibrator can have COM2, and
    // leaving RS232 gives the chip link's port back.
    void onABoardKindTheChipLinkLeavesTheSerialPortsToTheInstruments() {
        QTemporaryDir dir;
        VzAdcConfig c;  // the DMM kind
        c.serialPortIndex = sim::SimInstruments::Calibrator;
        WriteSettings(dir.path(), FormatVzAdcConfig(c));
        SimulatedProgram program(On(dir.path()));
        auto holder = [&program](int com) {
            std::string user;
            program.bench().RunAndWait([&](Bench& b) { user = b.core().serial().Holder(com); });
            return user;
        };
        gui::TOption& option = OpenDialog(program);
        QCOMPARE(option.TXCOM->currentIndex(), int{sim::SimInstruments::Calibrator});
        option.FlukeCOM->setCurrentIndex(sim::SimInstruments::Calibrator);
        QCOMPARE(holder(sim::SimInstruments::Calibrator), std::string());
        QSignalSpy identified(&option, &gui::TOption::Identified);
        option.FlukeSelect->click();
        QTRY_COMPARE_WITH_TIMEOUT(identified.count(), 1, 10000);
        QCOMPARE(option.FlukeState->text(), QStringLiteral("identified on COM2"));
        QCOMPARE(holder(sim::SimInstruments::Calibrator), std::string("the calibrator"));
        QCOMPARE(program.panel().StatusText(0), QStringLiteral("USB On Line"));

        option.TXCOM->setCurrentIndex(sim::SimInstruments::ChipLink);
        option.SelLPT->setCurrentIndex(static_cast<int>(InterfaceKind::RS232));
        QCOMPARE(holder(sim::SimInstruments::ChipLink), std::string("the chip link"));
        option.SelLPT->setCurrentIndex(static_cast<int>(InterfaceKind::SPI));
        QCOMPARE(holder(sim::SimInstruments::ChipLink), std::string());
    }

    // Every COM selector shows the port behind each index and who holds it, greys the
    // indexes with nothing behind them, and the ports are listed again when the dialog opens.
    void theComSelectorsShowThePortsAndOpeningListsThemAgain() {
        SimulatedProgram program;
        gui::TOption& option = OpenDialog(program);
        const QString noDevice = QStringLiteral("COM11 \u2014 no device");
        for (QComboBox* combo : {option.TXCOM, option.FlukeCOM, option.PowerCOM, option.ChamberCOM,
                                 option.BryMemCom}) {
            QTRY_COMPARE(combo->itemText(10), noDevice);
            QVERIFY2(combo->itemText(1).startsWith(QStringLiteral("COM2 \u2014 pts")) &&
                         combo->itemText(1).endsWith("simulated calibrator (Fluke 5500A)"),
                     qPrintable(combo->itemText(1)));
            QCOMPARE(combo->itemData(10, Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
            QVERIFY(!combo->itemData(1, Qt::ForegroundRole).isValid());
        }
        QVERIFY2(option.BryMemCom->itemText(4).endsWith("(in use by meter 1)"),
                 qPrintable(option.BryMemCom->itemText(4)));

        option.BtClose->click();
        // An adapter plugged in while the program runs.
        program.bench().RunAndWait([&program](Bench& b) {
            b.core().serial().SetPortSource([sim = &program.instruments()] {
                SerialChannel::PortListing listing{sim->Ports(), sim->Choices()};
                listing.ports.push_back({"/dev/ttyUSB0", "ttyUSB0",
                                         "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                                         "FT232R USB UART", "A50285BI", false});
                return listing;
            });
        });
        OpenDialog(program);
        QTRY_COMPARE(option.FlukeCOM->itemText(10),
                     QStringLiteral("COM11 \u2014 ttyUSB0, FT232R USB UART 'A50285BI'"));
        QVERIFY(!option.FlukeCOM->itemData(10, Qt::ForegroundRole).isValid());
    }

    void theCalibratorsWrongInstrumentBoxHasOneYesButton() {
        SimulatedProgram program;
        const QString text = QStringLiteral("此通道連接的不是Fluke5500A!!");
        program.bench().hooks().ShowYesMessage(text);
        QMessageBox* box = nullptr;
        QTRY_VERIFY([&] {
            for (QMessageBox* b : program.panel().findChildren<QMessageBox*>())
                if (b->text() == text) box = b;
            return box != nullptr;
        }());
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Yes));
    }

    void closingOnParallelInitialisesThePortAtTheChosenAddress() {
        SimulatedProgram program;
        gui::TOption& option = OpenDialog(program);
        option.SelLPT->setCurrentIndex(static_cast<int>(InterfaceKind::Parallel));
        QVERIFY(option.CLPT->isEnabled() && !option.TXCOM->isEnabled());
        uint16_t base = 0;
        bool open = false;
        auto look = [&] {
            program.bench().RunAndWait([&](Bench& b) {
                base = b.core().parallel().PortBase;
                open = b.core().parallel().IsOpen();
            });
        };
        option.CLPT->setCurrentIndex(2);
        look();
        QCOMPARE(base, uint16_t{0x3BC});
        // A typed address that is no item means LPT1.
        option.CLPT->setEditText("LPT7 : 0x123");
        look();
        QCOMPARE(base, uint16_t{0x378});
        option.CLPT->setCurrentIndex(1);
        QVERIFY(!open);
        option.BtClose->click();
        look();
        QCOMPARE(base, uint16_t{0x278});
        QVERIFY(open);
    }

    void aFileOfAnotherVersionIsIgnoredEntirely() {
        QTemporaryDir dir;
        VzAdcConfig spi;
        spi.interfaceKind = static_cast<int>(InterfaceKind::SPI);
        spi.productVariant = 2;
        QByteArray bytes = FormatVzAdcConfig(spi);
        bytes.replace(0, 9, "DMM V1.39");
        WriteSettings(dir.path(), bytes);
        {
            SimulatedProgram program(On(dir.path()));
            QCOMPARE(program.panel().windowTitle(), QStringLiteral("DMM V1.40"));
            InterfaceKind kind = InterfaceKind::RS232;
            program.bench().RunAndWait([&kind](Bench& b) { kind = b.target().interfaceKind; });
            QCOMPARE(kind, InterfaceKind::DMM);
            QCOMPARE(ReadSettings(dir.path()), bytes);
        }
        // At close the file is written again, in this version.
        QVERIFY(ReadSettings(dir.path()).startsWith("DMM V1.40\r\n   0   5   0   0   0\r\n"));
    }

    // A start and a close in which the user changes nothing leave the file as it was,
    // byte for byte, and the chip untouched: the restored shift item (record 9) is not
    // written to 0ADH (which the DMM link cannot even reach), and a calibration-set folder
    // of the Windows program (record 16, in Big5) keeps its bytes.
    void aStartAndACloseLeaveTheFileAndTheChipAsTheyWere() {
        QTemporaryDir dir;
        VzAdcConfig c;
        c.ADShift = 3;
        c.calibrationSetDirectory = "D:\\\xAE\xD5\xA5\xBF\xB8\xEA\xAE\xC6\\SET1";
        const QByteArray bytes = FormatVzAdcConfig(c);
        WriteSettings(dir.path(), bytes);
        {
            SimulatedProgram program(On(dir.path()));
            gui::TMainPanel& panel = program.panel();
            QCOMPARE(panel.Child("TWeightCAL")->findChild<QComboBox*>("ADShift")->currentIndex(),
                     3);
            // The heartbeat's connection comes after everything loading the file did.
            QTRY_COMPARE(panel.StatusText(0), QStringLiteral("USB On Line"));
            QVERIFY2(!panel.StatusText(1).contains("0AD"), qPrintable(panel.StatusText(1)));
        }
        QCOMPARE(ReadSettings(dir.path()), bytes);
    }

    // An option of the command line wins over the file for its run; the file keeps its
    // own value unless the setup dialog chooses another.
    void theCommandLinesKindIsForItsRunOnly() {
        QTemporaryDir dir;
        const QByteArray bytes = FormatVzAdcConfig(VzAdcConfig{});  // the DMM kind
        WriteSettings(dir.path(), bytes);
        gui::BenchOptions options = On(dir.path());
        options.kind = InterfaceKind::Special;
        {
            SimulatedProgram program(options);
            InterfaceKind kind = InterfaceKind::DMM;
            program.bench().RunAndWait([&kind](Bench& b) { kind = b.target().interfaceKind; });
            QCOMPARE(kind, InterfaceKind::Special);
            QCOMPARE(Dialog(program).SelLPT->currentIndex(),
                     static_cast<int>(InterfaceKind::Special));
        }
        QCOMPARE(ReadSettings(dir.path()), bytes);
        options.kind = InterfaceKind::UART;
        {
            SimulatedProgram program(options);
            gui::TOption& option = OpenDialog(program);
            QCOMPARE(option.SelLPT->currentIndex(), static_cast<int>(InterfaceKind::UART));
            option.SelLPT->setCurrentIndex(static_cast<int>(InterfaceKind::SPI));
            option.BtClose->click();
        }
        QVERIFY(ReadSettings(dir.path()).startsWith("DMM V1.40\r\n   0   1   0   0   0\r\n"));
    }

    void theFilesRecordsReachTheBenchAndTheWindows() {
        QTemporaryDir dir;
        VzAdcConfig c;
        c.interfaceKind = static_cast<int>(InterfaceKind::Parallel);
        c.CLPT = 2;
        c.NPointIndex = SamplePointItemOf(128);
        c.TXScale = 10;
        c.CFunADC = 3;
        c.EREFV = "1.25";
        c.ADShift = 3;
        c.productVariant = 2;
        c.displayValue = 0;  // a 0 gives the defaults, 500000 and 50000
        c.displayReading = 50000;
        c.EModenum = "";
        const QString sets = QDir(dir.path()).filePath("sets");
        const QString otherSets = QDir(dir.path()).filePath("other sets");
        QVERIFY(QDir().mkpath(sets) && QDir().mkpath(otherSets));
        c.calibrationSetDirectory = QFile::encodeName(sets).toStdString();
        WriteSettings(dir.path(), FormatVzAdcConfig(c));
        {
            SimulatedProgram program(On(dir.path()));
            gui::TMainPanel& panel = program.panel();
            // "0B108": the input-capture panel shown. The chip description, read after the
            // variant, names the chip in the caption ("VZ6401").
            QTRY_COMPARE(panel.ChipTitle, QStringLiteral("VZ6401-DMM V1.40"));
            QCOMPARE(panel.windowTitle(), QStringLiteral("VZ6401-DMM V1.40"));
            QWidget* adf = panel.Child("TADF");
            QVERIFY(!adf->findChild<QWidget*>("Panel2")->isHidden());
            QVERIFY(adf->findChild<QWidget*>("PADFV2COV")->isHidden());
            QVERIFY(panel.Child("TMPN")->findChild<QWidget*>("Label1")->isHidden());
            // Record 6: PRN1, and the Parallel kind's port initialised there.
            uint16_t base = 0;
            bool open = false;
            int captureLength = 0;
            program.bench().RunAndWait([&](Bench& b) {
                base = b.core().parallel().PortBase;
                open = b.core().parallel().IsOpen();
                captureLength = b.analysis().settings().CaptureLength();
            });
            QCOMPARE(base, uint16_t{0x3BC});
            QVERIFY(open);
            gui::TOption& option = Dialog(program);
            QVERIFY(option.CLPT->isEnabled() && !option.TXBaud->isEnabled());
            QCOMPARE(option.CLPT->currentIndex(), 2);
            // A capture length of 128 starts as 256.
            QWidget* analysis = panel.Child("TAnxADC");
            QCOMPARE(analysis->findChild<QComboBox*>("NPointIndex")->currentIndex(),
                     SamplePointItemOf(256));
            QCOMPARE(captureLength, 256);
            QCOMPARE(analysis->findChild<QComboBox*>("TXScale")->currentIndex(), 10);
            QCOMPARE(analysis->findChild<QComboBox*>("CFunADC")->currentIndex(), 3);
            QCOMPARE(analysis->findChild<QLineEdit*>("EREFV")->text(), QStringLiteral("1.25"));
            QCOMPARE(panel.Child("TWeightCAL")->findChild<QComboBox*>("TXScale")->currentIndex(),
                     10);
            QCOMPARE(panel.Child("TWeightCAL")->findChild<QComboBox*>("ADShift")->currentIndex(),
                     3);
            // USBClient puts the same title before the chip's name and shows the bench's
            // choices in the dialog again.
            {
                const QSignalBlocker quiet(option.SelLPT);
                option.SelLPT->setCurrentIndex(static_cast<int>(InterfaceKind::UART));
            }
            panel.USBClient("VZ6401");
            QTRY_COMPARE(panel.windowTitle(),
                         QStringLiteral("VZ6401-DMM V1.40 ---- Now Chip is  VZ6401"));
            QTRY_COMPARE(option.SelLPT->currentIndex(), static_cast<int>(InterfaceKind::Parallel));
            // Record 14: the empty mode count is 48, and the mode table has its rows.
            auto* tmp = qobject_cast<gui::TTMP*>(panel.Child("TTMP"));
            QVERIFY(tmp);
            QCOMPARE(tmp->EModenum->text(), QStringLiteral("48"));
            QCOMPARE(tmp->RegChg->rowCount(), 48 + 1);
            // Record 16: "SETDMM" opens on the remembered folder.
            auto* setdmm = qobject_cast<gui::TSETDMM*>(panel.Child("TSETDMM"));
            QVERIFY(setdmm);
            panel.MenuItem("SETDMM1")->trigger();
            QCOMPARE(setdmm->folder(), sets);
            // What the user changes before closing is what the next start finds.
            tmp->EModenum->setText("12");
            setdmm->DFoldersChange(otherSets);
        }
        // The display pair, which no window of this build holds, is written back as it
        // was read: the defaults for the 0.
        VzAdcConfig back;
        QVERIFY(ReadVzAdcConfig(ReadSettings(dir.path()), back).versionMatched);
        QCOMPARE(QFile::decodeName(QByteArray::fromStdString(back.calibrationSetDirectory)),
                 otherSets);
        QCOMPARE(back.EModenum, std::string("12"));
        QCOMPARE(back.displayValue, 500000);
        QCOMPARE(back.displayReading, 50000);
        QCOMPARE(back.productVariant, 2);
        QCOMPARE(back.NPointIndex, SamplePointItemOf(256));
        QCOMPARE(back.CLPT, 2);
    }
};

DMM_QTEST(SetupDialogTest);

}  // namespace dmm::test

#include "setup_dialog_test.moc"
