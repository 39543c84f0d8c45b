#include "core/instruments/calibrator.h"

#include "core/instruments/serial_line.h"

namespace dmm {

bool Calibrator::FlukeSelectClick(int comIndex) {
    bool done = false;
    if (!StartIdentification(comIndex, "Fluke", done)) return done;
    if (record_.handle->Configure(kSettings)) {
        record_.Store(kSettings);
        std::string line;
        if (Reidentify(line)) return Identified("Fluke", line);
    }
    return NotIdentified("Fluke", QStringLiteral("此通道連接的不是Fluke5500A!!"), true);
}

bool Calibrator::Reidentify(std::string& identity) {
    DiscardInput(record_);
    SendText(record_, clock_, "*OPT");
    SendText(record_, clock_, "\r");
    DelayMs(clock_, kReplyWaitMs);
    identity.clear();
    ReadLine(record_, clock_, identity);
    return !identity.empty() && identity.compare(0, 4, "*OPT") == 0;
}

std::string Calibrator::Command(std::string_view text) {
    DiscardInput(record_);
    Send(text);
    DelayMs(clock_, kReplyWaitMs);
    std::string line;
    ReadLine(record_, clock_, line);
    return line;
}

void Calibrator::Send(std::string_view text) {
    SendText(record_, clock_, text);
    SendText(record_, clock_, "\r");
    NoteCommand(text);
}

void Calibrator::NoteCommand(std::string_view text) {
    const QString command =
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).trimmed();
    if (command.startsWith(QStringLiteral("OUT"), Qt::CaseInsensitive))
        lastOut_ = command.toStdString();
    else if (command.compare(QStringLiteral("OPER"), Qt::CaseInsensitive) == 0)
        operating_ = true;
    else if (command.compare(QStringLiteral("STBY"), Qt::CaseInsensitive) == 0)
        operating_ = false;
    else
        return;
    const char* state = operating_ ? "OPER" : "STBY";
    NoteOutput(lastOut_.empty() ? state : lastOut_ + ", " + state);
}

std::string Calibrator::StepCommand(std::string_view text) {
    std::string reply = Command(text);
    if (reply.empty()) reply = Command(text);
    return reply;
}

bool Calibrator::Operate(std::string* reply) {
    const std::string line = Command("OPER");
    if (reply) *reply = line;
    return !line.empty();
}

void Calibrator::RangeLock(CalibratorRangeLock lock) {
    Send("STBY");
    Send("RANGELCK OFF");
    if (lock == CalibratorRangeLock::None) return;
    Send(lock == CalibratorRangeLock::Lock3V3 ? "OUT 600 mV ,0 Hz " : "OUT 100 mV ,0 Hz ");
    Send("RANGELCK ON");
    Send("OUT 0 V ,0 Hz");
}

}  // namespace dmm
