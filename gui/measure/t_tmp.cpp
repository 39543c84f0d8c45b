#include "gui/measure/t_tmp.h"

#include <qcustomplot.h>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "core/app/bench.h"
#include "core/app/script_files.h"
#include "core/measure/capture_source.h"

namespace dmm::gui {
namespace {

QString Fixed(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return QString::fromLatin1(text);
}

QString Cell(const QTableWidget* grid, int row, int column) {
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text().trimmed() : QString();
}

// The text a cell held before it was edited, to give back a value that is refused.
constexpr int kKeptTextRole = Qt::UserRole + 1;

void SetCell(QTableWidget* grid, int row, int column, const QString& text, bool editable = true) {
    auto* item = new QTableWidgetItem(text);
    item->setData(kKeptTextRole, text);
    if (!editable) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    grid->setItem(row, column, item);
}

QTableWidget* Grid(QWidget* parent, const char* name, int columns) {
    auto* grid = new QTableWidget(parent);
    grid->setObjectName(name);
    grid->setColumnCount(columns);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(20);
    // A column keeps its designed width and grows when a text set into it needs more:
    // measured cell by cell as they change, since a run and a loaded table set many.
    QObject::connect(
        grid->model(), &QAbstractItemModel::dataChanged, grid,
        [grid](const QModelIndex& from, const QModelIndex& to) {
            // As the view itself sizes a column to its contents: the delegate's size with
            // the style's margins, and the grid line.
            const int gridLine = grid->showGrid() ? 1 : 0;
            for (int c = from.column(); c <= to.column(); ++c) {
                int needed = grid->columnWidth(c);
                for (int r = from.row(); r <= to.row(); ++r) {
                    needed = std::max(
                        needed,
                        grid->sizeHintForIndex(grid->model()->index(r, c)).width() + gridLine);
                }
                if (needed > grid->columnWidth(c)) grid->setColumnWidth(c, needed);
            }
        });
    return grid;
}

QString TimeText(int64_t ms) {
    const int64_t minutes = ms / 60000;
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

TTMP::TTMP(Bench& bench, QWidget* parent) : QWidget(parent), bench_(bench) {
    setWindowTitle(QStringLiteral("Temperature Test"));
    BuildControls();
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TTMP::Timer1Timer);
    connect(&bench_.driftTest(), &DriftTest::Changed, this, &TTMP::ShowView);
    CADCBRY->setCurrentText(QStringLiteral("ADC"));
    Modenum(ModeCount());
    TMPCNTSETClick();
    TMPData->setColumnCount(5);
    SetCell(TMPData, 0, 1, QStringLiteral("平均值"), false);
    SetCell(TMPData, 0, 2, QStringLiteral("RMS"), false);
    SetCell(TMPData, 0, 3, QStringLiteral("Noise"), false);
    SetCell(TMPData, 0, 4, QStringLiteral("Enob"), false);
    resize(980, 720);
}

void TTMP::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    auto* settings = new QGridLayout;
    auto field = [&](QLineEdit*& edit, const char* name, const QString& text, const QString& label,
                     const QString& unit, int row, int column) {
        edit = new QLineEdit(text, this);
        edit->setObjectName(name);
        edit->setMaximumWidth(70);
        settings->addWidget(new QLabel(label, this), row, column * 3);
        settings->addWidget(edit, row, column * 3 + 1);
        if (!unit.isEmpty()) settings->addWidget(new QLabel(unit, this), row, column * 3 + 2);
    };
    field(ETempCount, "ETempCount", "5", QStringLiteral("輸入測試溫度數量"), {}, 0, 0);
    field(ETMPBG, "ETMPBG", "-40.0", QStringLiteral("輸入開始溫度"), QStringLiteral("攝氏度"), 1,
          0);
    field(ETMPScale, "ETMPScale", "10.0", QStringLiteral("輸入溫度隔數"), {}, 2, 0);
    field(EModenum, "EModenum", "1000", QStringLiteral("輸入最大測試模式數量"), {}, 0, 1);
    field(Edit2, "Edit2", "20", QStringLiteral("等待溫度穩定時間"), QStringLiteral("分"), 1, 1);
    field(PDlyT, "PDlyT", "2000", QStringLiteral("Power Supply Delay Time"), QStringLiteral("ms"),
          2, 1);
    // How long a run waits for a board or instrument that dropped out before it ends,
    // resumable.
    field(EReconnectWait, "EReconnectWait", "10", QStringLiteral("Reconnect wait"),
          QStringLiteral("分"), 3, 1);
    ComADCH = new QComboBox(this);
    ComADCH->setObjectName("ComADCH");
    ComADCH->addItems({"ADCS", "ADCF", "AVG", "RMS"});
    settings->addWidget(new QLabel(QStringLiteral("選擇ADC"), this), 0, 6);
    settings->addWidget(ComADCH, 0, 7);
    CADCBRY = new QComboBox(this);
    CADCBRY->setObjectName("CADCBRY");
    CADCBRY->addItems({"ADC & Brymen", "ADC", "Brymen"});
    settings->addWidget(CADCBRY, 1, 7);
    auto check = [&](QCheckBox*& box, const char* name, const QString& text, int row, int col) {
        box = new QCheckBox(text, this);
        box->setObjectName(name);
        settings->addWidget(box, row, col);
    };
    check(CHFULL, "CHFULL", QStringLiteral("儲存完整檔案"), 2, 7);
    check(FkNOINT, "FkNOINT", QStringLiteral("不關閉Fluke"), 0, 8);
    check(LK330mV, "LK330mV", QStringLiteral("Lockout  330mV"), 1, 8);
    check(LK3V, "LK3V", QStringLiteral("Lockout  3.3V"), 2, 8);
    // The two range locks exclude each other.
    connect(LK330mV, &QCheckBox::toggled, this, [this](bool on) {
        if (on) LK3V->setChecked(false);
    });
    connect(LK3V, &QCheckBox::toggled, this, [this](bool on) {
        if (on) LK330mV->setChecked(false);
    });
    layout->addLayout(settings);

    auto* buttons = new QHBoxLayout;
    auto button = [&](QPushButton*& b, const char* name, const char* text, void (TTMP::*slot)()) {
        b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(name);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, slot);
    };
    button(TMPCNTSET, "TMPCNTSET", "SET", &TTMP::TMPCNTSETClick);
    button(TBg, "TBg", "T-Begin", &TTMP::TBgClick);
    button(TTest, "TTest", "T-Test", &TTMP::TTestClick);
    button(Button1, "Button1", "RUN", &TTMP::Button1Click);
    button(Button2, "Button2", "Stop", &TTMP::Button2Click);
    button(Button4, "Button4", "STBY", &TTMP::Button4Click);
    button(ENSave, "ENSave", "SaveData", &TTMP::ENSaveClick);
    button(LKENTER, "LKENTER", "ENTER", &TTMP::LKENTERClick);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(EModenum, &QLineEdit::returnPressed, this, &TTMP::EModenumEnter);

    auto* grids = new QHBoxLayout;
    TMPGrid = Grid(this, "TMPGrid", 5);
    TMPGrid->setMinimumWidth(330);
    TMPGrid->setMaximumWidth(360);
    TMPGrid->setColumnWidth(0, 28);
    for (int c = 1; c < 5; ++c) TMPGrid->setColumnWidth(c, 74);
    grids->addWidget(TMPGrid);
    RegChg = Grid(this, "RegChg", ModeTable::kColumns);
    connect(RegChg, &QTableWidget::itemChanged, this, &TTMP::RegChgCellChanged);
    RegChg->setColumnWidth(0, 60);
    for (int c = 1; c <= ModeTable::kRegisterColumns; ++c) RegChg->setColumnWidth(c, 22);
    RegChg->setColumnWidth(ModeTable::kDelayColumn, 40);
    grids->addWidget(RegChg, 1);
    layout->addLayout(grids, 1);

    auto* results = new QHBoxLayout;
    TMPData = Grid(this, "TMPData", 5);
    connect(TMPData, &QTableWidget::cellClicked, this, &TTMP::TMPDataClick);
    results->addWidget(TMPData, 1);
    auto* plotSide = new QVBoxLayout;
    PlotFigure = new QComboBox(this);
    PlotFigure->setObjectName("PlotFigure");
    // The change against the first step shows every mode's drift on one scale.
    PlotFigure->addItems(
        {QStringLiteral("Mean"), QStringLiteral("Enob"), QStringLiteral("Mean drift (ppm)")});
    connect(PlotFigure, &QComboBox::currentIndexChanged, this, &TTMP::PlotResults);
    plotSide->addWidget(PlotFigure);
    DriftPlot = new QCustomPlot(this);
    DriftPlot->setObjectName("DriftPlot");
    DriftPlot->setMinimumSize(380, 220);
    DriftPlot->xAxis->setLabel(QStringLiteral("°C"));
    DriftPlot->legend->setVisible(true);
    // The legend beside the chart, at its top: over the chart it hid the lines' ends.
    auto* legendSide = new QCPLayoutGrid;
    DriftPlot->plotLayout()->addElement(0, 1, legendSide);
    DriftPlot->plotLayout()->setColumnStretchFactor(1, 0.001);
    legendSide->addElement(0, 0, DriftPlot->legend);
    legendSide->addElement(1, 0, new QCPLayoutElement(DriftPlot));
    legendSide->setRowStretchFactor(0, 0.001);
    legendSide->setAutoMargins(QCP::msNone);
    legendSide->setMargins(QMargins(0, 12, 8, 0));
    plotSide->addWidget(DriftPlot, 1);
    results->addLayout(plotSide, 1);
    layout->addLayout(results, 1);
    ProgressLine = new QLabel(this);
    ProgressLine->setObjectName("ProgressLine");
    layout->addWidget(ProgressLine);
}

int TTMP::ModeCount() {
    const int count = ParseModeCount(EModenum->text().trimmed().toStdString());
    if (QString::number(count) != EModenum->text().trimmed())
        EModenum->setText(QString::number(count));
    return count;
}

void TTMP::ShowModeCount(const QString& text) {
    EModenum->setText(text);
    Modenum(ModeCount());
}

void TTMP::Modenum(int modes) {
    const QSignalBlocker block(RegChg);
    RegChg->setRowCount(modes + 1);
    SetCell(RegChg, 0, 0, QStringLiteral("Address"), false);
    SetCell(RegChg, 0, ModeTable::kDelayColumn, QStringLiteral("Delay"), false);
    SetCell(RegChg, 0, ModeTable::kAcmColumn, QStringLiteral("ACM"), false);
    for (int r = 1; r <= modes; ++r)
        SetCell(RegChg, r, 0, QStringLiteral("Value-%1").arg(r), false);
}

void TTMP::EModenumEnter() {
    const int modes = ModeCount();
    Modenum(modes);
    // The calibrator's and the power supply's step tables follow the mode count.
    bench_.Post([modes](Bench& b) {
        b.flukeSteps().INI(modes);
        b.powerSteps().INI(modes);
    });
    emit ModeCountChanged(modes);
}

void TTMP::RegChgCellChanged(QTableWidgetItem* item) {
    const QString text = item->text().trimmed();
    const std::string refusal = ModeCellRefusal(item->row(), item->column(), text.toStdString());
    const QSignalBlocker block(RegChg);
    if (refusal.empty()) {
        item->setData(kKeptTextRole, item->text());
        return;
    }
    item->setText(item->data(kKeptTextRole).toString());
    ProgressLine->setText((item->row() == 0 ? QStringLiteral("Address")
                                            : QStringLiteral("Value-%1").arg(item->row())) +
                          QStringLiteral(", ") + QString::fromStdString(refusal));
}

ModeTable TTMP::Modes() const {
    ModeTable table(RegChg->rowCount() - 1);
    for (int r = 0; r < RegChg->rowCount(); ++r) {
        for (int c = 1; c < ModeTable::kColumns; ++c) {
            if (r == 0 && c >= ModeTable::kDelayColumn) continue;
            table.SetCell(r, c, Cell(RegChg, r, c).toStdString());
        }
    }
    return table;
}

void TTMP::SetModes(const ModeTable& table, int usedSteps) {
    Modenum(table.modeCount());
    for (int r = 0; r <= table.modeCount(); ++r) {
        for (int c = 1; c < ModeTable::kColumns; ++c) {
            if (r == 0 && c >= ModeTable::kDelayColumn) continue;
            SetCell(RegChg, r, c, QString::fromStdString(table.Cell(r, c)));
        }
    }
    const DataGridShape shape = DataGridShapeFor(usedSteps);
    TMPData->clearContents();
    TMPData->setColumnCount(shape.columns);
    TMPData->setRowCount(shape.rows);
    for (int c = 1; c < shape.columns; ++c)
        SetCell(TMPData, 0, c, QStringLiteral("D - %1").arg(c), false);
}

std::vector<PlanRow> TTMP::Plan() const {
    std::vector<PlanRow> plan;
    for (int r = 1; r < TMPGrid->rowCount(); ++r) {
        auto number = [&](int c, double fallback) {
            double value = 0;
            return ParsePlanNumber(Cell(TMPGrid, r, c).toStdString(), value) ? value : fallback;
        };
        plan.push_back({number(1, 0), number(2, 0), number(3, 0), number(4, 5)});
    }
    return plan;
}

void TTMP::TMPCNTSETClick() {
    // A count of 0 becomes 1; anything else outside the rules keeps the plan as it is.
    constexpr WholeRule kCountEntry{kPlanCountRule.what, 0, kPlanCountRule.high};
    std::string why;
    const auto typedCount = ReadWhole(ETempCount->text().toStdString(), kCountEntry, &why);
    std::optional<double> start, step;
    const char* caption = "輸入測試溫度數量";
    if (typedCount) {
        caption = "輸入開始溫度";
        start = ReadReal(ETMPBG->text().toStdString(), kPlanStartRule, &why);
    }
    if (start) {
        caption = "輸入溫度隔數";
        step = ReadReal(ETMPScale->text().toStdString(), kPlanStepRule, &why);
    }
    if (!step) {
        ProgressLine->setText(QString::fromUtf8(caption) + QStringLiteral(": ") +
                              QString::fromStdString(why));
        return;
    }
    int count = static_cast<int>(*typedCount);
    const std::vector<PlanRow> plan = BuildTemperaturePlan(count, *start, *step);
    ETempCount->setText(QString::number(count));
    TMPGrid->setRowCount(count + 1);
    TMPData->setRowCount(count + 1);
    const QStringList headers{QString(), QStringLiteral("溫度"), QStringLiteral("濕度"),
                              QStringLiteral("溫度斜率"), QStringLiteral("濕度斜率")};
    for (int c = 0; c < 5; ++c) SetCell(TMPGrid, 0, c, headers[c], false);
    for (int r = 1; r <= count; ++r) {
        const PlanRow& row = plan[static_cast<size_t>(r - 1)];
        SetCell(TMPGrid, r, 0, QString::number(r), false);
        SetCell(TMPGrid, r, 1, Fixed(row.temperature));
        SetCell(TMPGrid, r, 2, Fixed(row.humidity));
        SetCell(TMPGrid, r, 3, Fixed(row.temperatureRamp));
        SetCell(TMPGrid, r, 4, Fixed(row.humidityRamp));
    }
}

DriftSettings TTMP::Settings() const {
    DriftSettings s;
    s.soakMinutes =
        static_cast<int>(ReadWhole(Edit2->text().toStdString(), kSoakMinutesRule).value_or(20));
    bool ok = false;
    const int delay = PDlyT->text().trimmed().toInt(&ok);
    s.powerDelayMs = ok ? delay : 500;
    s.source = static_cast<CaptureSource>(ComADCH->currentIndex());
    s.measure = static_cast<DriftMeasure>(CADCBRY->currentIndex());
    s.fullCaptures = CHFULL->isChecked();
    s.keepCalibratorOn = FkNOINT->isChecked();
    s.reconnectWaitMinutes = static_cast<int>(
        ReadWhole(EReconnectWait->text().toStdString(), kReconnectWaitRule).value_or(10));
    return s;
}

void TTMP::StartRun(bool withChamber) {
    std::string why;
    if (!ReadWhole(Edit2->text().toStdString(), kSoakMinutesRule, &why)) {
        ProgressLine->setText(QStringLiteral("等待溫度穩定時間: ") + QString::fromStdString(why));
        return;
    }
    if (!ReadWhole(EReconnectWait->text().toStdString(), kReconnectWaitRule, &why)) {
        ProgressLine->setText(QStringLiteral("Reconnect wait: ") + QString::fromStdString(why));
        return;
    }
    DriftSetup setup;
    setup.plan = Plan();
    setup.modes = Modes();
    setup.settings = Settings();
    (withChamber ? TBg : TTest)->setEnabled(false);
    bench_.Call(
        [setup = std::move(setup), withChamber](Bench& b) mutable {
            setup.fluke = b.flukeSteps();
            setup.power = b.powerSteps();
            DriftTest& test = b.driftTest();
            test.folder = b.benchDir;
            // A run lost to a crash or a power cut can go on where it stood.
            if (const auto journal = DriftTest::PendingJournal(b.benchDir)) {
                const QString question =
                    QStringLiteral(
                        "An interrupted temperature test was found (step %1, mode %2). "
                        "Resume it?")
                        .arg(journal->step)
                        .arg(journal->nextMode);
                if (b.hooks().AskYesNo(question)) return test.Resume(*journal);
            }
            test.SetSetup(std::move(setup));
            return withChamber ? test.TBgClick() : test.TTestClick();
        },
        this, [this, withChamber](DriftEnd) { (withChamber ? TBg : TTest)->setEnabled(true); });
}

void TTMP::TBgClick() {
    StartRun(true);
}
void TTMP::TTestClick() {
    StartRun(false);
}

void TTMP::Button1Click() {
    bench_.Post([](Bench& b) { b.driftTest().Button1Click(); });
}

void TTMP::Button2Click() {
    // The run sees the stop at once; the chamber's stop waits its turn on the bench.
    bench_.driftTest().RequestStop();
    bench_.Post([](Bench& b) { b.driftTest().Button2Click(); });
}

void TTMP::Button4Click() {
    bench_.Post([](Bench& b) {
        b.hooks().SetStatusText(2, QString::fromStdString(b.driftTest().Button4Click()));
    });
}

void TTMP::ENSaveClick() {
    bench_.Post([](Bench& b) {
        b.driftTest().folder = b.benchDir;
        b.driftTest().ENSaveClick();
    });
}

void TTMP::LKENTERClick() {
    const CalibratorRangeLock lock = LK3V->isChecked()      ? CalibratorRangeLock::Lock3V3
                                     : LK330mV->isChecked() ? CalibratorRangeLock::Lock330mV
                                                            : CalibratorRangeLock::None;
    bench_.Post([lock](Bench& b) { b.driftTest().LKENTERClick(lock); });
}

void TTMP::ShowView(const DriftView& view) {
    // A run that did not start leaves the results of the last one where they are.
    if (view.ended && !view.outcome.Started()) {
        ProgressLine->setText(DriftOutcomeText(view.outcome));
        return;
    }
    view_ = view;
    dirty_ = true;
    QString line;
    if (view.running) {
        const int total = view.count * view.modes;
        int done = (view.step - 1) * view.modes;
        QString phase;
        switch (view.phase) {
            case DriftPhase::Approach:
                phase = QStringLiteral("approach, chamber at %1 °C")
                            .arg(view.chamberCelsius, 0, 'f', 1);
                break;
            case DriftPhase::Soak:
                phase = QStringLiteral("soak, %1 left").arg(TimeText(view.soakLeftMs + 59999));
                break;
            case DriftPhase::Measuring:
                phase = QStringLiteral("measuring mode %1 of %2").arg(view.mode).arg(view.modes);
                done += view.mode - 1;
                break;
            case DriftPhase::Waiting:
                phase = view.mode > 0
                            ? QStringLiteral("mode %1 waits for %2 (%3 left)")
                                  .arg(view.mode)
                                  .arg(view.waitingFor, TimeText(view.waitLeftMs + 59999))
                            : QStringLiteral("waits for %1 (%2 left)")
                                  .arg(view.waitingFor, TimeText(view.waitLeftMs + 59999));
                done += std::max(0, view.mode - 1);
                break;
            case DriftPhase::Idle:
                break;
        }
        line = QStringLiteral("Step %1 of %2: %3; %4 of %5 modes done")
                   .arg(view.step)
                   .arg(view.count)
                   .arg(phase)
                   .arg(done)
                   .arg(total);
        if (done > 0 && total > done)
            line += QStringLiteral(", about %1 left")
                        .arg(TimeText(view.elapsedMs * (total - done) / done));
    } else if (view.ended) {
        line = DriftOutcomeText(view.outcome);
    }
    ProgressLine->setText(line);
    if (!Timer1->isActive()) Timer1Timer();
}

void TTMP::ResizeResults(int steps, int modes) {
    TMPData->setColumnCount(modes + 1);
    TMPData->setRowCount(steps + 1);
    SetCell(TMPData, 0, 0, QString(), false);
    for (int m = 1; m <= modes; ++m) SetCell(TMPData, 0, m, QStringLiteral("D - %1").arg(m), false);
    for (int s = 1; s <= steps; ++s) SetCell(TMPData, s, 0, QString::number(s), false);
}

void TTMP::TMPDataClick() {
    dirty_ = true;
    Timer1Timer();
}

void TTMP::Timer1Timer() {
    if (!dirty_ || !view_.results) return;
    dirty_ = false;
    const DriftResults& r = *view_.results;
    ResizeResults(r.steps(), r.modes());
    for (int s = 1; s <= r.steps(); ++s) {
        for (int m = 1; m <= r.modes(); ++m)
            SetCell(TMPData, s, m, Fixed(r.Figures(s, m).mean), false);
    }
    PlotResults();
}

void TTMP::PlotResults() {
    DriftPlot->clearGraphs();
    if (!view_.results) return;
    const DriftResults& r = *view_.results;
    const int figure = PlotFigure->currentIndex();
    // A few modes stay readable on one chart; the grid holds them all.
    const int shown = std::min(r.modes(), 8);
    for (int m = 1; m <= shown; ++m) {
        QCPGraph* graph = DriftPlot->addGraph();
        graph->setName(QStringLiteral("D - %1").arg(m));
        graph->setPen(QPen(QColor::fromHsv((m - 1) * 360 / std::max(shown, 1), 200, 200), 2));
        graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 6));
        // Only what was measured is drawn: a cell without figures holds zeros, no reading.
        // The drift is taken against the mode's first measured step.
        std::optional<double> first;
        for (int s = 1; s <= r.steps(); ++s) {
            if (!r.HasFigures(s, m)) continue;
            const AnalysisResults& f = r.Figures(s, m);
            if (!first) first = f.mean;
            double y = f.mean;
            if (figure == 1) y = f.enob;
            if (figure == 2) y = *first != 0 ? (f.mean / *first - 1.0) * 1e6 : 0.0;
            graph->addData(r.Conditions(s).temperature, y);
        }
    }
    DriftPlot->yAxis->setLabel(PlotFigure->currentText());
    DriftPlot->rescaleAxes();
    // Room around the outermost points, so that none is drawn half off the chart.
    for (QCPAxis* axis : {DriftPlot->xAxis, DriftPlot->yAxis})
        axis->scaleRange(1.1, axis->range().center());
    DriftPlot->replot();
}

void TTMP::hideEvent(QHideEvent* event) {
    Timer1->stop();
    QWidget::hideEvent(event);
}

}  // namespace dmm::gui
