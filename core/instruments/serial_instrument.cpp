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
    done = connected() && record_.comIndex == comIndex;
    if (done) {
        Status(who + QStringLiteral(" 已經設定"));
        return false;
    }
    if (connected()) SetAsidePort();
    std::string why;
    if (!channel_.Open(record_, comIndex, user_, why)) {
        record_.connected = false;
        Status(who + QStringLiteral(" Uart  not  found"));
        Detail(why);
        Close();
        RestorePreviousPort(why);
        return false;
    }
    return true;
}

void SerialInstrument::SetAsidePort() {
    previousSummary_ = Summary();
    previous_ = std::move(record_);
    record_ = DevcRS232{};
}

void SerialInstrument::ReleasePreviousPort() {
    channel_.Close(previous_);
    previous_ = DevcRS232{};
}

void SerialInstrument::RestorePreviousPort(const std::string& why) {
    if (!previous_.handle) return;
    channel_.Close(record_);
    record_ = std::move(previous_);
    previous_ = DevcRS232{};
    {
        const std::lock_guard lock(summaryMutex_);
        summary_ = previousSummary_;
    }
    const std::string stays = user_ + " stays on " + record_.portName;
    Detail(why.empty() ? stays : why + "; " + stays);
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

void SerialInstrument::MarkConnected(std::string identity) {
    record_.connected = true;
    const ComPortMap map = channel_.Map();
    const ComPortMap::Entry& entry = map.At(record_.comIndex);
    stableKey_ = entry.port ? entry.port->stableKey : std::string();
    const std::lock_guard lock(summaryMutex_);
    summary_ = {true, record_.portName, std::move(identity), {}};
}

void SerialInstrument::NoteLostPort() {
    lostKey_ = stableKey_.empty() ? record_.portName : stableKey_;
    lostSettings_ = record_.Settings();
    lostPort_ = record_.portName;
    ++losses_;
    const std::string port = record_.portName;
    Close();
    {
        const std::lock_guard lock(summaryMutex_);
        summary_.identity = "lost: " + port + " went away";
    }
    Status(QString::fromStdString(user_ + " lost: " + port + " went away"));
}

bool SerialInstrument::Reconnect() {
    if (connected()) return true;
    if (lostKey_.empty()) {
        if (!record_.connected || !record_.handle) return false;  // nothing identified to lose
        NoteLostPort();
    }
    const ComPortMap map = channel_.Rescan();
    int index = -1;
    for (int i = 0; i < kComPortCount && index < 0; ++i) {
        const auto& port = map.At(i).port;
        if (port && (port->stableKey == lostKey_ || port->path == lostKey_)) index = i;
    }
    if (index < 0) return false;
    std::string why;
    std::string identity;
    if (!OpenPort(index, lostSettings_, why) || !Reidentify(identity)) {
        channel_.Close(record_);
        return false;
    }
    lostKey_.clear();
    lostPort_.clear();
    MarkConnected(std::move(identity));
    Status(QString::fromStdString(user_ + " back in " + record_.portName));
    return true;
}

bool SerialInstrument::Answers() {
    if (PortLost() || !connected()) return Reconnect();
    std::string identity;
    return Reidentify(identity);
}

bool SerialInstrument::Identified(const char* name, std::string identity) {
    MarkConnected(std::move(identity));
    ReleasePreviousPort();
    Status(QStringLiteral("Successful Select %1 In %2")
               .arg(QString::fromUtf8(name), QString::fromStdString(record_.portName)));
    return true;
}

bool SerialInstrument::NotIdentified(const char* name, const QString& box, bool yesBox) {
    Status(QStringLiteral("Fail Select %1 %2")
               .arg(QString::fromUtf8(name), QString::fromStdString(record_.portName)));
    Detail({});
    if (yesBox)
        YesMessage(box);
    else
        Message(box);
    Close();
    RestorePreviousPort();
    return false;
}

}  // namespace dmm
