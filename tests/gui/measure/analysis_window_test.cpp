#include <QFile>
#include <QSignalSpy>
#include <QDir>
#include <QTest>

#include <memory>

#include "core/analog/block_field_ops.h"
#include "gui/measure/adc_chart_view.h"
#include "gui/measure/sample_grid_model.h"
#include "gui/measure/t_anx_adc.h"
#include "support/qtest_registry.h"
#include "support/simulated_program.h"

namespace dmm::test {

// The analysis window on the simulated DMM chip, through its own buttons.
class AnalysisWindowTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<SimulatedProgram> program_;
    gui::TMainPanel* panel_ = nullptr;
    gui::TAnxADC* window_ = nullptr;

    void SetField(const char* name, int value) {
        program_->bench().RunAndWait([&](Bench& b) {
            const TRegField* field = b.core().chipModel().Field(name);
            QVERIFY2(field && field->IsDefined(), name);
            QVERIFY(WriteFieldValue(b.chip(), *field, value));
        });
    }

    // Runs one capture of 4096 ADC1 samples and checks what the window shows.
    void CaptureAndCheck() {
        QSignalSpy finished(window_, &gui::TAnxADC::CaptureFinished);
        window_->CatchADC1->click();
        QVERIFY(window_->capturing());
        QVERIFY(!panel_->MenuItem("Menu_ReadRAM")->isEnabled());  // menus locked during the capture
        QVERIFY(finished.wait(60000));
        QVERIFY(!window_->capturing());
        QVERIFY(panel_->MenuItem("Menu_ReadRAM")->isEnabled());
        QCOMPARE(panel_->StatusText(2), QString("Read Compelete"));

        auto* grid = qobject_cast<gui::SampleGridModel*>(window_->MemoryF->model());
        QCOMPARE(grid->rowCount(), 4096 / 16);
        QCOMPARE(grid->shownCount(), 4096);
        QVERIFY(!grid->CellText(4095).isEmpty());
        QCOMPARE(window_->Chart1->pointCount(), 4096);
        QCOMPARE(window_->Chart1->title(), QString("Time Domain"));
        // A converter with realistic noise: every figure is a number, ENOB well below 24.
        const double enob = window_->TXENOB->text().toDouble();
        QVERIFY2(enob > 12.0 && enob < 22.0, qPrintable(window_->TXENOB->text()));
        QVERIFY(window_->TXNFREE->text().toDouble() > 8.0);
        QVERIFY(window_->TXNFREE->text().toDouble() < enob);
        QVERIFY(window_->TXVPP->text().toDouble() > 0.0);
        QVERIFY(window_->TXNrms->text().toDouble() > 0.0);
        QVERIFY(window_->TXVPP->text().toDouble() > window_->TXNrms->text().toDouble());
        QVERIFY(!window_->TXOffset->text().isEmpty());
    }

  private slots:
    void init() {
        program_ = std::make_unique<SimulatedProgram>();
        panel_ = &program_->panel();
        panel_->MenuItem("USBScan")->trigger();
        QTRY_COMPARE(panel_->StatusText(0), QString("USB On Line"));
        window_ = qobject_cast<gui::TAnxADC*>(panel_->Child("TAnxADC"));
        QVERIFY(window_);
        panel_->MenuItem("Menu_ReadAdc")->trigger();
        // ADC1 on, its references on different nodes, the fastest oversampling.
        SetField("ENAD_S", 1);
        SetField("S_AD1RL", 2);
        SetField("AD1OSR", 0);
        window_->NPointIndex->setCurrentIndex(6);  // 4096
    }

    void cleanup() { program_.reset(); }

    void captureInBothModesFillsGridChartAndFiguresAndSavesBothFiles() {
        window_->ShowChartClick();  // the chart follows the capture
        QCOMPARE(window_->ShowChart->text(), QString("Chang to vaule"));
        CaptureAndCheck();
        window_->ENInterrupt->setChecked(true);
        CaptureAndCheck();

        QSignalSpy saved(window_, &gui::TAnxADC::Saved);
        const QDir dir(program_->benchDir());
        const QString path = dir.filePath("block.csv");
        window_->SaveTo(path);
        QVERIFY(saved.wait(10000));
        QCOMPARE(saved.first().at(0).toBool(), true);
        for (const QString& name : {path, dir.filePath("VzADCHex.CSV")}) {
            QFile file(name);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
            QCOMPARE(file.readAll().count("\r\n"), 4096 / 16 + 2);
        }
    }

    void aSecondClickStopsTheCapture() {
        window_->NPointIndex->setCurrentIndex(10);  // 65536: far longer than the test waits
        QSignalSpy finished(window_, &gui::TAnxADC::CaptureFinished);
        window_->CatchADC1->click();
        QTest::qWait(300);
        QVERIFY(window_->capturing());
        window_->BADC->click();  // any capture button stops
        QVERIFY(finished.wait(5000));
        QCOMPARE(panel_->StatusText(2), QString("Read Error !!!!!"));
        auto* grid = qobject_cast<gui::SampleGridModel*>(window_->MemoryF->model());
        QVERIFY(grid->shownCount() > 0);
        QVERIFY(grid->shownCount() < 65536);
    }
};

DMM_QTEST(AnalysisWindowTest);

}  // namespace dmm::test

#include "analysis_window_test.moc"
