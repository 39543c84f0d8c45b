#include "platform/termios_serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QSerialPortInfo>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <utility>

namespace dmm::platform {
namespace {

constexpr std::array<std::pair<int32_t, speed_t>, 19> kSpeeds = {{
    {50, B50},         {75, B75},         {110, B110},       {150, B150},         {300, B300},
    {600, B600},       {1200, B1200},     {2400, B2400},     {4800, B4800},       {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},   {230400, B230400},
    {460800, B460800}, {500000, B500000}, {921600, B921600}, {1000000, B1000000},
}};

bool SpeedOf(int32_t baud, speed_t& speed) {
    for (const auto& [rate, code] : kSpeeds) {
        if (rate == baud) {
            speed = code;
            return true;
        }
    }
    return false;
}

int32_t RateOf(speed_t speed) {
    for (const auto& [rate, code] : kSpeeds) {
        if (code == speed) return rate;
    }
    return 0;
}

// Received bytes kept before the oldest are dropped (and an overrun reported).
constexpr size_t kQueueLimit = 65536;
constexpr int kWriteTimeoutMs = 2000;

}  // namespace

std::unique_ptr<TermiosSerialPort> TermiosSerialPort::Open(const std::string& path,
                                                           std::string& error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        error = std::strerror(e);
        if (e == EACCES) error += " (the user needs to be in the dialout group)";
        return nullptr;
    }
    termios probe{};
    if (::tcgetattr(fd, &probe) != 0) {
        ::close(fd);
        error = "not a serial port";
        return nullptr;
    }
    // Other programs cannot open the port while it is ours, as on the original's system.
    ::ioctl(fd, TIOCEXCL);
    return std::unique_ptr<TermiosSerialPort>(new TermiosSerialPort(fd));
}

TermiosSerialPort::TermiosSerialPort(int fd)
    : fd_(fd), icount_(std::make_unique<serial_icounter_struct>()) {
    std::memset(icount_.get(), 0, sizeof *icount_);
    counters_ = ::ioctl(fd_, TIOCGICOUNT, icount_.get()) == 0;
}

TermiosSerialPort::~TermiosSerialPort() {
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
}

bool TermiosSerialPort::Failed(const char* what) {
    lastError_ = std::string(what) + ": " + std::strerror(errno);
    if (errno == EIO || errno == ENXIO || errno == ENODEV) lost_ = true;
    return false;
}

bool TermiosSerialPort::ReadSettings(SerialSettings& out) {
    if (lost_) return false;
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return Failed("tcgetattr");
    out.baudRate = RateOf(::cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
        case CS5:
            out.dataBits = 5;
            break;
        case CS6:
            out.dataBits = 6;
            break;
        case CS7:
            out.dataBits = 7;
            break;
        default:
            out.dataBits = 8;
    }
    out.parity = !(t.c_cflag & PARENB)  ? SerialParity::None
                 : (t.c_cflag & PARODD) ? SerialParity::Odd
                                        : SerialParity::Even;
    out.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    return true;
}

bool TermiosSerialPort::Configure(const SerialSettings& s) {
    if (lost_) return false;
    speed_t speed = B9600;
    if (!SpeedOf(s.baudRate, speed)) {
        lastError_ = "no such baud rate: " + std::to_string(s.baudRate);
        return false;
    }
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return Failed("tcgetattr");
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY);
    // Bytes with line errors come marked (FF 00 X) instead of silently as data.
    t.c_iflag |= INPCK | PARMRK;
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
    t.c_cflag |= CLOCAL | CREAD;
    switch (s.dataBits) {
        case 5:
            t.c_cflag |= CS5;
            break;
        case 6:
            t.c_cflag |= CS6;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        default:
            t.c_cflag |= CS8;
    }
    if (s.parity != SerialParity::None) t.c_cflag |= PARENB;
    if (s.parity == SerialParity::Odd) t.c_cflag |= PARODD;
    if (s.stopBits == 2) t.c_cflag |= CSTOPB;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) return Failed("tcsetattr");
    return true;
}

bool TermiosSerialPort::Write(const uint8_t* data, size_t n) {
    size_t done = 0;
    int waited = 0;
    while (done < n) {
        if (lost_) return false;
        const ssize_t w = ::write(fd_, data + done, n - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR) return Failed("write");
        if (waited >= kWriteTimeoutMs) {
            lastError_ = "write: the port takes no more bytes";
            return false;
        }
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, 10);
        waited += 10;
    }
    return true;
}

// Moves everything the driver holds into the queue. A read that finds nothing also lets
// the tty layer hand over bytes still on their way in, so what Poll reports afterwards
// includes every byte the device sent before it.
void TermiosSerialPort::Drain() {
    uint8_t chunk[512];
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, 0);
        if (ready < 0) {
            if (errno == EINTR) continue;
            Failed("poll");
            return;
        }
        const bool hangup = p.revents & (POLLHUP | POLLERR | POLLNVAL);
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n > 0) {
            const MarkedInputDecoder::Marks marks =
                decoder_.Feed(chunk, static_cast<size_t>(n), queue_);
            markedSinceCounters_ += marks.errors;
            if (marks.breaks) pending_ |= kSerialBreak;
            while (queue_.size() > kQueueLimit) {
                queue_.pop_front();
                pending_ |= kSerialOverrun;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            Failed("read");
            return;
        }
        if (hangup) {
            lost_ = true;
            lastError_ = "the device went away";
        }
        return;
    }
}

uint32_t TermiosSerialPort::CounterErrors() {
    uint32_t errors = 0;
    serial_icounter_struct now{};
    if (counters_ && ::ioctl(fd_, TIOCGICOUNT, &now) == 0) {
        if (now.parity != icount_->parity) errors |= kSerialParityError;
        if (now.frame != icount_->frame) errors |= kSerialFramingError;
        if (now.overrun != icount_->overrun || now.buf_overrun != icount_->buf_overrun)
            errors |= kSerialOverrun;
        if (now.brk != icount_->brk) errors |= kSerialBreak;
        *icount_ = now;
        // Marks the counters cannot place still are line errors.
        if (markedSinceCounters_ && !(errors & (kSerialParityError | kSerialFramingError)))
            errors |= kSerialParityError;
    } else if (markedSinceCounters_) {
        errors |= kSerialParityError;
    }
    markedSinceCounters_ = 0;
    return errors;
}

SerialPoll TermiosSerialPort::Poll() {
    SerialPoll poll;
    if (!lost_) Drain();
    poll.errors = std::exchange(pending_, 0) | CounterErrors();
    if (lost_) poll.errors |= kSerialLost;
    poll.waiting = queue_.size();
    return poll;
}

size_t TermiosSerialPort::Read(uint8_t* data, size_t n) {
    const size_t count = std::min(n, queue_.size());
    std::copy_n(queue_.begin(), count, data);
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(count));
    return count;
}

bool TermiosSerialPort::SetDtr(bool on) {
    if (lost_) return false;
    int bits = TIOCM_DTR;
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) != 0) return Failed("DTR");
    return true;
}

std::vector<SerialPortInfo> ListSystemSerialPorts() {
    // by-id names, by the device each one leads to. The links are read, not resolved
    // through realpath: their targets are plain relative names ("../../ttyUSB0").
    std::map<std::string, std::string> byId;
    std::error_code error;
    const std::filesystem::path ids("/dev/serial/by-id");
    for (const auto& entry : std::filesystem::directory_iterator(ids, error)) {
        std::error_code linkError;
        const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), linkError);
        if (linkError) continue;
        const std::filesystem::path device = (ids / target).lexically_normal();
        byId[device.string()] = entry.path().filename().string();
    }
    std::vector<SerialPortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialPortInfo port;
        port.path = info.systemLocation().toStdString();
        port.name = info.portName().toStdString();
        port.description = info.description().toStdString();
        port.serialNumber = info.serialNumber().toStdString();
        port.builtIn = !info.hasVendorIdentifier();
        if (const auto it = byId.find(port.path); it != byId.end())
            port.stableKey = it->second;
        else if (!port.serialNumber.empty())
            port.stableKey = "serial-" + port.serialNumber;
        else
            port.stableKey = port.path;
        ports.push_back(std::move(port));
    }
    return ports;
}

}  // namespace dmm::platform
