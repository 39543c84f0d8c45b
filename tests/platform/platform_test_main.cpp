// The device-backend tests need libumockdev-preload in the process. Without it they
// cannot run at all: exit 77 (CTest's "skipped") when umockdev cannot work here, and fail
// loudly when the program was merely started the wrong way.
#include <gtest/gtest.h>

#include <cstdio>

#include "device_bed.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!GTEST_FLAG_GET(list_tests)) {
        std::string why;
        switch (dmm::test::ProbeDeviceEmulation(why)) {
            case dmm::test::EmulationState::Ready:
                break;
            case dmm::test::EmulationState::Unavailable:
                std::fprintf(stderr, "device emulation unavailable, tests skipped: %s\n",
                             why.c_str());
                return 77;
            case dmm::test::EmulationState::NotPreloaded:
                std::fprintf(stderr, "%s\n", why.c_str());
                return 1;
        }
    }
    return RUN_ALL_TESTS();
}
