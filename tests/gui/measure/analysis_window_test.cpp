#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <qcustomplot.h>

#include <memory>

#include "core/analog/block_field_ops.h"
#include "gui/measure/adc_chart_view.h"
#include "gui/measure/adc_histogram_view.h"
#include "gui/measure/figure_panel.h"
#include "gui/measure/sample_grid_model.h"
#include "gui/measure/t_anx_adc.h"
#include "sim/sim_options.h"
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

    void Capture() {
        QSignalSpy finished(window_, &gui::TAnxADC::CaptureFinished);
        window_->CatchADC1->click();
        QVERIFY(finished.wait(60000));
    }

    double Added(const char* key) const {
        bool ok = false;
        const double v = window_->Figures->ValueText(key).toDouble(&ok);
        return ok ? v : std::nan("");
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
        // The figures shown are of those samples only, and the window says so.
        const QString stopped = QString("stopped at %1 of 65536 samples").arg(grid->shownCount());
        QVERIFY2(window_->Figures->WarningsText().contains(stopped),
                 qPrintable(window_->Figures->WarningsText()));
    }

    void figuresFromNoSamplesAreDashesAndAStuckConverterIsFlagged() {
        // The link gone: the capture takes nothing, and no figure pretends otherwise.
        program_->bench().RunAndWait([](Bench& b) { b.link().CloseBoard(); });
        Capture();
        QCOMPARE(panel_->StatusText(2), QString("Read Error !!!!!"));
        for (QLabel* figure : {window_->TXENOB, window_->TXNFREE, window_->TXOffset, window_->TXVPP,
                               window_->TXNrms})
            QCOMPARE(figure->text(), QString("----"));
        QCOMPARE(window_->Figures->ValueText("ENOB IEEE 1241"), QString("----"));
        QVERIFY(!window_->TXENOB->toolTip().isEmpty());
        // Nothing to save: its files would replace real ones.
        QVERIFY(!window_->SaveData->isEnabled());
        QVERIFY(!window_->SaveReport->isEnabled());

        // Back on line, both references on one node: ADC1 rails at full scale.
        panel_->MenuItem("USBScan")->trigger();
        QTRY_COMPARE(panel_->StatusText(0), QString("USB On Line"));
        SetField("S_AD1RL", 0);
        window_->NPointIndex->setCurrentIndex(0);  // 64
        Capture();
        QCOMPARE(window_->TXENOB->text(), QString("24.000000"));
        QVERIFY(window_->SaveData->isEnabled());
        const QString warnings = window_->Figures->WarningsText();
        QVERIFY2(warnings.contains("saturated at full scale"), qPrintable(warnings));
        QVERIFY(warnings.contains("no noise: check the input and the scale"));
    }

    void aToneShowsItsFiguresMarkersHistogramAndReport() {
        sim::SimBenchOptions tone;
        std::string error;
        // Loud enough that the -70 dBc harmonic stands well clear of the noise of its lines.
        tone.tone = sim::ParseSimTone("0.5,50", error);
        tone.harmonicsDbc = sim::ParseHarmonics("-60,-70", error);
        QVERIFY(sim::ApplySimOptions(program_->sim(), tone, error));
        SetField("S_AD1IN", 3);                    // SENSE against AGND
        window_->NPointIndex->setCurrentIndex(5);  // 2048
        window_->ENInterrupt->setChecked(true);    // every conversion, evenly spaced
        window_->ShowChartClick();
        window_->FTChangeClick();
        QTRY_COMPARE(window_->FTChange->text(), QString("Change Freq."));
        Capture();

        QVERIFY2(std::abs(Added("H2 (dBc)") + 60.0) < 0.5,
                 qPrintable(window_->Figures->ValueText("H2 (dBc)")));
        QVERIFY(std::abs(Added("H3 (dBc)") + 70.0) < 0.5);
        QVERIFY(std::abs(Added("Fundamental (Hz)") - 50.0) < 1.0);
        QVERIFY(std::abs(Added("Fundamental (dBFS)") - 20 * std::log10(0.5 / 1.2)) < 0.1);
        QVERIFY(window_->Figures->WarningsText().contains("carries a tone"));
        QCOMPARE(window_->Chart1->title(), QString("Frequence Domain"));
        QVERIFY(window_->Chart1->rightAxisShown());
        QCOMPARE(window_->Chart1->markerLabels(), (QStringList{"F", "2", "3", "4", "5", "6"}));

        // Another window: the tone's level stays, the lines widen with averaging.
        QSignalSpy changed(window_, &gui::TAnxADC::SpectrumChanged);
        window_->SpectrumWindow->setCurrentIndex(3);    // flat top
        window_->SpectrumAverages->setCurrentIndex(2);  // 4 spectra
        QVERIFY(changed.wait(10000) || changed.size() > 0);
        QTRY_COMPARE(window_->Chart1->pointCount(), 2048 / 4 / 2);
        QVERIFY(std::abs(Added("Fundamental (dBFS)") - 20 * std::log10(0.5 / 1.2)) < 0.1);

        // The histogram in the chart's place, and back.
        window_->ShowHistogram->click();
        QVERIFY(window_->Histogram->isVisible());
        QVERIFY(!window_->Chart1->isVisible());
        auto* bars = qobject_cast<QCPBars*>(window_->Histogram->plot()->plottable(0));
        double total = 0;
        for (const QCPBarsData& bar : *bars->data()) total += bar.value;
        QCOMPARE(total, 2048.0);
        QVERIFY(window_->Histogram->curvePointCount() > 100);
        window_->ShowChartClick();  // leaves the histogram, shows the grid
        QVERIFY(!window_->ShowHistogram->isChecked());
        QVERIFY(window_->MemoryF->isVisible());

        // The report: the samples, the figures with how they are computed, the chart.
        QSignalSpy reported(window_, &gui::TAnxADC::ReportSaved);
        const QString path = QDir(program_->benchDir()).filePath("report.xlsx");
        window_->SaveReportTo(path);
        QVERIFY(reported.wait(20000));
        QVERIFY2(reported.first().at(0).toBool(), qPrintable(reported.first().at(1).toString()));
        auto unzip = [&](const char* member) {
            QProcess p;
            p.start("unzip", {"-p", path, member});
            p.waitForFinished(10000);
            return p.readAllStandardOutput();
        };
        const QByteArray workbook = unzip("xl/workbook.xml");
        for (const char* sheet : {"Samples", "Figures", "Chart"})
            QVERIFY2(workbook.contains(QByteArray("name=\"") + sheet + "\""), sheet);
        const QByteArray strings = unzip("xl/sharedStrings.xml");
        QVERIFY(strings.contains("How it is computed"));
        QVERIFY(strings.contains("(SINAD - 1.76) / 6.02"));
        QVERIFY(unzip("xl/worksheets/sheet1.xml").contains("<c r=\"B2049\""));  // 2048 samples
        QVERIFY(!unzip("xl/charts/chart1.xml").isEmpty());

        // The CSV files keep their format, and the record lies beside them.
        QSignalSpy saved(window_, &gui::TAnxADC::Saved);
        window_->SaveTo(QDir(program_->benchDir()).filePath("tone.csv"));
        QVERIFY(saved.wait(10000));
        QFile record(QDir(program_->benchDir()).filePath("tone.csv.json"));
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QJsonObject root = QJsonDocument::fromJson(record.readAll()).object();
        QCOMPARE(root["board"].toObject()["info"].toString(), QString("VZSIM140"));
        QCOMPARE(root["capture"].toObject()["spectrumWindow"].toString(), QString("Flat top"));
        QVERIFY(std::abs(root["figures"].toObject()["added"].toObject()["H2 (dBc)"].toDouble() +
                         60) < 0.5);
    }
};

DMM_QTEST(AnalysisWindowTest);

}  // namespace dmm::test

#include "analysis_window_test.moc"
