#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

// Lets one Qt Test program hold several test classes: each .cpp registers its class with
// DMM_QTEST(Class), and dmm::test::RunRegisteredQTests runs them all.
namespace dmm::test {

using QTestFactory = std::function<std::unique_ptr<QObject>()>;
std::vector<QTestFactory>& RegisteredQTests();
int RunRegisteredQTests(int argc, char** argv);

struct QTestRegistration {
    explicit QTestRegistration(QTestFactory factory) {
        RegisteredQTests().push_back(std::move(factory));
    }
};

}  // namespace dmm::test

#define DMM_QTEST(Class)                                             \
    static const ::dmm::test::QTestRegistration Class##Registration( \
        [] { return std::make_unique<Class>(); })
