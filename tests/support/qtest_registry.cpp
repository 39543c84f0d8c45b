#include "support/qtest_registry.h"

#include <QApplication>
#include <QTest>

namespace dmm::test {

std::vector<QTestFactory>& RegisteredQTests() {
    static std::vector<QTestFactory> tests;
    return tests;
}

int RunRegisteredQTests(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    for (const QTestFactory& factory : RegisteredQTests()) {
        std::unique_ptr<QObject> test = factory();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace dmm::test
