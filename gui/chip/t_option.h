#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <array>
#include <memory>
#include <vector>

#include "core/instruments/instrument_watch.h"
#include "core/instruments/instruments.h"

namespace dmm {
class Bench;
struct MeterRowView;
struct MeterSelectResult;
struct TChipModel;
struct VzAdcConfig;
}  // namespace dmm

namespace dmm::gui {

// What the setup dialog shows of the target record.
struct SetupChoice {
    int chipIndex = 0;
    int interfaceKind = 0;
    int comIndex = 0;
    int baudIndex = 0;
    int parityIndex = 0;
    int lptItem = 0;
    bool photo = false;
};
// What the bench holds now (bench thread), and what a settings file holds.
SetupChoice BenchChoice(Bench& bench);
SetupChoice ConfigChoice(const VzAdcConfig& config);

// The setup dialog ("選項"): the target chip, the interface kind, the chip link's serial
// settings, the parallel port, the opto-coupled option, and the instruments' ports with
// their identifications. Every choice goes to the bench at once; identifications run on
// the instruments' threads, so the dialog keeps answering while an instrument is tried.
class TOption : public QDialog {
    Q_OBJECT
  public:
    explicit TOption(Bench& bench, QWidget* parent = nullptr);

    // Shows a choice without running any handler (the settings file and the menu item
    // preset the dialog this way).
    void Show(const SetupChoice& choice);
    // Enables the port controls as an interface kind wants them.
    void EnablePortControls(int interfaceKind);
    // Shows the dialog modally, preset to the bench's choices, with the serial ports
    // listed again (an adapter plugged in since the start appears in the COM selectors).
    void Open();
    // The COM selectors show the port behind each index and who holds it; indexes with
    // nothing behind them are greyed. rescan lists the machine's ports again first.
    void ShowComPorts(bool rescan);

    QComboBox* CbSeluP;
    QRadioButton* Interfafce;
    QComboBox* SelLPT;
    QComboBox* TXCOM;
    QComboBox* TXBaud;
    QComboBox* TXParity;
    QComboBox* CLPT;
    QCheckBox* Photo;
    QComboBox* ChennalCom;
    QComboBox* FlukeCOM;
    QPushButton* FlukeSelect;
    QComboBox* PowerCOM;
    QPushButton* PowerSelect;
    QComboBox* ChamberCOM;
    QPushButton* ChamberSelect;
    QComboBox* BryMemChannel;
    QComboBox* BryMemCom;
    QPushButton* BryMemButtom;
    QPushButton* BtClose;
    // Beside each Select button: how the last identification of that instrument ended,
    // and where it is.
    QLabel* FlukeState;
    QLabel* PowerState;
    QLabel* ChamberState;
    QLabel* BryMemState;

    // Handlers, by the controls they belong to.
    void CbSeluPChange();
    void SelLPTChange();
    void TXCOMChange();
    void CLPTChange();
    void PhotoClick();
    void FlukeSelectClick();
    void PowerSelectClick();
    void ChamberSelectClick();
    void BryMemButtomClick();
    void ChennalComChange();
    void BryMemChannelChange();
    void BtCloseClick();

  signals:
    // An identification ended (the instrument's messages are in the status bar).
    void Identified(const QString& instrument, bool ok);
    // The dialog shows the bench's settings again (ChennalComChange).
    void Restored();

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    void FormCreate();
    void ChipModelLoaded(const std::shared_ptr<const TChipModel>& model);
    QComboBox* ComSelector(const QString& name);
    QPushButton* SelectButton(const QString& name);
    void RunIdentification(QPushButton* button, QLabel* state, const QString& instrument,
                           int instrumentId, int comIndex);
    void MeterSelected(const MeterSelectResult& result);
    // The meter section's state follows the meter window's reading of its channel: lost
    // when the meter's port went away, back once it reads again.
    void FollowMeterRow(const MeterRowView& view);
    // The instrument sections' states follow the bench's watch of their links: lost when
    // the port went away, back once it was reopened and the instrument answered.
    void FollowInstrumentLink(const InstrumentLinkView& view);

    Bench& bench_;
    std::array<bool, kMeterChannelCount> meterLost_{};
    // The instrument sections and the channel selector that a chip without bench
    // instruments hides.
    std::vector<QWidget*> instrumentControls_;
    std::vector<QComboBox*> comSelectors_;
};

}  // namespace dmm::gui
