#pragma once

#include <QString>

#include <mutex>
#include <string>

#include "core/app/ui_hooks.h"
#include "core/instruments/devc_rs232.h"
#include "core/instruments/serial_channel.h"
#include "core/link/clock.h"

namespace dmm {

// What an instrument said it is when it was identified, and what it was last set to put
// out ("OUT 100 mV ,50 Hz, OPER"); a capture's record lists them.
struct InstrumentSummary {
    bool connected = false;
    std::string port;      // "/dev/ttyUSB0"
    std::string identity;  // its answer to the identification
    std::string output;
};

// What the four bench instruments share: their port record, the channel that opens it,
// the clock every wait runs on, and the status bar their messages go to.
// Thread: one thread at a time per instrument (its I/O thread in the program, the
// caller's thread in the CLI and in tests).
class SerialInstrument {
  public:
    SerialInstrument(SerialChannel& channel, Clock& clock, UiHooks& hooks, std::string user)
        : channel_(channel), clock_(clock), hooks_(hooks), user_(std::move(user)) {}
    virtual ~SerialInstrument() = default;
    SerialInstrument(const SerialInstrument&) = delete;
    SerialInstrument& operator=(const SerialInstrument&) = delete;

    DevcRS232& record() { return record_; }
    const DevcRS232& record() const { return record_; }
    bool connected() const { return record_.connected && record_.Open(); }
    Clock& clock() { return clock_; }
    // Gives the port back; the instrument is unconnected afterwards.
    void Close();
    // Any thread: the instrument's own thread keeps it up to date.
    InstrumentSummary Summary() const;

    // The port of an identified instrument went away (unplugged, an adapter that reset).
    bool PortLost() const { return !lostKey_.empty() || (record_.connected && !record_.Open()); }
    // How often the instrument's port went away since the program started: a procedure
    // compares it before and after its work, whoever brought the port back meanwhile.
    int Losses() const { return losses_; }
    // The port that went away ("/dev/ttyUSB0") while the port is lost.
    const std::string& LostPort() const { return lostPort_; }
    // Watches a lost port: the first call gives it back and says so; every call lists the
    // ports again and, when a device with the port's stable key is there (maybe as another
    // node, under another COM index), opens it with the instrument's settings and
    // identifies it again. True once the instrument is connected. Takes no longer than an
    // identification; call it again a while later while it is false.
    bool Reconnect();
    // Whether the instrument answers again after it fell silent with its port open (asked
    // as an identification asks); a lost port is looked for as Reconnect does.
    bool Answers();

  protected:
    // Asks the device on the freshly reopened port whether it is this instrument; its
    // answer (its identity) in identity.
    virtual bool Reidentify(std::string& identity) = 0;
    // Opens a COM index and sets its line; false with the reason when either fails.
    bool OpenPort(int comIndex, const SerialSettings& settings, std::string& why);

    // What every identification shares, with the instrument's name in its messages
    // ("Fluke", "Power Supply", "Chamber"). Start: an instrument already identified on
    // this port says "<name> 已經設定" (done is then true); a port that cannot be opened
    // says "<name> Uart  not  found" and why. True when the port is open and the
    // identification goes on. An instrument identified on another port is tried on this
    // one and stays where it was until it answers here.
    bool StartIdentification(int comIndex, const char* name, bool& done);
    // Succeeded: "Successful Select <name> In COMn", and the port it was on before given
    // back. Failed: "Fail Select <name> COMn", the message box (box with its Yes button
    // when yesBox), the port closed again, and the instrument back on its earlier port.
    bool Identified(const char* name, std::string identity);
    bool NotIdentified(const char* name, const QString& box, bool yesBox = false);
    // Marks the instrument connected on its port with what it said it is.
    void MarkConnected(std::string identity);
    // The port the instrument was on while it is tried on another one.
    void SetAsidePort();
    void ReleasePreviousPort();
    // Back on the earlier port (if any) after the new one failed; says so in panel 2,
    // after why the new one failed.
    void RestorePreviousPort(const std::string& why = {});
    // Status panel 1 (the instruments' messages), and panel 2 for the detail behind them.
    void Status(const QString& text) { hooks_.SetStatusText(1, text); }
    void Detail(const std::string& text) { hooks_.SetStatusText(2, QString::fromStdString(text)); }
    void Message(const QString& text) { hooks_.ShowMessage(text); }
    void YesMessage(const QString& text) { hooks_.ShowYesMessage(text); }
    void NoteOutput(std::string output);

    SerialChannel& channel_;
    Clock& clock_;
    UiHooks& hooks_;
    DevcRS232 record_;
    std::string user_;

  private:
    void NoteLostPort();

    mutable std::mutex summaryMutex_;
    std::string stableKey_;  // of the port the instrument was identified on
    std::string lostKey_;    // of the port being watched for
    std::string lostPort_;
    int losses_ = 0;
    SerialSettings lostSettings_;
    InstrumentSummary summary_;
    DevcRS232 previous_;
    InstrumentSummary previousSummary_;
};

}  // namespace dmm
