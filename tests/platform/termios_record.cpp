// Records the line settings a backend asks for. A pseudo-terminal (and so umockdev's
// emulated serial node) silently drops parity and data bits, so what tcgetattr reads back
// cannot show them; glibc's tcsetattr is no ioctl the preload could see either. This
// interposer keeps each request before passing it on.
#include <dlfcn.h>
#include <termios.h>

#include <mutex>
#include <vector>

namespace dmm::test {
std::mutex termiosRequestsMutex;
std::vector<termios> termiosRequests;
}  // namespace dmm::test

extern "C" int tcsetattr(int fd, int action, const struct termios* t) {
    using Real = int (*)(int, int, const struct termios*);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "tcsetattr"));
    {
        std::lock_guard lock(dmm::test::termiosRequestsMutex);
        dmm::test::termiosRequests.push_back(*t);
    }
    return real(fd, action, t);
}
