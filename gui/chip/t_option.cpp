#include "gui/chip/t_option.h"

#include <QAbstractItemView>
#include <QGridLayout>
#include <QGroupBox>
#include <QHideEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "core/analog/meter_scan.h"
#include "core/app/bench.h"
#include "core/app/settings_file.h"
#include "core/chip/chip_loader.h"
#include "core/instruments/chip_port.h"
#include "core/instruments/com_ports.h"
#include "core/link/parallel_link.h"

namespace dmm::gui {
namespace {

const QStringList kInterfaceItems = {"RS232", "SPI", "Special", "Parallel", "UART", "DMM"};
const QStringList kParityItems = {"None", "Even", "Odd"};

QStringList NumberItems(int count) {
    QStringList items;
    for (int i = 0; i < count; ++i) items << QString::number(i);
    return items;
}

QStringList ComItems() {
    QStringList items;
    for (int i = 0; i < kComPortCount; ++i) items << QString::fromStdString(ComPortName(i));
    return items;
}

QLabel* NamedLabel(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

// A selector shows as much of a port's name as fits; its list shows all of it.
void FitComSelector(QComboBox* combo) {
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(22);
}

void Select(QComboBox* combo, int index) {
    const QSignalBlocker blocker(combo);
    if (index >= 0 && index < combo->count()) combo->setCurrentIndex(index);
}

}  // namespace

SetupChoice BenchChoice(Bench& bench) {
    const STND& target = bench.target();
    SetupChoice choice;
    choice.chipIndex = target.chipIndex;
    choice.interfaceKind = static_cast<int>(target.interfaceKind);
    choice.comIndex = target.serialPortIndex;
    choice.baudIndex = target.serialBaudIndex;
    choice.parityIndex = target.serialParityIndex;
    choice.lptItem = LptItemIndex(bench.core().parallel().PortBase);
    choice.photo = bench.chip().Photo;
    return choice;
}

SetupChoice ConfigChoice(const VzAdcConfig& config) {
    SetupChoice choice;
    choice.chipIndex = config.chipIndex;
    choice.interfaceKind = config.interfaceKind;
    choice.comIndex = config.serialPortIndex;
    choice.baudIndex = config.serialBaudIndex;
    choice.parityIndex = config.serialParityIndex;
    choice.lptItem = config.CLPT;
    choice.photo = config.Photo;
    return choice;
}

TOption::TOption(Bench& bench, QWidget* parent) : QDialog(parent), bench_(bench) {
    setObjectName("TOption");
    setWindowTitle(QStringLiteral("選項"));
    auto* layout = new QVBoxLayout(this);

    auto* chipRow = new QHBoxLayout;
    chipRow->addWidget(NamedLabel("Label1", QStringLiteral("Select Chip "), this));
    CbSeluP = new QComboBox(this);
    CbSeluP->setObjectName("CbSeluP");
    CbSeluP->setMinimumWidth(240);
    chipRow->addWidget(CbSeluP, 1);
    layout->addLayout(chipRow);

    auto* group = new QGroupBox(QStringLiteral("Communication"), this);
    group->setObjectName("GroupBox1");
    auto* grid = new QGridLayout(group);
    Interfafce = new QRadioButton(QStringLiteral("Interfafce"), group);
    Interfafce->setObjectName("Interfafce");
    Interfafce->setChecked(true);
    SelLPT = new QComboBox(group);
    SelLPT->setObjectName("SelLPT");
    SelLPT->addItems(kInterfaceItems);
    grid->addWidget(Interfafce, 0, 0);
    grid->addWidget(SelLPT, 0, 1);
    auto addRow = [&](int row, const QString& label, const QString& name, QComboBox*& combo,
                      const QStringList& items) {
        grid->addWidget(NamedLabel("L" + name, label, group), row, 0);
        combo = new QComboBox(group);
        combo->setObjectName(name);
        combo->addItems(items);
        grid->addWidget(combo, row, 1);
    };
    addRow(1, QStringLiteral("COM"), "TXCOM", TXCOM, ComItems());
    FitComSelector(TXCOM);
    QStringList bauds;
    for (int32_t rate : kChipBaudRates) bauds << QString::number(rate);
    addRow(2, QStringLiteral("Baud"), "TXBaud", TXBaud, bauds);
    addRow(3, QStringLiteral("Parity"), "TXParity", TXParity, kParityItems);
    QStringList lpt;
    for (std::string_view text : kLptItemTexts)
        lpt << QString::fromLatin1(text.data(), text.size());
    addRow(4, QStringLiteral("LPT Address"), "CLPT", CLPT, lpt);
    // An address may be typed; one that matches no item means LPT1.
    CLPT->setEditable(true);
    CLPT->setInsertPolicy(QComboBox::NoInsert);
    Photo = new QCheckBox(QStringLiteral("光耦合"), group);
    Photo->setObjectName("Photo");
    Photo->setToolTip(tr("Opto-coupled board: the chip frames carry the opto-coupled codes."));
    grid->addWidget(Photo, 5, 0, 1, 2);
    layout->addWidget(group);

    auto* channelRow = new QHBoxLayout;
    QLabel* channelLabel = NamedLabel("Label10", QStringLiteral("Select Channel "), this);
    ChennalCom = new QComboBox(this);
    ChennalCom->setObjectName("ChennalCom");
    ChennalCom->addItems(NumberItems(16));
    channelRow->addWidget(channelLabel);
    channelRow->addWidget(ChennalCom);
    channelRow->addStretch(1);
    layout->addLayout(channelRow);
    instrumentControls_ = {channelLabel, ChennalCom};

    auto section = [&](const QString& labelName, const QString& heading) {
        QLabel* label = NamedLabel(labelName, heading, this);
        layout->addWidget(label);
        instrumentControls_.push_back(label);
    };
    auto instrumentRow = [&](QComboBox*& combo, const QString& comName, QPushButton*& button,
                             const QString& buttonName, QLabel*& state, const QString& stateName) {
        auto* row = new QHBoxLayout;
        combo = ComSelector(comName);
        button = SelectButton(buttonName);
        state = NamedLabel(stateName, tr("not selected"), this);
        state->setMinimumWidth(220);
        row->addWidget(combo, 1);
        row->addWidget(button);
        row->addWidget(state);
        layout->addLayout(row);
        for (QWidget* w : std::initializer_list<QWidget*>{combo, button, state})
            instrumentControls_.push_back(w);
    };
    section("Label8", QStringLiteral("======================Fluke5500==================="));
    instrumentRow(FlukeCOM, "FlukeCOM", FlukeSelect, "FlukeSelect", FlukeState, "FlukeState");
    section("Label13", QStringLiteral("======================Power Supply================="));
    instrumentRow(PowerCOM, "PowerCOM", PowerSelect, "PowerSelect", PowerState, "PowerState");
    section("Label6", QStringLiteral("======================Chamber================="));
    instrumentRow(ChamberCOM, "ChamberCOM", ChamberSelect, "ChamberSelect", ChamberState,
                  "ChamberState");
    section("Label9", QStringLiteral("======================BryMen======================"));
    auto* meterRow = new QHBoxLayout;
    QLabel* meterChannel = NamedLabel("Label12", QStringLiteral("Select Channel "), this);
    BryMemChannel = new QComboBox(this);
    BryMemChannel->setObjectName("BryMemChannel");
    BryMemChannel->addItems(NumberItems(6));
    QLabel* meterCom = NamedLabel("Label11", QStringLiteral("COM"), this);
    BryMemCom = ComSelector("BryMemCom");
    BryMemButtom = SelectButton("BryMemButtom");
    BryMemState = NamedLabel("BryMemState", tr("not selected"), this);
    for (QWidget* w : std::initializer_list<QWidget*>{meterChannel, BryMemChannel, meterCom,
                                                      BryMemCom, BryMemButtom, BryMemState}) {
        if (w != BryMemState) meterRow->addWidget(w);
        instrumentControls_.push_back(w);
    }
    layout->addLayout(meterRow);
    // The meter's state ("meter 6 answers on COM10") gets a line of its own: beside the
    // channel and port it would widen the dialog past a small screen.
    layout->addWidget(BryMemState);

    BtClose = new QPushButton(QStringLiteral("關閉"), this);
    BtClose->setObjectName("BtClose");
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    closeRow->addWidget(BtClose);
    layout->addLayout(closeRow);

    connect(CbSeluP, &QComboBox::currentIndexChanged, this, &TOption::CbSeluPChange);
    connect(SelLPT, &QComboBox::currentIndexChanged, this, &TOption::SelLPTChange);
    for (QComboBox* combo : {TXCOM, TXBaud, TXParity, FlukeCOM, PowerCOM, ChamberCOM})
        connect(combo, &QComboBox::currentIndexChanged, this, &TOption::TXCOMChange);
    connect(CLPT, &QComboBox::currentTextChanged, this, &TOption::CLPTChange);
    connect(Photo, &QCheckBox::clicked, this, &TOption::PhotoClick);
    connect(FlukeSelect, &QPushButton::clicked, this, &TOption::FlukeSelectClick);
    connect(PowerSelect, &QPushButton::clicked, this, &TOption::PowerSelectClick);
    connect(ChamberSelect, &QPushButton::clicked, this, &TOption::ChamberSelectClick);
    connect(BryMemButtom, &QPushButton::clicked, this, &TOption::BryMemButtomClick);
    connect(ChennalCom, &QComboBox::currentIndexChanged, this, &TOption::ChennalComChange);
    connect(BryMemChannel, &QComboBox::currentIndexChanged, this, &TOption::BryMemChannelChange);
    connect(BtClose, &QPushButton::clicked, this, &TOption::BtCloseClick);
    connect(&bench_, &Bench::ChipModelChanged, this, &TOption::ChipModelLoaded);
    connect(&bench_.meterScan(), &MeterScan::Selected, this, &TOption::MeterSelected);
    connect(&bench_.meterScan(), &MeterScan::RowRead, this, &TOption::FollowMeterRow);
    connect(&bench_.instrumentWatch(), &InstrumentWatch::LinkChanged, this,
            &TOption::FollowInstrumentLink);
    comSelectors_ = {TXCOM, FlukeCOM, PowerCOM, ChamberCOM, BryMemCom};

    FormCreate();
    setFixedSize(sizeHint());
}

QComboBox* TOption::ComSelector(const QString& name) {
    auto* combo = new QComboBox(this);
    combo->setObjectName(name);
    combo->addItems(ComItems());
    FitComSelector(combo);
    return combo;
}

QPushButton* TOption::SelectButton(const QString& name) {
    auto* button = new QPushButton(QStringLiteral("Select"), this);
    button->setObjectName(name);
    return button;
}

void TOption::FormCreate() {
    const ChipSelector selector = FillChipSelector(IncludeDirectory(bench_.benchDir));
    const QSignalBlocker blocker(CbSeluP);
    for (const std::string& text : selector.texts) CbSeluP->addItem(QString::fromStdString(text));
    CbSeluP->setCurrentIndex(CbSeluP->count() > 0 ? 0 : -1);
    // The dialog starts with no serial port of its own open.
    bench_.Post([](Bench& bench) { bench.core().chipPort().Forget(bench.target()); });
    Select(CLPT, 0);
    CLPT->setEnabled(false);
    ShowComPorts(false);
}

void TOption::ShowComPorts(bool rescan) {
    bench_.Call(
        [rescan](Bench& bench) {
            if (rescan) bench.core().serial().Rescan();
            return bench.core().serial().SelectorItems();
        },
        this,
        [this](const std::vector<SerialChannel::SelectorItem>& items) {
            for (QComboBox* combo : comSelectors_) {
                const QSignalBlocker blocker(combo);
                for (int i = 0; i < combo->count() && i < static_cast<int>(items.size()); ++i) {
                    const auto& item = items[static_cast<size_t>(i)];
                    combo->setItemText(i, QString::fromStdString(item.text));
                    combo->setItemData(i, item.present ? QVariant() : QVariant(QColor(Qt::gray)),
                                       Qt::ForegroundRole);
                }
                combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0) + 24);
            }
        });
}

void TOption::Show(const SetupChoice& choice) {
    Select(CbSeluP, choice.chipIndex);
    Select(SelLPT, choice.interfaceKind);
    Select(TXCOM, choice.comIndex);
    Select(TXBaud, choice.baudIndex);
    Select(TXParity, choice.parityIndex);
    Select(CLPT, choice.lptItem);
    Photo->setChecked(choice.photo);
    EnablePortControls(choice.interfaceKind);
}

void TOption::EnablePortControls(int kind) {
    const bool serial = kind == static_cast<int>(InterfaceKind::RS232);
    for (QComboBox* combo : {TXCOM, TXBaud, TXParity}) combo->setEnabled(serial);
    CLPT->setEnabled(kind == static_cast<int>(InterfaceKind::Parallel));
}

void TOption::CbSeluPChange() {
    const int index = CbSeluP->currentIndex();
    if (index < 0) return;
    bench_.Post([index](Bench& bench) {
        bench.target().chipIndex = static_cast<uint16_t>(index);
        bench.LoadSelectedChip();
    });
}

void TOption::SelLPTChange() {
    const int kind = SelLPT->currentIndex();
    if (kind < 0 || kind >= kInterfaceKindCount) return;
    bench_.Post([kind](Bench& bench) {
        bench.target().interfaceKind = static_cast<InterfaceKind>(kind);
        // The analysis scale's bit count depends on the kind.
        bench.analysis().TXScaleChange();
        if (bench.target().interfaceKind == InterfaceKind::UART) bench.link().SetupUartLink();
    });
    EnablePortControls(kind);
    // RS232 opens the chip link's port; every other kind gives it back.
    TXCOMChange();
}

void TOption::TXCOMChange() {
    // Whichever selector changed, the chip link's port is the one TXCOM names: the
    // instruments' ports are opened by their own Select buttons. On a kind other than
    // RS232 the chip link takes no port at all (the bench gives back any it held).
    const int com = TXCOM->currentIndex();
    const int baud = TXBaud->currentIndex();
    const int parity = TXParity->currentIndex();
    bench_.Post([com, baud, parity](Bench& bench) {
        STND& target = bench.target();
        target.serialPortIndex = com;
        target.serialBaudIndex = baud;
        target.serialParityIndex = parity;
        bench.OpenChipPort();
    });
}

void TOption::CLPTChange() {
    const uint16_t base = LptPortBase(CLPT->findText(CLPT->currentText()));
    bench_.Post([base](Bench& bench) { bench.core().parallel().PortBase = base; });
}

void TOption::PhotoClick() {
    const bool on = Photo->isChecked();
    bench_.Post([on](Bench& bench) { bench.chip().Photo = on; });
}

void TOption::RunIdentification(QPushButton* button, QLabel* state, const QString& instrument,
                                int id, int comIndex) {
    button->setEnabled(false);
    const QString port = QString::fromStdString(ComPortName(comIndex));
    state->setText(tr("trying %1 ...").arg(port));
    struct Outcome {
        bool ok = false;
        std::string on;  // the port the instrument is identified on, "" when none
    };
    bench_.instrumentThreads().Call(
        static_cast<InstrumentId>(id),
        [id, comIndex](Instruments& instruments) {
            Outcome outcome;
            switch (static_cast<InstrumentId>(id)) {
                case InstrumentId::Calibrator:
                    outcome.ok = instruments.calibrator().FlukeSelectClick(comIndex);
                    break;
                case InstrumentId::PowerSupply:
                    outcome.ok = instruments.power().PowerSelectClick(comIndex);
                    break;
                default:
                    outcome.ok = instruments.chamber().ChamberSelectClick(comIndex);
            }
            const SerialInstrument& instrument = instruments.Of(static_cast<InstrumentId>(id));
            if (instrument.connected()) outcome.on = instrument.record().portName;
            return outcome;
        },
        this,
        [this, button, state, instrument, port](const Outcome& outcome) {
            button->setEnabled(true);
            const QString on = QString::fromStdString(outcome.on);
            if (outcome.ok)
                state->setText(tr("identified on %1").arg(on));
            else if (!on.isEmpty())
                state->setText(tr("not found on %1; still on %2").arg(port, on));
            else
                state->setText(tr("not found on %1").arg(port));
            ShowComPorts(false);
            emit Identified(instrument, outcome.ok);
        });
}

void TOption::FlukeSelectClick() {
    RunIdentification(FlukeSelect, FlukeState, "Fluke", static_cast<int>(InstrumentId::Calibrator),
                      FlukeCOM->currentIndex());
}

void TOption::PowerSelectClick() {
    RunIdentification(PowerSelect, PowerState, "Power Supply",
                      static_cast<int>(InstrumentId::PowerSupply), PowerCOM->currentIndex());
}

void TOption::ChamberSelectClick() {
    RunIdentification(ChamberSelect, ChamberState, "Chamber",
                      static_cast<int>(InstrumentId::Chamber), ChamberCOM->currentIndex());
}

void TOption::BryMemButtomClick() {
    // The meter section's button puts the chosen meter channel on the chosen port, as
    // the meter window's readings expect: a section whose button did nothing would leave
    // the user no way to move a meter.
    const int channel = BryMemChannel->currentIndex();
    const int com = BryMemCom->currentIndex();
    BryMemButtom->setEnabled(false);
    BryMemState->setText(tr("trying meter %1 on %2 ...")
                             .arg(channel + 1)
                             .arg(QString::fromStdString(ComPortName(com))));
    bench_.Post([channel, com](Bench& bench) { bench.meterScan().Select(channel, com); });
}

void TOption::MeterSelected(const MeterSelectResult& result) {
    BryMemButtom->setEnabled(true);
    const QString meter = QString::number(result.channel + 1);
    const QString port = QString::fromStdString(ComPortName(result.comIndex));
    const QString on = QString::fromStdString(result.inUseOn);
    if (result.answered)
        BryMemState->setText(tr("meter %1 answers on %2").arg(meter, port));
    else if (result.opened)
        BryMemState->setText(tr("meter %1 on %2: no answer").arg(meter, port));
    else if (!on.isEmpty())
        BryMemState->setText(tr("meter %1 not on %2; still on %3").arg(meter, port, on));
    else
        BryMemState->setText(tr("meter %1 not on %2").arg(meter, port));
    ShowComPorts(false);
}

void TOption::FollowMeterRow(const MeterRowView& view) {
    if (view.channel < 0 || view.channel >= kMeterChannelCount) return;
    bool& lost = meterLost_[static_cast<size_t>(view.channel)];
    const bool shown = view.channel == BryMemChannel->currentIndex();
    const QString meter = QString::number(view.channel + 1);
    if (view.lost) {
        if (shown) BryMemState->setText(tr("meter %1 lost: its port went away").arg(meter));
        lost = true;
        return;
    }
    if (!lost || !view.fresh) return;
    lost = false;
    if (!shown) return;
    const std::string role = "meter " + std::to_string(view.channel + 1);
    QString port;
    for (const Instruments::Connected& c : bench_.ConnectedInstruments())
        if (c.role == role) port = QString::fromStdString(c.summary.port);
    BryMemState->setText(port.isEmpty() ? tr("meter %1 back").arg(meter)
                                        : tr("meter %1 back on %2").arg(meter, port));
}

void TOption::FollowInstrumentLink(const InstrumentLinkView& view) {
    // An identification says where the instrument is itself; the watch adds its losses and
    // returns.
    if (view.link != InstrumentLink::Lost && !view.back) return;
    QLabel* state = view.id == InstrumentId::Calibrator    ? FlukeState
                    : view.id == InstrumentId::PowerSupply ? PowerState
                                                           : ChamberState;
    state->setText(InstrumentLinkText(view));
}

void TOption::Open() {
    ShowComPorts(true);
    bench_.Call(BenchChoice, this, [this](const SetupChoice& choice) {
        Show(choice);
        setModal(true);
        show();
        raise();
        activateWindow();
    });
}

void TOption::ChennalComChange() {
    // The description is loaded again in the same bench action, so that whatever is
    // posted after this handler finds it loaded (and its captions already shown).
    bench_.Call(
        [](Bench& bench) {
            bench.EnsureSelectedChip();
            return BenchChoice(bench);
        },
        this,
        [this](const SetupChoice& choice) {
            Show(choice);
            SelLPTChange();
            emit Restored();
        });
}

void TOption::BryMemChannelChange() {
    // Every setup channel drives the one target record (the chip loader reads channel
    // 0's chip only), so a channel restores what that record holds.
    ChennalComChange();
}

void TOption::BtCloseClick() {
    accept();
}

void TOption::hideEvent(QHideEvent* event) {
    // However the dialog goes away, a parallel link is made ready at the chosen address.
    if (!event->spontaneous() &&
        SelLPT->currentIndex() == static_cast<int>(InterfaceKind::Parallel))
        bench_.Post([](Bench& bench) { bench.InitParallelPort(); });
    QDialog::hideEvent(event);
}

void TOption::ChipModelLoaded(const std::shared_ptr<const TChipModel>& model) {
    if (!model || model->loadCount == 0) return;
    // A chip without bench instruments (#FLUKE) hides their sections; a later chip that
    // has them brings them back, as the main menu does.
    for (QWidget* w : instrumentControls_) w->setVisible(!model->instrumentUiHidden);
    setFixedSize(sizeHint());
}

}  // namespace dmm::gui
