#include "fake_tty.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstring>

namespace dmm::test {
namespace {

// libumockdev-preload's "not handled here: do the real call".
constexpr long kUnhandled = -100;

}  // namespace

FakeTty::FakeTty() : handler_(umockdev_ioctl_base_new()) {
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&FakeTty::OnIoctl), this);
    g_signal_connect(handler_, "handle-read", G_CALLBACK(&FakeTty::OnRead), this);
}

FakeTty::~FakeTty() {
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
}

bool FakeTty::Plug(DeviceBed& bed, const std::string& name, const std::string& serial,
                   std::string& error) {
    const std::string usb = "/devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/" + name;
    if (!bed.Add("P: " + usb + "/tty/" + name + "\nN: " + name + "\nE: DEVNAME=/dev/" + name +
                     "\nE: SUBSYSTEM=tty\nE: ID_VENDOR_ID=0403\nE: ID_MODEL_ID=6001\n"
                     "E: ID_VENDOR=FTDI\nE: ID_MODEL=FT232R_USB_UART\nE: ID_SERIAL_SHORT=" +
                     serial + "\nA: dev=188:0\n\nP: " + usb +
                     "\nE: DRIVER=ftdi_sio\nE: SUBSYSTEM=usb-serial\n",
                 error))
        return false;
    devnode_ = "/dev/" + name;
    fd_ = umockdev_testbed_get_dev_fd(bed.get(), devnode_.c_str());
    if (fd_ < 0) {
        error = "umockdev gave no terminal for " + devnode_;
        return false;
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    GError* gerror = nullptr;
    if (!umockdev_testbed_attach_ioctl(bed.get(), devnode_.c_str(), handler_, &gerror)) {
        error = gerror ? gerror->message : "cannot attach the tty handler";
        g_clear_error(&gerror);
        return false;
    }
    return true;
}

SerialSettings FakeTty::Line() const {
    SerialSettings line;
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return line;
    line.baudRate = ::cfgetospeed(&t) == B9600 ? 9600 : ::cfgetospeed(&t) == B19200 ? 19200 : 0;
    line.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    return line;
}

bool FakeTty::Dtr() const {
    std::lock_guard lock(mutex_);
    return lines_ & TIOCM_DTR;
}

std::vector<bool> FakeTty::DtrChanges() const {
    std::lock_guard lock(mutex_);
    return dtrChanges_;
}

void FakeTty::BreakDtrWire() {
    std::lock_guard lock(mutex_);
    dtrBroken_ = true;
}

void FakeTty::MarkRead(int nth, LineError kind) {
    std::lock_guard lock(mutex_);
    markIn_ = nth;
    markKind_ = kind;
}

gboolean FakeTty::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto* tty = static_cast<FakeTty*>(self);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    if (request == TIOCGICOUNT) return tty->OnCounters(client);
    if (request != TIOCMGET && request != TIOCMBIS && request != TIOCMBIC && request != TIOCMSET) {
        umockdev_ioctl_client_complete(client, kUnhandled, 0);
        return TRUE;
    }
    GError* gerror = nullptr;
    UMockdevIoctlData* data =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(int), &gerror);
    if (!data) {
        g_clear_error(&gerror);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return TRUE;
    }
    int* bits = reinterpret_cast<int*>(data->data);
    bool changed = false, dtr = false;
    {
        std::lock_guard lock(tty->mutex_);
        const int outputs = TIOCM_DTR | TIOCM_RTS;
        if (request == TIOCMGET)
            *bits = tty->lines_ | TIOCM_CTS | TIOCM_DSR;
        else if (request == TIOCMBIS)
            tty->lines_ |= *bits & outputs;
        else if (request == TIOCMBIC)
            tty->lines_ &= ~(*bits & outputs);
        else
            tty->lines_ = *bits & outputs;
        if (tty->dtrBroken_) tty->lines_ &= ~TIOCM_DTR;
        dtr = tty->lines_ & TIOCM_DTR;
        // Every call that sets or clears DTR counts, whether it changed the line or not.
        changed = request == TIOCMSET || (request != TIOCMGET && (*bits & TIOCM_DTR));
        if (changed) tty->dtrChanges_.push_back(dtr);
    }
    g_object_unref(data);
    umockdev_ioctl_client_complete(client, 0, 0);
    if (changed && tty->onDtr) tty->onDtr(dtr);
    return TRUE;
}

gboolean FakeTty::OnCounters(UMockdevIoctlClient* client) {
    bool counters = false;
    serial_icounter_struct now{};
    {
        std::lock_guard lock(mutex_);
        counters = counters_;
        now.parity = parityErrors_;
        now.frame = framingErrors_;
    }
    if (!counters) {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);  // as a pseudo-terminal answers
        return TRUE;
    }
    GError* gerror = nullptr;
    UMockdevIoctlData* data =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof now, &gerror);
    if (!data) {
        g_clear_error(&gerror);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return TRUE;
    }
    std::memcpy(data->data, &now, sizeof now);
    g_object_unref(data);
    umockdev_ioctl_client_complete(client, 0, 0);
    return TRUE;
}

gboolean FakeTty::OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto* tty = static_cast<FakeTty*>(self);
    {
        std::lock_guard lock(tty->mutex_);
        if (tty->markIn_ <= 0) {
            umockdev_ioctl_client_complete(client, kUnhandled, 0);
            return TRUE;
        }
    }
    int error = 0;
    GError* gerror = nullptr;
    const int n = static_cast<int>(umockdev_ioctl_client_execute(client, &error, &gerror));
    g_clear_error(&gerror);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (n <= 0) {
        umockdev_ioctl_client_complete(client, n, error);
        return TRUE;
    }
    bool mark = false;
    {
        std::lock_guard lock(tty->mutex_);
        mark = --tty->markIn_ == 0;
        if (mark && tty->markKind_ == LineError::Framing) tty->framingErrors_ += n;
        if (mark && tty->markKind_ == LineError::Parity) tty->parityErrors_ += n;
    }
    if (!mark) {
        umockdev_ioctl_client_complete(client, n, 0);
        return TRUE;
    }
    // Each byte as the tty layer delivers a byte that came with a line error.
    std::vector<uint8_t> marked;
    for (int i = 0; i < n; ++i) {
        marked.push_back(0xFF);
        marked.push_back(0x00);
        marked.push_back(arg->data[i]);
    }
    const size_t m = std::min(marked.size(), static_cast<size_t>(arg->data_len));
    std::memcpy(arg->data, marked.data(), m);
    umockdev_ioctl_client_complete(client, static_cast<long>(m), 0);
    return TRUE;
}

}  // namespace dmm::test
