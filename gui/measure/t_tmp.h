#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>

#include "core/measure/drift_test.h"

class QCustomPlot;

namespace dmm {
class Bench;
}

namespace dmm::gui {

// "Temperature Test": the drift test's plan, mode table, settings and results. The run
// lives on the bench thread (DriftTest); this window builds its inputs from the grids,
// shows what the bench publishes (results grid, live plot, progress line) and forwards
// the buttons.
class TTMP : public QWidget {
    Q_OBJECT
  public:
    explicit TTMP(Bench& bench, QWidget* parent = nullptr);

    QLineEdit* ETempCount;
    QLineEdit* ETMPBG;
    QLineEdit* ETMPScale;
    QLineEdit* EModenum;
    QLineEdit* Edit2;
    QLineEdit* PDlyT;
    QLineEdit* EReconnectWait;
    QComboBox* ComADCH;
    QComboBox* CADCBRY;
    QCheckBox* CHFULL;
    QCheckBox* FkNOINT;
    QCheckBox* LK330mV;
    QCheckBox* LK3V;
    QPushButton* TMPCNTSET;
    QPushButton* TBg;
    QPushButton* TTest;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button4;
    QPushButton* ENSave;
    QPushButton* LKENTER;
    QTableWidget* TMPGrid;
    QTableWidget* RegChg;
    QTableWidget* TMPData;
    QComboBox* PlotFigure;  // what the live plot shows: the mean or the ENOB
    QLabel* ProgressLine;
    QCustomPlot* DriftPlot;
    QTimer* Timer1;

    // The menu entry "連續讀取": shows the window's results every second.
    Q_INVOKABLE void StartRepaint() { Timer1->start(); }
    // The mode table as the grid holds it, and filling the grid from one (Download Reg).
    ModeTable Modes() const;
    void SetModes(const ModeTable& table, int usedSteps);
    // The mode count of EModenum (48 for anything outside 1..10000, shown so).
    int ModeCount();
    // The settings file's mode count: the field's text, and the mode table laid out for
    // it so that the rows match the field. The step windows keep their rows until the
    // user confirms a count with Enter.
    void ShowModeCount(const QString& text);
    // The plan as the plan grid holds it.
    std::vector<PlanRow> Plan() const;
    DriftSettings Settings() const;

    void TMPCNTSETClick();
    void EModenumEnter();
    void TBgClick();
    void TTestClick();
    void Button1Click();
    void Button2Click();
    void Button4Click();
    void ENSaveClick();
    void LKENTERClick();
    void TMPDataClick();
    void Timer1Timer();

  signals:
    // EModenum's Enter: the instruments' step windows take the new count.
    void ModeCountChanged(int modes);

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    void BuildControls();
    void Modenum(int modes);
    void StartRun(bool withChamber);
    void ShowView(const DriftView& view);
    void ResizeResults(int steps, int modes);
    void PlotResults();
    // A RegChg cell typed: kept when it fits its field in the files, else given back its
    // text before, with the refusal in the progress line.
    void RegChgCellChanged(QTableWidgetItem* item);

    Bench& bench_;
    DriftView view_;
    bool dirty_ = false;
};

}  // namespace dmm::gui
