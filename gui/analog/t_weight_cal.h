#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include <array>

#include "core/analog/switch_test.h"

namespace dmm {
class Bench;
}

namespace dmm::gui {

class ClickPanel;
class SwitchGridModel;
class TMainPanel;

// "Switch ADC Channel Test": eight channel set-ups of eleven registers, sent to the
// microcontroller's firmware, which measures them in turn; the samples come back per
// channel into the grid and the result files. The set-up and the run live on the bench
// thread (SwitchTest); this window shows what the bench publishes and forwards clicks.
class TWeightCAL : public QWidget {
    Q_OBJECT
  public:
    TWeightCAL(Bench& bench, TMainPanel& mainPanel, QWidget* parent = nullptr);

    bool running() const { return running_; }

    std::array<QCheckBox*, kSwitchChannelCount> SwitCh{};
    std::array<ClickPanel*, kSwitchChannelCount> PSwitchSet{};
    std::array<ClickPanel*, kSwitchChannelCount> PSwReview{};
    std::array<ClickPanel*, kSwitchChannelCount> PStep{};
    QComboBox* EvStepLen;
    QComboBox* LoopStep;
    QComboBox* TXScale;
    QComboBox* ADShift;
    QPushButton* SendTORX405;
    QPushButton* TestBegin;
    QPushButton* PSTP;
    QPushButton* SaveExcel;
    QTableView* SGDS;
    QTimer* Timer1;

    void SwitChClick(int channel);
    void PSwitchSetClick(int channel);
    void PSwReviewClick(int channel);
    void PStepClick(int channel);
    void EvStepLenChange();
    void TXScaleChange(int index);
    void ADShiftChange(int index);
    void SendTORX405Click();
    void TestBeginClick();
    void PSTPClick();
    void SaveExcelClick();

  signals:
    void TestFinished(dmm::SwitchTestEnd end);
    void SetDone(int channel);
    void ReviewDone(int channel);
    void Saved(bool ok);

  private:
    QWidget* BuildChannels();
    QWidget* BuildControls();
    void ShowView(const SwitchTestView& view);
    void ShowPanels();
    void SetBusy(bool busy);

    Bench& bench_;
    TMainPanel& mainPanel_;
    SwitchGridModel* grid_;
    SwitchTestView view_;
    // Set and Review panels held down while their action runs.
    std::array<bool, kSwitchChannelCount> setPressed_{};
    std::array<bool, kSwitchChannelCount> reviewPressed_{};
    bool running_ = false;
    QString benchDir_;
};

}  // namespace dmm::gui

Q_DECLARE_METATYPE(dmm::SwitchTestEnd)
