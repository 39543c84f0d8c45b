#include "gui/analog/t_meter.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QShowEvent>
#include <QVBoxLayout>

namespace dmm::gui {
namespace {

const QStringList kScanPeriods = {"100ms", "200ms", "500ms", "1s", "2s", "5s"};
// A reading that is not the meter's latest answer is drawn in this colour.
const QColor kStaleColor(150, 150, 150);

}  // namespace

TMeter::TMeter(Bench& bench, QWidget* parent) : QWidget(parent), bench_(bench) {
    setWindowTitle(QStringLiteral("Meter"));
    auto* grid = new QGridLayout;
    const QColor onColor = palette().color(QPalette::Highlight);
    const QColor face = palette().color(QPalette::Button);
    for (int k = 0; k < kRows; ++k) {
        const size_t i = static_cast<size_t>(k);
        const QString n = QString::number(k + 1);
        CheckBox[i] =
            new QCheckBox(QStringLiteral("連續儲存第 ") + n + QStringLiteral(" 電表值"), this);
        CheckBox[i]->setObjectName("CheckBox" + n);
        Label[i] = new QLabel(QStringLiteral("選擇掃瞄時間"), this);
        Label[i]->setObjectName("Label" + n);
        ComboBox[i] = new QComboBox(this);
        ComboBox[i]->setObjectName("ComboBox" + n);
        ComboBox[i]->addItems(kScanPeriods);
        Panel[i] = new QFrame(this);
        Panel[i]->setObjectName("Panel" + n);
        Panel[i]->setFixedSize(18, 6);
        Panel[i]->setAutoFillBackground(true);
        QPalette sign = Panel[i]->palette();
        sign.setColor(QPalette::Window, onColor);
        Panel[i]->setPalette(sign);
        LedArray[i] = new TLedArray(this);
        LedArray[i]->setObjectName("LedArray" + n);
        LedArray[i]->SetDigit(kBryMenDisplayDigits);
        LedArray[i]->SetSegWidth(3);
        LedArray[i]->SetMargin(2);
        LedArray[i]->SetLeftZero(true);
        LedArray[i]->SetOnColor(onColor);
        LedArray[i]->SetOffColor(face);
        LedArray[i]->SetBackColor(face);
        LedArray[i]->SetCaption(QStringLiteral("0"));
        LedArray[i]->setFixedSize(150, 46);
        MUnit[i] = new QLabel(QStringLiteral("MUnit0"), this);
        MUnit[i]->setObjectName("MUnit" + QString::number(k));
        MUnit[i]->setMinimumWidth(70);
        QFont unitFont = MUnit[i]->font();
        unitFont.setPointSize(unitFont.pointSize() + 4);
        unitFont.setBold(true);
        MUnit[i]->setFont(unitFont);

        grid->addWidget(CheckBox[i], k, 0);
        grid->addWidget(Label[i], k, 1);
        grid->addWidget(ComboBox[i], k, 2);
        grid->addWidget(Panel[i], k, 3, Qt::AlignVCenter);
        grid->addWidget(LedArray[i], k, 4);
        grid->addWidget(MUnit[i], k, 5);
        for (QWidget* w : {static_cast<QWidget*>(CheckBox[i]), static_cast<QWidget*>(Label[i]),
                           static_cast<QWidget*>(ComboBox[i])})
            w->setEnabled(false);
        LedArray[i]->hide();
        MUnit[i]->hide();
        Panel[i]->hide();

        connect(CheckBox[i], &QCheckBox::toggled, this, [this, k](bool on) {
            bench_.Post([k, on](Bench& b) { b.meterScan().SetStore(k, on); });
        });
        connect(ComboBox[i], &QComboBox::currentIndexChanged, this, [this, k](int index) {
            bench_.Post([k, index](Bench& b) { b.meterScan().SetScanPeriod(k, index); });
        });
    }
    RDandStop = new QPushButton(QStringLiteral("Stop"), this);
    RDandStop->setObjectName("RDandStop");
    connect(RDandStop, &QPushButton::clicked, this, &TMeter::RDandStopClick);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(RDandStop);
    layout->addLayout(buttons);

    connect(&bench_.meterScan(), &MeterScan::RowRead, this, &TMeter::ShowRow);
    connect(&bench_.meterScan(), &MeterScan::ChannelsChanged, this, &TMeter::ApplyChannels);
    connect(&bench_.meterScan(), &MeterScan::ReadingChanged, this, &TMeter::ShowReading);
}

void TMeter::CkSel() {
    bench_.Call([](Bench& b) { return b.meterScan().CkSel(); }, this,
                [this](const MeterChannelStates& states) { ApplyChannels(states); });
}

void TMeter::ApplyChannels(const MeterChannelStates& states) {
    for (int k = 0; k < kRows; ++k) {
        const size_t i = static_cast<size_t>(k);
        const bool inUse = states[i].inUse;
        CheckBox[i]->setEnabled(inUse);
        Label[i]->setEnabled(inUse);
        ComboBox[i]->setEnabled(inUse);
        LedArray[i]->setVisible(inUse);
        MUnit[i]->setVisible(inUse);
        if (inUse) {
            const QSignalBlocker block(ComboBox[i]);
            ComboBox[i]->setCurrentIndex(states[i].scanPeriodIndex);
            if (!hasReading_[i]) ShowNoReading(k);
        } else {
            LedArray[i]->SetCaption(QString());
            Panel[i]->hide();
        }
    }
}

void TMeter::RDandStopClick() {
    bench_.Post([](Bench& b) { b.meterScan().Toggle(); });
}

void TMeter::ShowReading(bool reading) {
    RDandStop->setText(reading ? QStringLiteral("Reading") : QStringLiteral("Stop"));
}

void TMeter::ShowRow(const MeterRowView& view) {
    if (view.channel < 0 || view.channel >= kRows) return;
    const size_t i = static_cast<size_t>(view.channel);
    TLedArray* led = LedArray[i];
    lost_[i] = view.lost;
    if (!view.hasReading) {
        ShowNoReading(view.channel);
        if (view.lost) ShowLost(view.channel);
        return;
    }
    stale_[i] = !view.fresh;
    hasReading_[i] = true;
    if (view.lost) {
        led->SetOnColor(kStaleColor);
        ShowLost(view.channel);
        return;
    }
    if (!view.fresh) {
        led->SetOnColor(kStaleColor);
        led->setToolTip(
            tr("Meter %1 did not answer: its last reading is shown dimmed").arg(view.channel + 1));
        return;
    }
    led->SetOnColor(palette().color(QPalette::Highlight));
    led->setToolTip(QString());
    MUnit[i]->setText(QString::fromStdString(view.display.unit));
    Panel[i]->setVisible(view.display.negative);
    // The caption carries its point and DotCount says how many digits stand before it.
    led->SetDotCount(view.display.dotCount);
    led->SetCaption(QString::fromStdString(view.display.caption));
}

void TMeter::ShowNoReading(int row) {
    const size_t i = static_cast<size_t>(row);
    hasReading_[i] = false;
    stale_[i] = false;
    TLedArray* led = LedArray[i];
    led->SetOnColor(palette().color(QPalette::Highlight));
    led->SetDotCount(0);
    led->SetCaption(QString());
    led->setToolTip(tr("Meter %1 has not answered on its port").arg(row + 1));
    MUnit[i]->setText(QString());
    Panel[i]->hide();
}

void TMeter::ShowLost(int row) {
    const size_t i = static_cast<size_t>(row);
    MUnit[i]->setText(tr("lost"));
    MUnit[i]->setVisible(true);
    LedArray[i]->setToolTip(
        tr("Meter %1 lost: its port went away; it is read again once it is back").arg(row + 1));
}

void TMeter::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    CkSel();
}

void TMeter::hideEvent(QHideEvent* event) {
    // Closing the window stops the reading; the main window being minimised does not.
    if (!event->spontaneous()) bench_.Post([](Bench& b) { b.meterScan().Stop(); });
    QWidget::hideEvent(event);
}

}  // namespace dmm::gui
