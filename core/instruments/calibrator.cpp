#include "core/instruments/calibrator.h"

#include "core/instruments/serial_line.h"

namespace dmm {

bool Calibrator::FlukeSelectClick(int comIndex) {
    if (connected()) {
        Status(QStringLiteral("Fluke 已經設定"));
        return true;
    }
    std::string why;
    if (!OpenPort(comIndex, kSettings, why)) {
        record_.connected = false;
        Status(QStringLiteral("Fluke Uart  not  found"));
        Detail(why);
        Close();
        return false;
    }
    DiscardInput(record_);
    SendText(record_, clock_, "*OPT");
    SendText(record_, clock_, "\r");
    DelayMs(clock_, kReplyWaitMs);
    std::string line;
    ReadLine(record_, clock_, line);
    const QString port = QString::fromStdString(record_.portName);
    if (!line.empty() && line.compare(0, 4, "*OPT") == 0) {
        record_.connected = true;
        Status(QStringLiteral("Successful Select Fluke In ") + port);
        return true;
    }
    Status(QStringLiteral("Fail Select Fluke ") + port);
    Message(QStringLiteral("此通道連接的不是Fluke5500A!!"));
    Close();
    return false;
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
