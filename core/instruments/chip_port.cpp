#include "core/instruments/chip_port.h"

#include <algorithm>

namespace dmm {

SerialParity ParityOfIndex(int32_t index) {
    switch (index) {
        case 1:
            return SerialParity::Even;
        case 2:
            return SerialParity::Odd;
        default:
            return SerialParity::None;
    }
}

int BaudIndexOf(int32_t baudRate) {
    const auto it = std::find(kChipBaudRates.begin(), kChipBaudRates.end(), baudRate);
    return it == kChipBaudRates.end() ? -1 : static_cast<int>(it - kChipBaudRates.begin());
}

namespace {

QString ParityText(SerialParity parity) {
    switch (parity) {
        case SerialParity::Even:
            return QStringLiteral("EVEN");
        case SerialParity::Odd:
            return QStringLiteral("ODD");
        default:
            return QStringLiteral("None");
    }
}

}  // namespace

bool ChipPort::OpenChipPort(STND& target, UiHooks& hooks) {
    const int index = target.serialPortIndex;
    DevcRS232& record = target.rs232;
    record.comIndex = index;
    record.portName = ComPortName(index);
    const int32_t baudIndex =
        std::clamp(target.serialBaudIndex, 0, static_cast<int32_t>(kChipBaudRates.size()) - 1);
    const SerialSettings wanted{kChipBaudRates[static_cast<size_t>(baudIndex)], 8,
                                ParityOfIndex(target.serialParityIndex), 0};
    record.Store(wanted);

    std::string why;
    DevcRS232* port =
        index >= 0 && index < kComPortCount ? &opened_[static_cast<size_t>(index)] : nullptr;
    if (!port || (!port->Open() && !channel_.Open(*port, index, "the chip link", why))) {
        record.connected = false;
        record.handle.reset();
        hooks.SetStatusText(0, QStringLiteral("Uart  not  found"));
        if (!why.empty()) hooks.SetStatusText(1, QString::fromStdString(why));
        return false;
    }
    port->connected = true;
    record.handle = port->handle;
    record.connected = true;

    SerialSettings current;
    port->handle->ReadSettings(current);
    current.baudRate = wanted.baudRate;
    current.dataBits = wanted.dataBits;
    current.parity = wanted.parity;
    current.stopBits = wanted.stopBits;
    if (!port->handle->Configure(current)) {
        hooks.SetStatusText(
            1, QString::fromStdString(record.portName + ": " + port->handle->LastError()));
    }
    SerialSettings readBack = current;
    port->handle->ReadSettings(readBack);
    hooks.SetStatusText(0, QStringLiteral("RS232 %1 , Baud = %2, Pariyt = %3")
                               .arg(QString::fromStdString(record.portName))
                               .arg(readBack.baudRate)
                               .arg(ParityText(wanted.parity)));
    return true;
}

void ChipPort::Forget(STND& target) {
    for (DevcRS232& port : opened_) channel_.Close(port);
    target.rs232.handle.reset();
    target.rs232.connected = false;
}

}  // namespace dmm
