#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMap>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QRect>
#include <QStatusBar>

#include <array>
#include <functional>

#include "core/app/bench.h"
#include "core/app/settings_file.h"
#include "gui/app/child_windows.h"
#include "gui/app/remembered_place.h"
#include "gui/app/status_panels.h"
#include "gui/app/t_restore_win.h"

namespace dmm::gui {

// The multiple-document main window: menus, the three-panel status bar, the progress
// gauge, and the placement of every tool window. It renders and forwards; the work of
// each command runs on the bench thread.
class TMainPanel : public QMainWindow {
    Q_OBJECT
  public:
    explicit TMainPanel(Bench& bench, QWidget* parent = nullptr);
    ~TMainPanel() override;

    // Places a child window in the main frame (show) or detaches and hides it.
    void ShowChild(QWidget* form, int slot, bool show);
    // A dialog of the main window's own (the setup dialog): it stays a window beside the
    // frame instead of being placed in it.
    bool StandsAlone(const QWidget* form) const {
        return form && form->isWindow() && form->parentWidget() == this;
    }
    // Gives a child window its frame's place and size in the main window, shown or not
    // (only its place when the size is empty).
    void PlaceChild(QWidget* form, const QRect& frame);
    // The child window of a class name ("TADS"), or nullptr.
    QWidget* Child(const QString& className) const;
    // Replaces the window of a class (tools arrive as their windows are built).
    void SetChild(const QString& className, QWidget* window);
    // Selects an item of a child window's combo box without running its handler: the
    // windows that share a selector (the scale) show each other's choice.
    void SelectChildComboItem(const QString& className, const QString& comboName, int index);

    // The activation step: hide every child window and load the bench's files.
    void FormActivate();

    // The settings file: read and applied to the bench and the windows, or written from
    // them. Neither says anything when the file cannot be read or written.
    void LoadConfig(const QString& path);
    void SaveConfig(const QString& path);
    // The settings as the bench and the windows hold them now (waits for the bench: for
    // start-up, shut-down and tests).
    VzAdcConfig CurrentConfig();

    // Status bar and gauge (GUI thread).
    void SetStatusText(int panel, const QString& text);
    QString StatusText(int panel) const;
    void ShowGauge(bool visible);
    void SetGauge(int position, int maximum);

    // Shows the items the menus keep hidden ("Resister", "Switch Test", ...), for a run
    // that needs their tools (dmmbench --all-tools).
    void ShowHiddenItems();
    // The items the menus keep hidden.
    static QStringList HiddenItemNames();

    // While a capture runs, the menus that would disturb it are disabled.
    void SetCaptureLock(bool locked);

    // Runs after a successful connection: names the chip in the window captions.
    void USBClient(const QString& chipName);

    // The chip title shown in front of the main caption. The product variant of the
    // settings sets it, and a chip description that names a title, read after the
    // settings, sets it again; until then the loaded chip's product title stands in.
    QString ChipTitle;

    QMdiArea* mdiArea() const { return mdiArea_; }
    QAction* MenuItem(const QString& name) const { return menuItems_.value(name); }
    const QMap<QString, QAction*>& MenuItems() const { return menuItems_; }

    // Window placement memory: loaded by the activation step, saved at close.
    TRestoreWin* RestoreWin1 = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormCreate();
    void BuildMenus();
    void CreateChildWindows();
    void ShowTool(const char* className);
    QMdiSubWindow* Attach(QWidget* form, const QRect& bounds);
    void FormClose();
    void ChipModelLoaded(const std::shared_ptr<const TChipModel>& model);
    void ShowChipName(const QString& name);

    // Menu handlers.
    void USBScanClick();
    void Menu_ReadRAMClick();
    void Menu_INTFClick();
    void SLEEP1Click();
    void SETDMM1Click();
    void SMenu_LCDPANELClick();
    void RegistClick();
    void SMenu_OptionClick();
    void AboutClick();
    // A message box that does not hold up the window.
    void Inform(const QString& text, const QString& title = {});
    void UserGuideClick();
    void Button1Click();
    void Button2Click();

    Bench& bench_;
    QMdiArea* mdiArea_ = nullptr;
    QProgressBar* Gauge1 = nullptr;
    StatusPanels* statusPanels_ = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QMap<QString, QAction*> menuItems_;
    QMap<QString, QWidget*> children_;
    std::array<QRect, kPlacementSlotCount> slots_{};
    bool closed_ = false;
    // The settings as the file holds them, read or last written: what no window of this
    // build holds (the option flags, the display pair) is kept as read, and so is what the
    // command line gave for this run.
    VzAdcConfig config_;
};

}  // namespace dmm::gui
