#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/instruments/com_ports.h"
#include "core/instruments/devc_rs232.h"

namespace dmm {

// Every serial port of the bench: the COM map, the opener, and which port user holds
// which COM index. A port belongs to one user at a time, as an exclusive open does on
// the original's system: a second user of the same index gets a clear refusal.
// Thread: any; each record it fills is then used by its own user's thread.
class SerialChannel {
  public:
    explicit SerialChannel(SerialPortOpener& opener) : opener_(opener) {}

    void SetMap(ComPortMap map);
    ComPortMap Map() const;

    // Where the ports come from: the machine's listing and the user's assignments. The
    // program's session sets it; a channel without one keeps the map it was given.
    struct PortListing {
        std::vector<SerialPortInfo> ports;
        ComPortChoices choices;
    };
    void SetPortSource(std::function<PortListing()> source);
    // Lists the ports again (an adapter plugged in since the start appears); every port
    // still there keeps its index. Returns the new map.
    ComPortMap Rescan();

    // Opens a COM index for a user (user names the user in refusals: "the calibrator").
    // The record gets the handle, port name and index; a record that already holds this
    // index keeps its open port. Whatever else the record held is given back first.
    bool Open(DevcRS232& record, int comIndex, std::string_view user, std::string& error);
    // Gives the record's port back; the port closes once nobody holds it.
    void Close(DevcRS232& record);
    // The user holding an index, "" when it is free.
    std::string Holder(int comIndex) const;
    // What a COM selector shows for each index: the port behind it and who holds it
    // ("COM2 — ttyUSB0, FT232R USB UART 'A50285BI' (in use by the calibrator)", "COM9 —
    // no device"); present is false where no port is behind the index.
    struct SelectorItem {
        std::string text;
        bool present = false;
    };
    std::vector<SelectorItem> SelectorItems() const;
    // While cancelled, every wait on a port of this channel ends at its next poll (the
    // program is closing). Any thread.
    void Cancel(bool cancelled) { cancelled_ = cancelled; }

  private:
    struct Held {
        std::weak_ptr<SerialPort> port;
        std::string user;
    };
    mutable std::mutex mutex_;
    SerialPortOpener& opener_;
    ComPortMap map_;
    std::function<PortListing()> source_;
    std::array<Held, kComPortCount> held_{};
    std::atomic<bool> cancelled_{false};
};

// An opener for benches without serial ports: every open fails, saying so.
class NoSerialPorts final : public SerialPortOpener {
  public:
    std::unique_ptr<SerialPort> Open(const std::string& path, std::string& error) override {
        error = "this bench has no serial ports (" + path + ")";
        return nullptr;
    }
};

}  // namespace dmm
