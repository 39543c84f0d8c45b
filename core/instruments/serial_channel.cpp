#include "core/instruments/serial_channel.h"

namespace dmm {

void SerialChannel::SetMap(ComPortMap map) {
    std::lock_guard lock(mutex_);
    map_ = std::move(map);
}

ComPortMap SerialChannel::Map() const {
    std::lock_guard lock(mutex_);
    return map_;
}

void SerialChannel::SetPortSource(std::function<PortListing()> source) {
    std::lock_guard lock(mutex_);
    source_ = std::move(source);
}

ComPortMap SerialChannel::Rescan() {
    std::function<PortListing()> source;
    {
        std::lock_guard lock(mutex_);
        source = source_;
    }
    if (!source) return Map();
    // Listing the ports reads the system: not under the lock that opens hold.
    PortListing listing = source();
    std::lock_guard lock(mutex_);
    map_ = map_.Rescanned(std::move(listing.ports), listing.choices);
    return map_;
}

bool SerialChannel::Open(DevcRS232& record, int comIndex, std::string_view user,
                         std::string& error) {
    if (record.handle && record.comIndex == comIndex && !record.handle->Lost()) return true;
    Close(record);
    std::lock_guard lock(mutex_);
    std::string path;
    if (!map_.Resolve(comIndex, path, error)) return false;
    Held& held = held_[static_cast<size_t>(comIndex)];
    if (auto other = held.port.lock(); other && !other->Lost()) {
        error = ComPortName(comIndex) + " is in use by " + held.user;
        return false;
    }
    std::string why;
    std::unique_ptr<SerialPort> opened = opener_.Open(path, why);
    if (!opened) {
        error = ComPortName(comIndex) + " (" + path + ") cannot be opened: " + why;
        return false;
    }
    record.handle = std::shared_ptr<SerialPort>(std::move(opened));
    record.comIndex = comIndex;
    record.portName = ComPortName(comIndex);
    record.cancel = &cancelled_;
    record.errors = 0;
    record.waiting = 0;
    held = {record.handle, std::string(user)};
    return true;
}

void SerialChannel::Close(DevcRS232& record) {
    if (!record.handle) return;
    std::lock_guard lock(mutex_);
    if (record.comIndex >= 0 && record.comIndex < kComPortCount) {
        Held& held = held_[static_cast<size_t>(record.comIndex)];
        if (held.port.lock() == record.handle) held = {};
    }
    record.handle.reset();
    record.connected = false;
}

std::string SerialChannel::Holder(int comIndex) const {
    if (comIndex < 0 || comIndex >= kComPortCount) return {};
    std::lock_guard lock(mutex_);
    const Held& held = held_[static_cast<size_t>(comIndex)];
    auto port = held.port.lock();
    return port && !port->Lost() ? held.user : std::string();
}

std::vector<SerialChannel::SelectorItem> SerialChannel::SelectorItems() const {
    const ComPortMap map = Map();
    std::vector<SelectorItem> items;
    for (int i = 0; i < kComPortCount; ++i) {
        SelectorItem item{map.SelectorText(i), map.At(i).port.has_value()};
        if (const std::string holder = Holder(i); !holder.empty())
            item.text += " (in use by " + holder + ")";
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace dmm
