#include "support/qtest_registry.h"

int main(int argc, char** argv) {
    return dmm::test::RunRegisteredQTests(argc, argv);
}
