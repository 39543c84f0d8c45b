#include "sim/demo_step_tables.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "core/app/bench_directory.h"

namespace dmm::sim {
namespace {

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(DemoStepTables, ABenchWithoutAModeTableGetsTheShippedOnesAndOneWithItsOwnKeepsIt) {
    const QString shipped = ShippedDataDirectory() + "/DEMO";
    QTemporaryDir fresh;
    EXPECT_NE(ProvideDemoStepTables(fresh.path()).indexOf("Register.txt"), -1);
    for (const char* name : {"Register.txt", "Delay.txt", "ACM.txt", "Fluke.txt"}) {
        EXPECT_FALSE(Read(shipped + "/" + name).isEmpty()) << name;
        EXPECT_EQ(Read(fresh.path() + "/" + name), Read(shipped + "/" + name)) << name;
    }
    EXPECT_TRUE(QDir(fresh.path()).entryList({"*.part"}, QDir::Files).isEmpty());

    // A table of the user's own (even in another case) is never joined by demo files.
    QTemporaryDir own;
    QFile mine(own.path() + "/REGISTER.TXT");
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("  30\r\n  01\r\n");
    mine.close();
    EXPECT_TRUE(ProvideDemoStepTables(own.path()).isEmpty());
    EXPECT_EQ(QDir(own.path()).entryList(QDir::Files), QStringList{"REGISTER.TXT"});
}

}  // namespace
}  // namespace dmm::sim
