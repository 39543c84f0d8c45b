#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeView>
#include <QWidget>

#include <array>

#include "core/app/bench.h"
#include "core/calsets/calset_manager.h"
#include "gui/analog/segment_display.h"

namespace dmm::gui {

// "SETDMM": ten calibration-set slots in one folder, the folder chooser, the two-point
// calibration and the live reading in engineering units. The sets live on the bench
// (CalSetManager); this window shows them and forwards the user's choices.
class TSETDMM : public QWidget {
    Q_OBJECT
  public:
    explicit TSETDMM(Bench& bench, QWidget* parent = nullptr);

    // The "SETDMM" menu: the remembered folder (the bench directory when none is
    // remembered), the caption from TXSEG and the live display's timer.
    void OpenFromMenu();
    // The folder the list points at.
    void DFoldersChange(const QString& folder);
    QString folder() const { return folder_; }
    // The folder of the last session, from the settings file: "SETDMM" opens on it when
    // it still exists. The list itself moves only when the window is opened.
    void SetRememberedFolder(const QString& folder) { folder_ = folder; }
    // TXSEGChange: the window caption names the segment.
    void TXSEGChange();
    CalSetControls Controls() const;

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    void BuildFolders();
    void BuildSlots();
    void BuildEntries();
    void BuildButtons();
    void ShowSlots(const QStringList& captions, int selected);
    void ShowControls(const CalSetControls& c, double adc1Offset, double rmsOffset);
    void TXFORADCChange();

    Bench& bench_;
    QString folder_;
    QComboBox* DriveComboBox1 = nullptr;
    QTreeView* DFolders = nullptr;
    QFileSystemModel* folderModel_ = nullptr;
    std::array<QPushButton*, kConfigSetSlots> slots_{};
    QLineEdit* ECALI = nullptr;
    QLineEdit* ECALUNIT = nullptr;
    QComboBox* TXFORADC = nullptr;
    QLineEdit* EAVT = nullptr;
    QLineEdit* ESNAME = nullptr;
    QLineEdit* ESCALE1 = nullptr;
    QLabel* PADCOFF = nullptr;
    QLabel* PRMSOFF = nullptr;
    QCheckBox* Canceloffset = nullptr;
    TLcdArray* SADCLCD = nullptr;
    QLabel* LADC1 = nullptr;
    QPushButton* BSave = nullptr;
    QPushButton* BReCall = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* BClose = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QComboBox* TXSEG = nullptr;
};

}  // namespace dmm::gui
