#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <mutex>

#include "core/views/big5_text.h"
#include "gui/analog/switch_grid_model.h"
#include "gui/analog/t_weight_cal.h"
#include "gui/views/panel_style.h"
#include "sim/switch_test_firmware.h"
#include "support/qtest_registry.h"
#include "support/simulated_program.h"

namespace dmm::test {

// "Switch Test" on the simulated RX405 over the Special interface, through its controls.
class SwitchTestWindowTest : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir dir_;
    std::unique_ptr<SimulatedProgram> program_;
    gui::TWeightCAL* window_ = nullptr;

    // Three channels on AIN1, AIN4 and AIN6; 8 samples a step, 4 loops.
    void WriteStepFile() {
        SwitchTestSetup setup;
        setup.evStepLenIndex = 3;
        setup.loopStepIndex = 2;
        const uint8_t pins[] = {1, 4, 6};
        for (int k = 0; k < 3; ++k) {
            setup.enabled[static_cast<size_t>(k)] = true;
            setup.values[static_cast<size_t>(k)][2] = pins[k];
        }
        QFile file(dir_.filePath("StepADC.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(StepFileBytes(setup));
    }

    void Start() {
        gui::BenchOptions options;
        options.simChip = "RX405";
        options.kind = InterfaceKind::Special;
        options.dir = dir_.path();
        program_ = std::make_unique<SimulatedProgram>(options);
        window_ = qobject_cast<gui::TWeightCAL*>(program_->panel().Child("TWeightCAL"));
        QVERIFY(window_);
        program_->panel().MenuItem("USBScan")->trigger();
        QTRY_COMPARE(program_->panel().StatusText(0), QString("USB On Line"));
        program_->panel().MenuItem("MCALW")->trigger();
        QVERIFY(window_->isVisible());
    }

    sim::SwitchTestFirmware& Firmware() {
        return dynamic_cast<sim::SwitchTestFirmware&>(program_->sim().chip());
    }

    gui::SwitchGridModel* Grid() {
        return static_cast<gui::SwitchGridModel*>(window_->SGDS->model());
    }

    SwitchTestEnd RunTest() {
        QSignalSpy finished(window_, &gui::TWeightCAL::TestFinished);
        window_->TestBegin->click();
        if (!finished.wait(60000)) return SwitchTestEnd::Busy;
        return finished.first().at(0).value<SwitchTestEnd>();
    }

  private slots:
    void init() { WriteStepFile(); }
    void cleanup() { program_.reset(); }

    void theStepTableLoadsAtStartUpARunFillsTheGridAndCloseSavesTheTable() {
        Start();
        QTRY_VERIFY(window_->SwitCh[2]->isChecked());
        QVERIFY(window_->SwitCh[0]->isChecked() && !window_->SwitCh[3]->isChecked());
        QCOMPARE(window_->EvStepLen->currentText(), QString("8"));
        QCOMPARE(window_->LoopStep->currentText(), QString("4"));
        QVERIFY(!window_->PSwitchSet[3]->isEnabled());
        QCOMPARE(window_->PSwitchSet[3]->TextColour(), gui::panel_colour::kSilver);

        QCOMPARE(RunTest(), SwitchTestEnd::Complete);
        QCOMPARE(program_->panel().StatusText(2), QString("Test OK"));
        QCOMPARE(Grid()->columnCount(), 8);
        QCOMPARE(Grid()->rowCount(), 4);
        QCOMPARE(Grid()->headerData(7, Qt::Horizontal, Qt::DisplayRole).toString(), QString("8"));
        // STEP-1 shows channel 1 (AIN1, 0.2 V of 1.2 V), STEP-2 channel 2 (AIN4, 0.5 V).
        QVERIFY(std::abs(Grid()->CellText(3, 7).toDouble() - 0.2 / 1.2 * 8388608) < 3000);
        emit window_->PStep[1]->Clicked();
        QTRY_VERIFY(std::abs(Grid()->CellText(0, 0).toDouble() - 0.5 / 1.2 * 8388608) < 3000);
        QCOMPARE(window_->PStep[1]->Background(), gui::panel_colour::kBlue);
        QVERIFY(!window_->PStep[1]->Raised());
        QCOMPARE(window_->PStep[0]->Background(), gui::panel_colour::kButtonFace);

        QSignalSpy saved(window_, &gui::TWeightCAL::Saved);
        window_->SaveExcel->click();
        QVERIFY(saved.wait(10000));
        QVERIFY(saved.first().at(0).toBool());
        for (int k = 0; k < 8; ++k)
            QVERIFY(QFile::exists(dir_.filePath(QStringLiteral("VzADCSW%1.CSV").arg(k))));

        // Channel 4 ticked, STEP-2 chosen: both in the step table after a restart.
        window_->SwitCh[3]->click();
        QTRY_VERIFY(window_->PSwitchSet[3]->isEnabled());
        program_.reset();
        QFile file(dir_.filePath("StepADC.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines[1], QByteArray("   1   1   1   1   0   0   0   0\r"));
        QCOMPARE(lines[11], QByteArray("   1\r"));
        Start();
        QTRY_VERIFY(window_->SwitCh[3]->isChecked());
        QCOMPARE(window_->PStep[1]->Background(), gui::panel_colour::kBlue);
        QCOMPARE(Grid()->CellText(0, 0), QString());  // the grid starts empty
    }

    void stopDuringTheWaitFailsTheTestAndTheWindowIsReadyAgain() {
        Start();
        {
            std::lock_guard lock(program_->sim().board().mutex());
            Firmware().faults().neverFinishes = true;
        }
        QSignalSpy finished(window_, &gui::TWeightCAL::TestFinished);
        window_->TestBegin->click();
        QTRY_COMPARE(program_->panel().StatusText(2), QString("Test Begining ......."));
        QVERIFY(!window_->TestBegin->isEnabled());
        QTRY_COMPARE(program_->panel().StatusText(1), QString("1"));
        window_->PSTP->click();
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().at(0).value<SwitchTestEnd>(), SwitchTestEnd::Stopped);
        QTRY_COMPARE(program_->panel().StatusText(2), QString("Test Fail"));
        QVERIFY(window_->TestBegin->isEnabled());
    }

    void aSetUpThatReadsBackDifferentlyShowsTheErrorBox() {
        Start();
        {
            std::lock_guard lock(program_->sim().board().mutex());
            Firmware().faults().setupReadBackDiffers = true;
        }
        window_->SendTORX405->click();
        QTRY_COMPARE(program_->panel().StatusText(2), QString("Data Send Fail"));
        QMessageBox* box = nullptr;
        QTRY_VERIFY((box = program_->panel().findChild<QMessageBox*>()) != nullptr);
        QCOMPARE(box->text(), QString("Data Send Fail!!"));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        box->close();
    }

    void bothScaleSelectorsShowOneScale() {
        Start();
        auto* analysisScale = program_->panel().Child("TAnxADC")->findChild<QComboBox*>("TXScale");
        QVERIFY(analysisScale);
        window_->TXScale->setCurrentIndex(0);  // "8"
        QCOMPARE(analysisScale->currentIndex(), 0);
        AnalysisScale scale;
        program_->bench().RunAndWait([&](Bench& b) { scale = b.core().adc().scale; });
        QCOMPARE(scale.divisor, 65536);
        QCOMPARE(scale.analysisBits, 7);
        analysisScale->setCurrentIndex(12);
        QCOMPARE(window_->TXScale->currentIndex(), 12);
    }

    void theLabelsAreTheBig5TextsOfTheBench() {
        Start();
        QStringList texts;
        for (auto* label : window_->findChildren<QLabel*>()) texts << label->text();
        for (const char* big5 : {"\xA8\x43\xA6\xB8\xA8\xFA\xBC\xCB\xB5\xA7\xBC\xC6",
                                 "\xC1\x60\xA6\x40\xB4\x60\xC0\xF4\xA6\xB8\xBC\xC6"}) {
            const QString text = FromBig5(QByteArray(big5));
            QVERIFY2(texts.contains(text), qPrintable(text));
        }
        QVERIFY(texts.contains("Scale"));
        QVERIFY(!window_->ADShift->isVisible());
        QCOMPARE(window_->ADShift->currentText(), QString("shift 7"));
        QCOMPARE(window_->ADShift->count(), 17);
    }
};

DMM_QTEST(SwitchTestWindowTest);

}  // namespace dmm::test

#include "switch_test_window_test.moc"
