#include "gui/app/t_main_panel.h"

#include "gui/calsets/t_setdmm.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QUrl>
#include <QVBoxLayout>

#include "core/analog/switch_test_setup.h"
#include "core/app/bench_directory.h"
#include "core/app/bench_settings.h"
#include "core/app/placement_file.h"
#include "core/app/window_placement.h"
#include "core/link/number_text.h"
#include "gui/app/settings_windows.h"
#include "gui/chip/t_option.h"

namespace dmm::gui {
namespace {

constexpr char kMainCaption[] = "DMM V1.40";

struct MenuItemInfo {
    const char* menu;  // nullptr: an item of the menu bar itself
    const char* name;
    const char* caption;
    bool visible;
};

// Every item of the main menu, in menu order.
constexpr MenuItemInfo kMenuItems[] = {
    {"File", "SaveFluke1", "Save Fluke", true},
    {"File", "SaveReg1", "Save Reg", true},
    {"File", "SavePower1", "Save Power", true},
    {"File", "DownLoadFluke1", "DownLoad Fluke", true},
    {"File", "DownloadReg1", "Download Reg", true},
    {"File", "DownloadPower1", "Download Power", true},
    {"Option", "SMenu_Option", "Setup", true},
    {"Option", "SMenu_RAM", "RAM Panel", true},
    {"Option", "SMenu_REG", "REG Panel", true},
    {"Option", "SMenu_ADCCLK", "CLK Panel", true},
    {"Option", "SMenu_LCDPANEL", "Resister", false},
    {"Option", "SMenu_Procounter", "ProCounter Panel", true},
    {"Option", "ResistorCAL1", "Resistor CAL.", false},
    {"Option", "DMMAP", "MAP", true},
    {"Option", "DMMADS", "ADS", true},
    {"Option", "DMMADF", "ADF", true},
    {"Option", "DMMOP", "OP and Power", true},
    {nullptr, "USBScan", "USB Scan", true},
    {nullptr, "Menu_ReadRAM", "Read RAM", true},
    {nullptr, "SETDMM1", "SETDMM", true},
    {nullptr, "Menu_ReadAdc", "ENOB Test", true},
    {nullptr, "SLEEP1", "SLEEP", false},
    {nullptr, "MCALW", "Switch Test", false},
    {nullptr, "RestoreADC", "Restore ADC", false},
    {nullptr, "Regist", "連續讀取", true},
    {nullptr, "Fluke1", "Fluke", true},
    {nullptr, "Power1", "Power", true},
    {nullptr, "BryMenShow1", "BryMen Show", false},
    {nullptr, "Menu_INTF", "INTF", true},
    {"Help", "Help_About", "About", true},
    {"Help", "Help_UserGuide", "User guide", true},
};

// Keyboard access to the menus; the captions stay as they are (no "&").
struct MenuShortcut {
    const char* menu;
    const char* keys;
};
constexpr MenuShortcut kMenuShortcuts[] = {
    {"File", "Alt+F"}, {"Option", "Alt+O"}, {"Help", "Alt+H"}};

// Windows opened for the first time without a remembered place step down and right.
constexpr int kCascadeStep = 28;

// Menu items that only place a tool window: item name -> window class.
struct ToolItem {
    const char* item;
    const char* className;
};
constexpr ToolItem kToolItems[] = {
    {"SMenu_RAM", "TVz_RAM"},
    {"SMenu_REG", "TVz_Reg2"},
    {"SMenu_ADCCLK", "TDMMADCCLKA"},
    {"SMenu_Procounter", "TProCounterA"},
    {"ResistorCAL1", "TRESCALA"},
    {"DMMAP", "TMPN"},
    {"DMMADS", "TADS"},
    {"DMMADF", "TADF"},
    {"DMMOP", "TOP"},
    {"Menu_ReadAdc", "TAnxADC"},
    {"MCALW", "TWeightCAL"},
    {"Fluke1", "TFLUKE"},
    {"Power1", "TFPower"},
    {"BryMenShow1", "TMeter"},
};

int SlotOf(const QString& className) {
    for (const ChildWindowInfo& info : ChildWindowTable()) {
        if (className == QLatin1String(info.className)) return info.slot;
    }
    return -1;
}

}  // namespace

TMainPanel::TMainPanel(Bench& bench, QWidget* parent) : QMainWindow(parent), bench_(bench) {
    setObjectName("TMainPanel");
    FormCreate();
    RestoreWin1 = new TRestoreWin(*this);
}

TMainPanel::~TMainPanel() {
    // Child windows that were never attached to the frame are owned here.
    for (QWidget* w : children_) {
        if (w && !w->parent()) delete w;
    }
}

void TMainPanel::FormCreate() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    mdiArea_ = new QMdiArea(central);
    mdiArea_->setObjectName("MDIClient");
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    layout->addWidget(mdiArea_, 1);
    Gauge1 = new QProgressBar(central);
    Gauge1->setObjectName("Gauge1");
    Gauge1->setTextVisible(true);
    Gauge1->hide();
    layout->addWidget(Gauge1);
    central->setMinimumSize(kMinimumClientWidth, kMinimumClientHeight);
    setCentralWidget(central);

    // Diagnostic buttons, kept out of sight.
    Button1 = new QPushButton("Button1", this);
    Button1->setObjectName("Button1");
    Button1->hide();
    connect(Button1, &QPushButton::clicked, this, &TMainPanel::Button1Click);
    Button2 = new QPushButton("Button2", this);
    Button2->setObjectName("Button2");
    Button2->hide();
    connect(Button2, &QPushButton::clicked, this, &TMainPanel::Button2Click);

    BuildMenus();

    auto* bar = new QStatusBar(this);
    bar->setObjectName("StatusBar1");
    setStatusBar(bar);
    statusPanels_ = new StatusPanels(bar);
    bar->addWidget(statusPanels_, 1);

    // Initial size and the screen clamp.
    QRect geometry(0, 0, 1280, 860);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        geometry = ClampToScreen(geometry, screen->availableGeometry().size());
    }
    setGeometry(geometry);

    setWindowTitle(QString::fromLatin1(kMainCaption));
    connect(&bench_.up(), &TVz_UP::IntfReadingChanged, this, [this](bool on) {
        menuItems_["Menu_INTF"]->setText(on ? "INTF-Reading" : "INTF-Wait");
    });
    connect(&bench_.up(), &TVz_UP::Connected, this, [this] {
        bench_.Call([](Bench& bench) { return bench.SelectedChipName(); }, this,
                    [this](const QString& name) { USBClient(name); });
    });
    connect(&bench_, &Bench::ChipModelChanged, this, &TMainPanel::ChipModelLoaded);
    menuItems_["Menu_INTF"]->setText("INTF-Wait");

    CreateChildWindows();
}

void TMainPanel::BuildMenus() {
    QMap<QString, QMenu*> menus;
    for (const MenuItemInfo& info : kMenuItems) {
        QAction* action = nullptr;
        if (info.menu) {
            QMenu*& menu = menus[info.menu];
            if (!menu) {
                menu = menuBar()->addMenu(QString::fromUtf8(info.menu));
                menu->setObjectName(QString::fromUtf8(info.menu));
            }
            action = menu->addAction(QString::fromUtf8(info.caption));
        } else {
            action = menuBar()->addAction(QString::fromUtf8(info.caption));
        }
        action->setObjectName(QString::fromLatin1(info.name));
        action->setVisible(info.visible);
        menuItems_[info.name] = action;
    }
    for (const MenuShortcut& entry : kMenuShortcuts) {
        QMenu* menu = menus.value(entry.menu);
        if (!menu) continue;
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(entry.keys)), this);
        connect(shortcut, &QShortcut::activated, this, [this, menu] {
            if (menu->menuAction()->isVisible() && menu->menuAction()->isEnabled())
                menuBar()->setActiveAction(menu->menuAction());
        });
    }
    // The File menu itself is an item the chip description can hide.
    if (QMenu* file = menus.value("File")) {
        file->menuAction()->setObjectName(QStringLiteral("Memu_File"));
        menuItems_["Memu_File"] = file->menuAction();
    }
    for (const ToolItem& tool : kToolItems) {
        const char* className = tool.className;
        connect(menuItems_[tool.item], &QAction::triggered, this,
                [this, className] { ShowTool(className); });
    }
    connect(menuItems_["USBScan"], &QAction::triggered, this, &TMainPanel::USBScanClick);
    connect(menuItems_["Menu_ReadRAM"], &QAction::triggered, this, &TMainPanel::Menu_ReadRAMClick);
    connect(menuItems_["Menu_INTF"], &QAction::triggered, this, &TMainPanel::Menu_INTFClick);
    connect(menuItems_["SLEEP1"], &QAction::triggered, this, &TMainPanel::SLEEP1Click);
    connect(menuItems_["SETDMM1"], &QAction::triggered, this, &TMainPanel::SETDMM1Click);
    connect(menuItems_["SMenu_LCDPANEL"], &QAction::triggered, this,
            &TMainPanel::SMenu_LCDPANELClick);
    connect(menuItems_["Regist"], &QAction::triggered, this, &TMainPanel::RegistClick);
    connect(menuItems_["SMenu_Option"], &QAction::triggered, this, &TMainPanel::SMenu_OptionClick);
    connect(menuItems_["Help_About"], &QAction::triggered, this, &TMainPanel::AboutClick);
    connect(menuItems_["Help_UserGuide"], &QAction::triggered, this, &TMainPanel::UserGuideClick);
    connect(menuItems_["RestoreADC"], &QAction::triggered, this, [this] {
        if (QWidget* analysis = Child("TAnxADC"))
            QMetaObject::invokeMethod(analysis, "ComFunChange");
    });
}

void TMainPanel::CreateChildWindows() {
    for (const ChildWindowInfo& info : ChildWindowTable()) {
        SetChild(QString::fromLatin1(info.className), new PendingToolWindow(info));
    }
}

QWidget* TMainPanel::Child(const QString& className) const {
    return children_.value(className);
}

void TMainPanel::SetChild(const QString& className, QWidget* window) {
    QWidget* old = children_.value(className);
    if (old == window) return;
    if (old) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(old->parentWidget())) {
            mdiArea_->removeSubWindow(sub);
            sub->deleteLater();
        }
        old->deleteLater();
    }
    window->setObjectName(className);
    children_[className] = window;
}

QMdiSubWindow* TMainPanel::Attach(QWidget* form, const QRect& bounds) {
    auto* sub = mdiArea_->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    sub->setWindowTitle(form->windowTitle());
    connect(form, &QWidget::windowTitleChanged, sub, &QMdiSubWindow::setWindowTitle);
    // The frame holds the window at its size, title bar and borders around it.
    sub->resize(sub->sizeHint().expandedTo(form->size().grownBy(sub->contentsMargins())));
    // A window that never had a place of its own would open on top of the others.
    QPoint at = bounds.topLeft();
    if (at.isNull()) {
        const int n = static_cast<int>(mdiArea_->subWindowList().size()) - 1;
        const int room = std::max(1, mdiArea_->height() / 2 / kCascadeStep);
        at = QPoint((n % room) * kCascadeStep + (n / room) * kCascadeStep * 4,
                    (n % room) * kCascadeStep);
        // The cascade stops at the client area's edges: a window opening partly outside
        // it would be cut off.
        at = PlaceWhollyInside(QRect(at, sub->size()),
                               QRect(QPoint(0, 0), mdiArea_->viewport()->size()));
    }
    sub->move(at);
    return sub;
}

void TMainPanel::PlaceChild(QWidget* form, const QRect& frame) {
    if (!form) return;
    // Windows that place themselves at their first show leave a remembered place alone.
    form->setProperty(kRememberedPlaceProperty, true);
    auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget());
    if (!sub) {
        sub = Attach(form, frame);
        sub->hide();
    }
    // An empty size moves the window and keeps its own size.
    if (frame.size().isEmpty())
        sub->move(frame.topLeft());
    else
        sub->setGeometry(frame);
}

void TMainPanel::SelectChildComboItem(const QString& className, const QString& comboName,
                                      int index) {
    QWidget* window = Child(className);
    auto* combo = window ? window->findChild<QComboBox*>(comboName) : nullptr;
    if (!combo) return;
    const QSignalBlocker blocker(combo);
    combo->setCurrentIndex(index);
}

void TMainPanel::ShowChild(QWidget* form, int slot, bool show) {
    if (!form) return;
    // A dialog of its own (the setup dialog) stays a window beside the frame.
    if (StandsAlone(form)) {
        if (slot >= 0 && slot < kPlacementSlotCount)
            slots_[static_cast<size_t>(slot)] = form->geometry();
        form->setVisible(show);
        return;
    }
    auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget());
    if (!show) {
        if (sub)
            sub->hide();
        else
            form->hide();
        return;
    }
    // The window keeps the bounds it had before it was attached.
    const QRect bounds = sub ? sub->geometry() : QRect(form->pos(), form->size());
    if (slot >= 0 && slot < kPlacementSlotCount) slots_[static_cast<size_t>(slot)] = bounds;
    if (!sub)
        sub = Attach(form, bounds);
    else
        sub->setGeometry(bounds);
    form->show();
    sub->show();
    sub->raise();
    mdiArea_->setActiveSubWindow(sub);
}

void TMainPanel::ShowTool(const char* className) {
    const QString name = QString::fromLatin1(className);
    ShowChild(Child(name), SlotOf(name), true);
}

void TMainPanel::FormActivate() {
    for (const char* name : {"TVz_RAM", "TVz_Reg2", "TOption", "TAnxADC", "TWeightCAL", "TFLUKE",
                             "TFPower", "TTMP", "TDMMADCCLKA", "TProCounterA", "TDMMResister",
                             "TSETDMM", "TRESCALA", "TMPN", "TADS", "TADF", "TOP", "TMeter"}) {
        ShowChild(Child(QString::fromLatin1(name)), -1, false);
    }
    // Where the windows were at the last close, after the activation step hid them all:
    // the ones the user left open open again.
    RestoreWin1->Load(bench_.benchDir);
    if (!bench_.benchDir.isEmpty()) LoadConfig(SettingsFilePath(bench_.benchDir));
    // Captures shorter than 256 samples are not kept from one run to the next.
    if (auto* points =
            Child("TAnxADC") ? Child("TAnxADC")->findChild<QComboBox*>("NPointIndex") : nullptr) {
        const int index = StartupSamplePointIndex(points->currentIndex());
        if (index != points->currentIndex()) points->setCurrentIndex(index);
    }
    bench_.Post([](Bench& bench) {
        // The channel switch test's step table, beside the settings.
        if (!bench.benchDir.isEmpty())
            bench.switchTest().LoadConfig(QDir(bench.benchDir).filePath(kStepFileName));
        bench.link().IdleTicks = 0;
        bench.up().SetIntfReading(false);
        bench.up().InterruptFlags = 0;
        // Look for the board at once instead of after the first 30 s of silence: an
        // engineer expects "USB On Line" as soon as the program is up.
        bench.link().IdleTicks = TVz_UP::kSilentTicksBeforeRecheck;
        bench.up().StartHeartbeat();
    });
}

VzAdcConfig TMainPanel::CurrentConfig() {
    VzAdcConfig config = config_;
    bench_.RunAndWait([&config](Bench& bench) { bench.TakeSettings(config); });
    TakeWindowSettings(*this, config);
    return config;
}

void TMainPanel::LoadConfig(const QString& path) {
    // A missing file is written from the start-up settings, without what the command line
    // gave for this run.
    VzAdcConfig config = CurrentConfig();
    KeepFileValuesOfCommandLine(config, VzAdcConfig{}, bench_.commandLine);
    const ConfigRead read = LoadSettingsFile(path, config);
    // A file of another version is not applied at all.
    if (!read.versionMatched) return;
    config_ = config;
    OverrideByCommandLine(config, bench_.commandLine);
    bench_.Post([config](Bench& bench) {
        bench.ApplySettings(config);
        bench.switchTest().TXScaleChange(config.TXScale);
    });
    ApplyWindowSettings(*this, config);
    // The product variant names the family member in the captions.
    if (read.recordsRead > 15) {
        ChipTitle = ProductVariantCaption(config.productVariant);
        setWindowTitle(ChipTitle);
    }
    if (auto* option = qobject_cast<TOption*>(Child("TOption"))) option->Show(ConfigChoice(config));
}

void TMainPanel::SaveConfig(const QString& path) {
    VzAdcConfig current = CurrentConfig();
    KeepFileValuesOfCommandLine(current, config_, bench_.commandLine);
    config_ = current;
    // A bench directory that cannot be written keeps its old file.
    QString error;
    WriteSettingsFile(path, config_, error);
}

void TMainPanel::SMenu_OptionClick() {
    auto* option = qobject_cast<TOption*>(Child("TOption"));
    if (!option) return;
    option->move(frameGeometry().topLeft() + QPoint(40, 40));
    option->Open();
}

void TMainPanel::SetStatusText(int panel, const QString& text) {
    statusPanels_->SetText(panel, text);
}

QString TMainPanel::StatusText(int panel) const {
    return statusPanels_->Text(panel);
}

void TMainPanel::ShowGauge(bool visible) {
    Gauge1->setVisible(visible);
}

void TMainPanel::SetGauge(int position, int maximum) {
    Gauge1->setMaximum(maximum);
    Gauge1->setValue(position);
}

QStringList TMainPanel::HiddenItemNames() {
    QStringList names;
    for (const MenuItemInfo& info : kMenuItems)
        if (!info.visible) names << QString::fromLatin1(info.name);
    return names;
}

void TMainPanel::ShowHiddenItems() {
    for (const QString& name : HiddenItemNames()) menuItems_[name]->setVisible(true);
}

void TMainPanel::SetCaptureLock(bool locked) {
    for (const char* menu : {"File", "Option"}) {
        if (auto* m = menuBar()->findChild<QMenu*>(menu)) m->menuAction()->setEnabled(!locked);
    }
    menuItems_["Menu_ReadRAM"]->setEnabled(!locked);
    menuItems_["Menu_ReadAdc"]->setEnabled(!locked);
}

void TMainPanel::ChipModelLoaded(const std::shared_ptr<const TChipModel>& model) {
    if (!model || model->loadCount == 0) return;
    // The description is read after the settings' product variant and names the chip
    // again: its caption stands from then on, alone and before " ---- Now Chip is  ".
    if (!model->mainCaption.empty()) {
        ChipTitle = QString::fromStdString(model->mainCaption);
        setWindowTitle(ChipTitle);
    } else if (ChipTitle.isEmpty()) {
        ChipTitle = QString::fromStdString(model->productTitle);
    }
    // A chip without bench instruments (#FLUKE) hides their items; a later chip that
    // has them brings them back.
    for (const char* name : {"Regist", "Fluke1", "Power1", "Memu_File"})
        menuItems_[name]->setVisible(!model->instrumentUiHidden);
}

void TMainPanel::USBClient(const QString& name) {
    if (auto* option = qobject_cast<TOption*>(Child("TOption"))) option->ChennalComChange();
    // The captions follow the description that handler loads again (its own caption
    // arrives first).
    bench_.Call([](Bench&) {}, this, [this, name] { ShowChipName(name); });
}

void TMainPanel::ShowChipName(const QString& name) {
    if (QWidget* ram = Child("TVz_RAM")) ram->setWindowTitle(QStringLiteral("記憶體 - ") + name);
    if (QWidget* reg = Child("TVz_Reg2")) reg->setWindowTitle(QStringLiteral("暫存器 - ") + name);
    if (QWidget* adc = Child("TAnxADC"))
        adc->setWindowTitle(QStringLiteral("Analyse ADC - ") + name);
    setWindowTitle(ChipTitle + QStringLiteral(" ---- Now Chip is  ") + name);
    // The image belongs to the bench thread: it publishes its own copy.
    bench_.Post([](Bench& bench) { bench.PublishRegisterImage(); });
}

void TMainPanel::USBScanClick() {
    bench_.Call(
        [](Bench& bench) -> QString {
            const InterfaceKind kind = bench.target().interfaceKind;
            if (!UsesBoard(kind)) {
                return QStringLiteral("USB Scan: the %1 interface does not use the board")
                    .arg(QString::fromLatin1(InterfaceKindName(kind).data()).toUpper());
            }
            if (!bench.up().USBConnect()) return QStringLiteral("USB Scan: no board found");
            const Devc& devc = bench.target().devc;
            return QStringLiteral("USB Scan: board found (%1)")
                .arg(bench.link().HidMode() ? QStringLiteral("HID")
                                            : QString::fromStdString(devc.deviceName));
        },
        this, [this](const QString& text) { SetStatusText(2, text); });
}

void TMainPanel::Menu_ReadRAMClick() {
    bench_.Call(
        [](Bench& bench) -> QString {
            if (!bench.up().ReadRam()) {
                const std::string why = bench.chip().FailureReason();
                return QStringLiteral("Read RAM failed: ") +
                       (why.empty() ? QStringLiteral("the chip did not answer")
                                    : QString::fromStdString(why));
            }
            return QStringLiteral("Read RAM: 64 bytes from 000 read");
        },
        this, [this](const QString& text) { SetStatusText(2, text); });
}

void TMainPanel::Menu_INTFClick() {
    bench_.Post([](Bench& bench) { bench.up().SetIntfReading(!bench.up().IntfReading()); });
}

void TMainPanel::SLEEP1Click() {
    bench_.Post([](Bench& bench) { bench.chip().SleepChip(); });
}

void TMainPanel::SETDMM1Click() {
    if (auto* sets = qobject_cast<TSETDMM*>(Child("TSETDMM"))) sets->OpenFromMenu();
    bench_.Post([](Bench& bench) {
        TVz_UP& up = bench.up();
        up.Adc1DisplayOn = true;
        up.Adc2DisplayOn = true;
        up.ResistanceOn = true;
        up.SetIntfReading(true);
        bench.calSets().StartTimer();
    });
    ShowTool("TSETDMM");
}

void TMainPanel::SMenu_LCDPANELClick() {
    ShowTool("TDMMResister");
    bench_.Post([](Bench& bench) {
        bench.up().SetIntfReading(false);
        bench.up().SetIntfReading(!bench.up().IntfReading());
    });
}

void TMainPanel::RegistClick() {
    ShowTool("TTMP");
    // The temperature test repaints its results every second while it is shown.
    if (QWidget* tmp = Child("TTMP")) QMetaObject::invokeMethod(tmp, "StartRepaint");
}

void TMainPanel::Button1Click() {
    bench_.Post([](Bench& bench) { bench.link().AdcStreamControl(bench.chip().Photo, true, 4); });
}

void TMainPanel::Button2Click() {
    // Three internal words of the link, for diagnosis: idle ticks, interrupt flags, packet size.
    bench_.Call(
        [](Bench& bench) {
            return std::array<uint16_t, 3>{static_cast<uint16_t>(bench.link().IdleTicks),
                                           bench.up().InterruptFlags,
                                           bench.target().devc.maximumPacketSize};
        },
        this,
        [this](std::array<uint16_t, 3> words) {
            for (int i = 0; i < 3; ++i) {
                SetStatusText(i, QString::fromStdString(HexStr(words[static_cast<size_t>(i)], 4)));
            }
        });
}

void TMainPanel::FormClose() {
    if (closed_) return;
    closed_ = true;
    bench_.RequestShutdown();
    // A drift run ends as on "Stop" (files, chamber stop, standby) before anything else
    // of the bench shuts down.
    bench_.AwaitProceduresEnd();
    bench_.RunAndWait([](Bench& bench) {
        bench.up().SetIntfReading(false);
        bench.up().StopHeartbeat();
    });
    if (!bench_.benchDir.isEmpty()) SaveConfig(SettingsFilePath(bench_.benchDir));
    bench_.RunAndWait([](Bench& bench) {
        if (!bench.benchDir.isEmpty())
            bench.switchTest().SaveConfig(QDir(bench.benchDir).filePath(kStepFileName));
    });
    // Saved before the windows are hidden, so that each keeps the visibility the user
    // left it with.
    RestoreWin1->Save(bench_.benchDir);
    for (const ChildWindowInfo& info : ChildWindowTable()) {
        ShowChild(Child(QString::fromLatin1(info.className)), -1, false);
    }
    // A bench left live is a hazard: the calibrator goes to standby, the power supply's
    // output off.
    bench_.RunAndWait([](Bench& bench) { bench.ShutDownInstruments(); });
    bench_.RunAndWait([](Bench& bench) {
        // DMM mode is left before the connection is given up: afterwards the board
        // would no longer hear it.
        if (bench.target().interfaceKind == InterfaceKind::DMM && bench.target().devc.connected) {
            bench.link().SetDmmMode(false);
        }
        if (bench.target().devc.HandleValid() && bench.target().devc.connected)
            bench.link().ReleaseBoard();
    });
}

void TMainPanel::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TMainPanel::AboutClick() {
    const QString benchDir = bench_.benchDir;
    bench_.Call(
        [](Bench& bench) {
            const Devc& devc = bench.target().devc;
            QString board = QStringLiteral("no board connected");
            if (devc.connected) {
                std::string info;
                bench.link().ReadBoardInfo(info);
                board = (bench.link().HidMode() ? QStringLiteral("HID board")
                                                : QString::fromStdString(devc.deviceName)) +
                        QStringLiteral(" \"%1\"").arg(QString::fromStdString(info));
            }
            const std::string& title = bench.core().chipModel().productTitle;
            return QStringList{board, title.empty() ? QStringLiteral("no chip description loaded")
                                                    : QString::fromStdString(title)};
        },
        this,
        [this, benchDir](const QStringList& bench) {
            Inform(
                tr("<b>dmmbench %1</b><br>Bench tool for DMM chip evaluation and calibration.<br>"
                   "Licence: GNU General Public License, version 3 or later.<br><br>"
                   "Bench directory: %2<br>Board: %3<br>Chip: %4")
                    .arg(QStringLiteral(DMM_VERSION), benchDir.toHtmlEscaped(),
                         bench.value(0).toHtmlEscaped(), bench.value(1).toHtmlEscaped()),
                tr("About dmmbench"));
        });
}

void TMainPanel::UserGuideClick() {
    // The README beside the shipped data (source tree), or the installed documentation.
    const QString data = ShippedDataDirectory();
    for (const QString& path : {QDir(data).absoluteFilePath("../README.md"),
                                QDir(data).absoluteFilePath("../doc/dmmbench/README.md")}) {
        if (QFileInfo::exists(path)) {
            QUrl url = QUrl::fromLocalFile(QFileInfo(path).canonicalFilePath());
            url.setFragment(QStringLiteral("using-dmmbench"));
            if (QDesktopServices::openUrl(url)) return;
            Inform(tr("The user guide is the README: %1").arg(url.toString()));
            return;
        }
    }
    Inform(tr("The user guide is the README of the dmmbench sources."));
}

void TMainPanel::Inform(const QString& text, const QString& title) {
    auto* box = new QMessageBox(QMessageBox::Information, title.isEmpty() ? windowTitle() : title,
                                text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace dmm::gui
