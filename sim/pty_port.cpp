#include "sim/pty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dmm::sim {

PtyPort::PtyPort() {
    char name[128] = {};
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        error_ = std::string("openpty: ") + std::strerror(errno);
        return;
    }
    // Raw from the start: a terminal's echo and line editing would answer for the
    // instrument before the program has set the line up.
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    ::tcsetattr(slave, TCSANOW, &t);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    master_ = master;
    slave_ = slave;
    path_ = name;
}

PtyPort::~PtyPort() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
}

std::vector<uint8_t> PtyPort::TakeInput() {
    std::vector<uint8_t> bytes;
    if (master_ < 0) return bytes;
    uint8_t chunk[512];
    for (;;) {
        // A read that finds nothing also takes in bytes still on their way over, so
        // everything the program wrote before this call is here.
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n > 0) {
            bytes.insert(bytes.end(), chunk, chunk + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return bytes;
    }
}

void PtyPort::Send(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return;
        }
    }
}

SerialSettings PtyPort::Line() const {
    SerialSettings line;
    termios t{};
    if (slave_ < 0 || ::tcgetattr(slave_, &t) != 0) return line;
    static constexpr std::pair<speed_t, int32_t> kRates[] = {
        {B300, 300},   {B600, 600},     {B1200, 1200},   {B2400, 2400},   {B4800, 4800},
        {B9600, 9600}, {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    line.baudRate = 0;
    for (const auto& [code, rate] : kRates) {
        if (::cfgetospeed(&t) == code) line.baudRate = rate;
    }
    line.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    return line;
}

void PtyPort::Vanish() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
    if (slave_ >= 0) ::close(slave_);
    slave_ = -1;
}

}  // namespace dmm::sim
