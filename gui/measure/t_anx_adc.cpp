#include "gui/measure/t_anx_adc.h"

#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QStackedLayout>
#include <QStyle>
#include <QVBoxLayout>

#include "core/app/bench.h"
#include "core/measure/adc_csv.h"
#include "core/measure/capture_provenance.h"
#include "core/measure/fixed_text.h"
#include "gui/app/t_main_panel.h"
#include "gui/measure/adc_chart_view.h"
#include "gui/measure/adc_histogram_view.h"
#include "gui/measure/capture_workbook.h"
#include "gui/measure/figure_panel.h"
#include "gui/measure/sample_grid_model.h"

namespace dmm::gui {
namespace {

constexpr int kMinimumWidth = 714;
constexpr int kMinimumHeight = 277;
constexpr int kDisplayRateMs = 33;  // the chart and grid follow a capture at ~30 frames/s

QLabel* ResultPanel(const char* name, QWidget* parent) {
    auto* panel = new QLabel(parent);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    panel->setMinimumWidth(120);
    panel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return panel;
}

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

// Everything the window shows after an analysis, copied on the bench thread.
AnalysisView ViewOf(Bench& bench, bool withChart) {
    AdcAnalysis& analysis = bench.analysis();
    AnalysisView view;
    view.results = analysis.data().results;
    view.rootMeanSquare = analysis.rootMeanSquare();
    view.cellCount = analysis.cellCount();
    view.format = analysis.cellFormat();
    view.validCount = analysis.validCount();
    auto cells = std::make_shared<std::vector<double>>(static_cast<size_t>(view.cellCount));
    for (int i = 0; i < view.cellCount; ++i) (*cells)[static_cast<size_t>(i)] = analysis.Cell(i);
    CaptureOutcome outcome = analysis.Outcome();
    view.hasSamples = outcome.HasSamples();
    view.addedRows = std::move(outcome.added);
    view.warnings = std::move(outcome.warnings);
    view.endNotice = outcome.EndNotice();
    view.histogram = BuildHistogram(*cells, view.results.mean, view.results.rmsNoiseCounts);
    view.cells = std::move(cells);
    if (withChart) {
        view.chartIncluded = true;
        view.chart = BuildAdcChart(analysis, view.validCount);
    }
    return view;
}

}  // namespace

TAnxADC::TAnxADC(Bench& bench, TMainPanel& mainPanel, QWidget* parent)
    : QWidget(parent), bench_(bench), mainPanel_(mainPanel), grid_(new SampleGridModel(this)) {
    setObjectName("TAnxADC");
    setWindowTitle("Analyse ADC");
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    benchDir_ = bench.benchDir;

    // The main panel: a band of buttons, below it the grid or the chart in the same place.
    auto* mainArea = new QWidget(this);
    mainArea->setObjectName("MainPanel");
    auto* mainLayout = new QVBoxLayout(mainArea);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);
    QWidget* band = BuildControls();
    band->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    mainLayout->addWidget(band);
    auto* stack = new QStackedLayout;
    displayStack_ = stack;
    MemoryF = new QTableView(mainArea);
    MemoryF->setObjectName("MemoryF");
    MemoryF->setModel(grid_);
    MemoryF->verticalHeader()->setDefaultSectionSize(20);
    MemoryF->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    MemoryF->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MemoryF->setFont(QFont("Monospace", 9));
    Chart1 = new AdcChartView(mainArea);
    Histogram = new AdcHistogramView(mainArea);
    stack->addWidget(MemoryF);
    stack->addWidget(Chart1);
    stack->addWidget(Histogram);
    mainLayout->addLayout(stack, 1);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(mainArea, 1);
    layout->addWidget(BuildSettings());
    Figures = new FigurePanel(this);
    // Both columns as wide as their rows need at the font in use.
    Figures->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    Figures->SetConventions(
        FigurePanel::ConventionsText(OriginalFigureRows({}, false), AddedFigureConventions()));
    layout->addWidget(Figures);

    connect(CatchADC1, &QPushButton::clicked, this, &TAnxADC::CatchADC1Click);
    connect(CatchADC2, &QPushButton::clicked, this, &TAnxADC::CatchADC2Click);
    connect(BADC, &QPushButton::clicked, this, &TAnxADC::BADCClick);
    connect(CatchD, &QPushButton::clicked, this, &TAnxADC::CatchDClick);
    connect(FTChange, &QPushButton::clicked, this, &TAnxADC::FTChangeClick);
    connect(ShowChart, &QPushButton::clicked, this, &TAnxADC::ShowChartClick);
    connect(SaveData, &QPushButton::clicked, this, &TAnxADC::SaveDataClick);
    connect(NPointIndex, &QComboBox::currentIndexChanged, this, &TAnxADC::NPointIndexChange);
    connect(TXScale, &QComboBox::currentIndexChanged, this, &TAnxADC::SendSettings);
    // The channel switch test's selector shows the same scale.
    connect(TXScale, &QComboBox::currentIndexChanged, this,
            [this](int index) { mainPanel_.SelectChildComboItem("TWeightCAL", "TXScale", index); });
    connect(ComFun, &QComboBox::currentIndexChanged, this, &TAnxADC::SendSettings);
    connect(CFunADC, &QComboBox::currentIndexChanged, this, &TAnxADC::SendSettings);
    connect(ENInterrupt, &QCheckBox::toggled, this, &TAnxADC::SendSettings);
    connect(CMAVR, &QComboBox::currentIndexChanged, this, &TAnxADC::CMAVRChange);
    connect(SpectrumWindow, &QComboBox::currentIndexChanged, this, &TAnxADC::SpectrumOptionsChange);
    connect(SpectrumAverages, &QComboBox::currentIndexChanged, this,
            &TAnxADC::SpectrumOptionsChange);
    connect(ShowHistogram, &QPushButton::toggled, this, &TAnxADC::ShowDisplay);
    connect(SaveReport, &QPushButton::clicked, this, &TAnxADC::SaveReportClick);

    monitorTimer_.setInterval(kDisplayRateMs);
    connect(&monitorTimer_, &QTimer::timeout, this, &TAnxADC::PollCapture);

    grid_->SetCaptureLength(CurrentSettings().CaptureLength());
    FitGridColumns();
    ShowFigures({});
    EnableSaving();
    resize(1190, 580);
}

QWidget* TAnxADC::BuildControls() {
    // Two rows, the captures and the histogram above the views and the files: in one row
    // the buttons alone would make the window wider than a main window of 1280 pixels.
    auto* band = new QWidget(this);
    auto* rows = new QVBoxLayout(band);
    rows->setContentsMargins(0, 4, 0, 4);
    rows->setSpacing(4);
    auto* captures = new QHBoxLayout;
    auto* views = new QHBoxLayout;
    rows->addLayout(captures);
    rows->addLayout(views);
    CatchADC1 = Button("CatchADC1", "ADCS", band);
    CatchADC2 = Button("CatchADC2", "ADCF", band);
    BADC = Button("BADC", "AVG", band);
    CatchD = Button("CatchD", "RMS", band);
    for (QPushButton* b : {CatchADC1, CatchADC2, BADC, CatchD}) {
        b->setToolTip(tr("Capture from this converter; click again to stop"));
        captures->addWidget(b);
    }
    captures->addSpacing(16);
    ShowHistogram = Button("ShowHistogram", tr("Histogram"), band);
    ShowHistogram->setCheckable(true);
    ShowHistogram->setToolTip(tr("The block's histogram with the Gaussian of its mean and sigma"));
    captures->addWidget(ShowHistogram);
    captures->addStretch(1);
    FTChange = Button("FTChange", "Change FFT ", band);
    ShowChart = Button("ShowChart", "Chang to Chart", band);
    SaveData = Button("SaveData", "Save to CSV", band);
    SaveReport = Button("SaveReport", tr("Save Report"), band);
    SaveReport->setToolTip(
        tr("Samples, figures with how they are computed, and the chart, "
           "as an .xlsx workbook"));
    views->addWidget(FTChange);
    views->addWidget(ShowChart);
    views->addSpacing(16);
    views->addWidget(SaveData);
    views->addWidget(SaveReport);
    views->addStretch(1);
    return band;
}

QWidget* TAnxADC::BuildSettings() {
    auto* panel = new QWidget(this);
    panel->setObjectName("PanelSetting");
    panel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* form = new QFormLayout(panel);
    form->setContentsMargins(8, 4, 4, 4);

    NPointIndex = new QComboBox(panel);
    NPointIndex->setObjectName("NPointIndex");
    for (int n : kSamplePointItems) NPointIndex->addItem(QString::number(n));
    NPointIndex->setCurrentIndex(kDefaultSamplePointIndex);
    form->addRow("Sample Point", NPointIndex);

    TXScale = new QComboBox(panel);
    TXScale->setObjectName("TXScale");
    for (int b = kMinResultBits; b <= kMaxResultBits; ++b) TXScale->addItem(QString::number(b));
    TXScale->setMaxVisibleItems(kScaleItemCount);
    TXScale->setCurrentIndex(kScaleItemCount - 1);
    form->addRow("Scale", TXScale);

    ENInterrupt = new QCheckBox("Interrupt", panel);
    ENInterrupt->setObjectName("ENInterrupt");
    form->addRow(QString(), ENInterrupt);

    EREFV = new QLineEdit(kDefaultReferenceText, panel);
    EREFV->setObjectName("EREFV");
    form->addRow("Ref Volt", EREFV);

    CMAVR = new QComboBox(panel);
    CMAVR->setObjectName("CMAVR");
    for (int r : kAverageItems) CMAVR->addItem(QString::number(r));
    form->addRow("Avr. Times", CMAVR);

    SpectrumWindow = new QComboBox(panel);
    SpectrumWindow->setObjectName("SpectrumWindow");
    for (int w = 0; w < kSpectrumWindowCount; ++w) {
        const std::string_view name = ShapeOf(static_cast<dmm::SpectrumWindow>(w)).name;
        SpectrumWindow->addItem(
            QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    }
    SpectrumWindow->setToolTip(
        tr("Window of the spectrum and its figures (Rectangular is the program's own spectrum); "
           "the figures are corrected for its coherent gain and noise bandwidth"));
    form->addRow(tr("Window"), SpectrumWindow);
    SpectrumAverages = new QComboBox(panel);
    SpectrumAverages->setObjectName("SpectrumAverages");
    for (int n : kSpectrumAverageItems) SpectrumAverages->addItem(QString::number(n));
    SpectrumAverages->setToolTip(
        tr("Spectra averaged: the block is cut into this many segments whose spectra are "
           "averaged, for a smoother noise floor"));
    form->addRow(tr("Spectra"), SpectrumAverages);

    CFunADC = new QComboBox(panel);
    CFunADC->setObjectName("CFunADC");
    for (std::string_view item : kCFunADCItems)
        CFunADC->addItem(QString::fromLatin1(item.data(), item.size()));
    form->addRow("Function", CFunADC);

    ComFun = new QComboBox(panel);
    ComFun->setObjectName("ComFun");
    for (std::string_view item : kComFunItems)
        ComFun->addItem(QString::fromLatin1(item.data(), item.size()));
    form->addRow("Registers", ComFun);

    TXENOB = ResultPanel("TXENOB", panel);
    form->addRow("ENOB", TXENOB);
    // Vrms lies under "Noise Free" in the same place; only "Noise Free" is visible.
    auto* noiseFree = new QWidget(panel);
    noiseFree->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* stack = new QStackedLayout(noiseFree);
    stack->setStackingMode(QStackedLayout::StackAll);
    stack->setContentsMargins(0, 0, 0, 0);
    TXVRMS = ResultPanel("TXVRMS", noiseFree);
    TXNFREE = ResultPanel("TXNFREE", noiseFree);
    stack->addWidget(TXVRMS);
    stack->addWidget(TXNFREE);
    stack->setCurrentWidget(TXNFREE);
    TXVRMS->hide();
    form->addRow("Noise Free", noiseFree);
    TXOffset = ResultPanel("TXOffset", panel);
    form->addRow("Average", TXOffset);
    TXVPP = ResultPanel("TXVPP", panel);
    form->addRow("Vp-p Noise", TXVPP);
    TXNrms = ResultPanel("TXNrms", panel);
    form->addRow("RMS Noise", TXNrms);

    // How each of the program's figures is computed, on the figure itself.
    const std::vector<FigureRow> own = OriginalFigureRows({}, false);
    auto how = [&](const char* key) {
        for (const FigureRow& row : own) {
            if (row.key == key) return row.convention;
        }
        return QString();
    };
    const QString sigma = QStringLiteral("; sigma = sqrt(sum (c - mean)^2 / N), divides by N");
    TXENOB->setToolTip(how("Enob") + sigma);
    TXNFREE->setToolTip(how("Noise Free") + QStringLiteral("; VPP(count): ") + how("VPP(count)"));
    TXVRMS->setToolTip(tr("root mean square of the grid values: sqrt(sum c^2 / N)"));
    TXOffset->setToolTip(how("mean"));
    TXVPP->setToolTip(how("VPP(nV)") + QStringLiteral("; VPP(count): ") + how("VPP(count)"));
    TXNrms->setToolTip(how("RMS Noise(nV)") + sigma);
    return panel;
}

CaptureSettings TAnxADC::CurrentSettings() const {
    CaptureSettings s;
    s.NPointIndex = NPointIndex->currentIndex();
    s.TXScale = TXScale->currentIndex();
    s.ENInterrupt = ENInterrupt->isChecked();
    s.EREFV = EREFV->text();
    s.CMAVR = CMAVR->currentIndex();
    s.CFunADC = CFunADC->currentIndex();
    s.ComFun = ComFun->currentIndex() == 1 ? ComFunChoice::Dmm : ComFunChoice::Scale;
    s.spectrumWindow =
        static_cast<dmm::SpectrumWindow>(std::max(SpectrumWindow->currentIndex(), 0));
    s.spectrumAverages =
        kSpectrumAverageItems[static_cast<size_t>(std::max(SpectrumAverages->currentIndex(), 0))];
    return s;
}

void TAnxADC::SendSettings() {
    const CaptureSettings settings = CurrentSettings();
    bench_.Post(
        [settings](Bench& bench) { bench.analysis().SetSettings(bench.WithChipLayout(settings)); });
}

void TAnxADC::NPointIndexChange() {
    grid_->SetCaptureLength(CurrentSettings().CaptureLength());
    SendSettings();
}

void TAnxADC::CatchADC1Click() {
    StartOrStop(CaptureSource::ADCS);
}
void TAnxADC::CatchADC2Click() {
    StartOrStop(CaptureSource::ADCF);
}
void TAnxADC::BADCClick() {
    StartOrStop(CaptureSource::AVG);
}
void TAnxADC::CatchDClick() {
    StartOrStop(CaptureSource::RMS);
}

void TAnxADC::SetCaptureLock(bool locked) {
    mainPanel_.SetCaptureLock(locked);
    ShowChart->setEnabled(!locked);
    EnableSaving();
}

void TAnxADC::EnableSaving() {
    // A capture without samples has nothing to save: its files would replace real ones.
    SaveData->setEnabled(!capturing_ && hasSamples_);
    SaveReport->setEnabled(!capturing_ && hasSamples_);
}

void TAnxADC::StartOrStop(CaptureSource source) {
    // A second click on any capture button stops the running capture.
    if (capturing_) {
        bench_.analysis().RequestStop();
        return;
    }
    capturing_ = true;
    SetCaptureLock(true);
    ShowFigures({});
    shownCount_ = -1;
    monitorTimer_.start();
    const CaptureSettings settings = CurrentSettings();
    const bool chartShown = Chart1->isVisible();
    bench_.Call(
        [settings, source, chartShown](Bench& bench) {
            AdcAnalysis& analysis = bench.analysis();
            analysis.SetSettings(bench.WithChipLayout(settings));
            analysis.CatchACDCOM(settings.EREFV, source);
            return ViewOf(bench, chartShown);
        },
        this,
        [this](const AnalysisView& view) {
            monitorTimer_.stop();
            capturing_ = false;
            ShowAnalysis(view);
            SetCaptureLock(false);
            emit CaptureFinished();
        });
}

void TAnxADC::PollCapture() {
    const CaptureSnapshot snapshot = bench_.analysis().monitor().Latest();
    if (!snapshot.samples ||
        (snapshot.generation == shownGeneration_ && snapshot.count == shownCount_))
        return;
    shownGeneration_ = snapshot.generation;
    shownCount_ = snapshot.count;
    grid_->SetLiveSamples(snapshot.samples, snapshot.count, snapshot.divisor,
                          CellFormatOf(snapshot.source));
    FitGridColumns();
    // The chart follows the capture in time-domain mode only, from the snapshot.
    if (Chart1->isVisible() && FTChange->text() != "Change Freq.") Chart1->DrawLive(snapshot);
}

void TAnxADC::ShowFigures(const AnalysisView& view) {
    // Figures over no samples are not figures: dashes, not a perfect 24 bits.
    auto text = [&](double v) {
        return view.hasSamples ? QString::fromStdString(FixedText(v, 6)) : QStringLiteral("----");
    };
    const AnalysisResults& r = view.results;
    TXENOB->setText(text(r.enob));
    TXNFREE->setText(text(r.noiseFreeBits));
    TXVRMS->setText(text(view.rootMeanSquare));
    TXOffset->setText(text(r.mean));
    TXVPP->setText(text(r.vppNanovolts));
    TXNrms->setText(text(r.rmsNoiseNanovolts));
    Figures->ShowRows(view.addedRows, view.warnings, view.endNotice);
}

void TAnxADC::ShowAnalysis(const AnalysisView& view) {
    ShowFigures(view);
    hasSamples_ = view.hasSamples;
    EnableSaving();
    grid_->SetCells(view.cells, view.cellCount, view.format);
    FitGridColumns();
    if (view.chartIncluded) Chart1->Draw(view.chart);
    Histogram->Draw(view.histogram);
}

void TAnxADC::FitGridColumns() {
    // The columns share the grid's width but are never narrower than the widest number
    // of the format: a wide block scrolls instead of showing "698540.6250...".
    const int margin =
        2 * (MemoryF->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, MemoryF) + 1);
    const int width =
        QFontMetrics(MemoryF->font()).horizontalAdvance(grid_->WidestCellText()) + margin + 1;
    if (MemoryF->horizontalHeader()->minimumSectionSize() != width)
        MemoryF->horizontalHeader()->setMinimumSectionSize(width);
}

void TAnxADC::ShowDisplay() {
    if (ShowHistogram->isChecked())
        displayStack_->setCurrentWidget(Histogram);
    else
        displayStack_->setCurrentWidget(chartShown_ ? static_cast<QWidget*>(Chart1) : MemoryF);
}

void TAnxADC::SpectrumOptionsChange() {
    const CaptureSettings settings = CurrentSettings();
    const bool chartShown = Chart1->isVisible();
    bench_.Call(
        [settings, chartShown](Bench& bench) {
            bench.analysis().SetSettings(bench.WithChipLayout(settings));
            return ViewOf(bench, chartShown);
        },
        this,
        [this](const AnalysisView& view) {
            ShowAnalysis(view);
            emit SpectrumChanged();
        });
}

void TAnxADC::RedrawChart() {
    bench_.Call(
        [](Bench& bench) { return BuildAdcChart(bench.analysis(), bench.analysis().validCount()); },
        this, [this](const AdcChart& chart) { Chart1->Draw(chart); });
}

void TAnxADC::FTChangeClick() {
    bench_.Call(
        [](Bench& bench) {
            AdcData& data = bench.analysis().data();
            data.spectrumView = !data.spectrumView;
            return data.spectrumView;
        },
        this,
        [this](bool spectrum) {
            FTChange->setText(spectrum ? "Change Freq." : "Change FFT");
            RedrawChart();
        });
}

void TAnxADC::ShowTable() {
    bench_.Post([](Bench& bench) { bench.analysis().data().spectrumView = false; });
    FTChange->setText("Change FFT");
    const QSignalBlocker quiet(ShowHistogram);
    ShowHistogram->setChecked(false);
    chartShown_ = false;
    ShowChart->setText("Chang to Chart");
    ShowDisplay();
}

void TAnxADC::ShowChartClick() {
    // From the histogram, the button goes on where it left the grid or the chart.
    const QSignalBlocker quiet(ShowHistogram);
    ShowHistogram->setChecked(false);
    chartShown_ = !chartShown_;
    if (chartShown_) {
        RedrawChart();
        ShowChart->setText("Chang to vaule");
    } else {
        ShowChart->setText("Chang to Chart");
    }
    ShowDisplay();
}

void TAnxADC::CMAVRChange() {
    const CaptureSettings settings = CurrentSettings();
    bench_.Call(
        [settings](Bench& bench) {
            bench.analysis().SetSettings(bench.WithChipLayout(settings));
            bench.analysis().ReCalADC();
            return ViewOf(bench, false);
        },
        this, [this](const AnalysisView& view) { ShowAnalysis(view); });
}

void TAnxADC::SaveDataClick() {
    const QString path = QFileDialog::getSaveFileName(
        this, "Save to CSV", QDir(benchDir_).filePath("VzADC.CSV"), "*.CSV");
    if (path.isEmpty()) return;  // cancelled: nothing written
    SaveTo(path);
}

void TAnxADC::SaveTo(const QString& path) {
    const QString hexPath = QDir(benchDir_.isEmpty() ? QFileInfo(path).absolutePath() : benchDir_)
                                .filePath(kHexCsvName);
    bench_.Call(
        [path, hexPath](Bench& bench) {
            QString error;
            const ProvenanceContext context =
                ReadProvenanceContext(bench.core(), bench.benchDir, bench.ConnectedInstruments());
            const bool ok = bench.analysis().SaveOut(path, hexPath, error, &context);
            return std::pair<bool, QString>(ok, ok ? QString() : error);
        },
        this,
        [this](const std::pair<bool, QString>& result) {
            if (!result.first) QMessageBox::warning(this, windowTitle(), result.second);
            emit Saved(result.first, result.second);
        });
}

void TAnxADC::SaveReportClick() {
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Save Report"), QDir(benchDir_).filePath("VzADC.xlsx"), "*.xlsx");
    if (path.isEmpty()) return;
    SaveReportTo(path);
}

void TAnxADC::SaveReportTo(const QString& path) {
    bench_.Call(
        [path](Bench& bench) {
            AdcAnalysis& analysis = bench.analysis();
            CaptureReport report;
            report.title =
                QStringLiteral("%1 capture: %2 samples, %3")
                    .arg(QString::fromLatin1(SourceInfo(analysis.lastSource()).caption.data()))
                    .arg(analysis.cellCount())
                    .arg(analysis.captureTime().toString(Qt::ISODate));
            for (int i = 0; i < analysis.cellCount(); ++i) report.cells.push_back(analysis.Cell(i));
            report.format = analysis.cellFormat();
            const CaptureOutcome outcome = analysis.Outcome();
            report.original = outcome.program;
            report.added = outcome.added;
            for (const QString& notice : outcome.Notices()) report.warnings.push_back(notice);
            report.chart = BuildAdcChart(analysis, analysis.validCount());
            QString error;
            const bool ok = WriteCaptureWorkbook(path, report, error);
            return std::pair<bool, QString>(ok, error);
        },
        this,
        [this](const std::pair<bool, QString>& result) {
            if (!result.first) QMessageBox::warning(this, windowTitle(), result.second);
            emit ReportSaved(result.first, result.second);
        });
}

void TAnxADC::ComFunChange() {
    const CaptureSettings settings = CurrentSettings();
    bench_.Post([settings](Bench& bench) {
        bench.analysis().SetSettings(bench.WithChipLayout(settings));
        bench.analysis().ComFunChange();
    });
}

}  // namespace dmm::gui
