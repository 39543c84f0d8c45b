#include "core/instruments/serial_instrument.h"

namespace dmm {

bool SerialInstrument::OpenPort(int comIndex, const SerialSettings& settings, std::string& why) {
    if (!channel_.Open(record_, comIndex, user_, why)) return false;
    if (!record_.handle->Configure(settings)) {
        why = record_.portName + ": the line cannot be set: " + record_.handle->LastError();
        return false;
    }
    record_.Store(settings);
    return true;
}

bool SerialInstrument::StartIdentification(int comIndex, const char* name, bool& done) {
    const QString who = QString::fromUtf8(name);
    done = connected();
    if (done) {
        Status(who + QStringLiteral(" 已經設定"));
        return false;
    }
    std::string why;
    if (!channel_.Open(record_, comIndex, user_, why)) {
        record_.connected = false;
        Status(who + QStringLiteral(" Uart  not  found"));
        Detail(why);
        Close();
        return false;
    }
    return true;
}

void SerialInstrument::Close() {
    channel_.Close(record_);
    const std::lock_guard lock(summaryMutex_);
    summary_ = {};
}

InstrumentSummary SerialInstrument::Summary() const {
    const std::lock_guard lock(summaryMutex_);
    return summary_;
}

void SerialInstrument::NoteOutput(std::string output) {
    const std::lock_guard lock(summaryMutex_);
    summary_.output = std::move(output);
}

bool SerialInstrument::Identified(const char* name, std::string identity) {
    record_.connected = true;
    {
        const std::lock_guard lock(summaryMutex_);
        summary_ = {true, record_.portName, std::move(identity), {}};
    }
    Status(QStringLiteral("Successful Select %1 In %2")
               .arg(QString::fromUtf8(name), QString::fromStdString(record_.portName)));
    return true;
}

bool SerialInstrument::NotIdentified(const char* name, const QString& box) {
    Status(QStringLiteral("Fail Select %1 %2")
               .arg(QString::fromUtf8(name), QString::fromStdString(record_.portName)));
    Message(box);
    Close();
    return false;
}

}  // namespace dmm
