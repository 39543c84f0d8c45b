#include "core/instruments/power_supply.h"

#include <cctype>

#include "core/instruments/serial_line.h"

namespace dmm {

bool IsPowerSupplyIdentity(std::string_view reply) {
    static constexpr std::string_view kMaker = "HEWLETT-PACKARD";
    return reply.size() > 8 && reply.substr(0, kMaker.size()) == kMaker;
}

bool BeginsWithOutputOff(std::string_view command) {
    static constexpr std::string_view kOff = "OUTP OFF";
    if (command.size() < kOff.size()) return false;
    for (size_t i = 0; i < kOff.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(command[i])) != kOff[i]) return false;
    }
    return true;
}

bool PowerSupply::PowerSelectClick(int comIndex) {
    bool done = false;
    if (!StartIdentification(comIndex, "Power Supply", done)) return done;
    if (record_.handle->Configure(kSettings)) {
        record_.Store(kSettings);
        // Ports without modem lines (a pseudo-terminal) refuse DTR; the supply may still
        // listen.
        record_.handle->SetDtr(false);
        DiscardInput(record_);
        record_.handle->SetDtr(true);
        static constexpr char kRemote[] = "SYST:REM\r\n";
        WriteBytes(record_, reinterpret_cast<const uint8_t*>(kRemote), sizeof kRemote - 1);
        std::string reply;
        for (const char* setup : {"VOLT 0.0", "CURR 0.0", "OUTP OFF"})
            QueryText(record_, clock_, setup, reply);
        if (QueryText(record_, clock_, "*IDN?", reply) && IsPowerSupplyIdentity(reply))
            return Identified("Power Supply", reply);
    }
    return NotIdentified("Power Supply", QStringLiteral("此通道連接的不是Power Supply!!"));
}

// Back after its port went away: in remote again, its output left as it is (the procedure
// that waited sets it again).
bool PowerSupply::Reidentify(std::string& identity) {
    static constexpr char kRemote[] = "SYST:REM\r\n";
    DiscardInput(record_);
    WriteBytes(record_, reinterpret_cast<const uint8_t*>(kRemote), sizeof kRemote - 1);
    return QueryText(record_, clock_, "*IDN?", identity) && IsPowerSupplyIdentity(identity);
}

bool PowerSupply::Command(std::string_view text, std::string* reply) {
    NoteCommand(text);
    std::string answer;
    bool ok = QueryText(record_, clock_, text, answer);
    if (!ok) ok = QueryText(record_, clock_, text, answer);
    if (reply) *reply = answer;
    return ok;
}

void PowerSupply::StepCommand(std::string_view text) {
    Command(text);
    if (!BeginsWithOutputOff(text)) Command("OUTP ON");
}

std::optional<bool> PowerSupply::OutputOn() {
    std::string answer;
    if (!QueryText(record_, clock_, "OUTP?", answer) && !QueryText(record_, clock_, "OUTP?", answer))
        return std::nullopt;
    const QString state = QString::fromStdString(answer).trimmed();
    if (state == QStringLiteral("1")) return true;
    if (state == QStringLiteral("0")) return false;
    return std::nullopt;
}

void PowerSupply::NoteCommand(std::string_view text) {
    const QString command =
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).trimmed().toUpper();
    if (command.startsWith(QStringLiteral("VOLT")))
        volts_ = command.toStdString();
    else if (command.startsWith(QStringLiteral("CURR")))
        amps_ = command.toStdString();
    else if (command.startsWith(QStringLiteral("OUTP")))
        on_ = !BeginsWithOutputOff(text);
    else
        return;
    std::string output;
    for (const std::string& part : {volts_, amps_})
        if (!part.empty()) output += part + "; ";
    NoteOutput(output + (on_ ? "OUTP ON" : "OUTP OFF"));
}

void PowerSupply::SwitchOffNow() {
    NoteCommand("OUTP OFF");
    static constexpr char kOff[] = "OUTP OFF\r\n";
    WriteBytes(record_, reinterpret_cast<const uint8_t*>(kOff), sizeof kOff - 1);
}

}  // namespace dmm
