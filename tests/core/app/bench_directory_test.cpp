#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/app/bench_directory.h"

namespace dmm {
namespace {

void Touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

TEST(BenchDirectory, FileNamesFromFilesAreMatchedCaseInsensitively) {
    QTemporaryDir dir;
    Touch(dir.filePath("Demo.inc"));
    EXPECT_EQ(FindFileCaseInsensitive(dir.path(), "DEMO.INC"), dir.filePath("Demo.inc"));
    EXPECT_EQ(FindFileCaseInsensitive(dir.path(), "demo.inc"), dir.filePath("Demo.inc"));
    EXPECT_TRUE(FindFileCaseInsensitive(dir.path(), "OTHER.INC").isEmpty());
    EXPECT_TRUE(FindFileCaseInsensitive(dir.path(), "").isEmpty());
    EXPECT_TRUE(FindFileCaseInsensitive(dir.filePath("missing"), "DEMO.INC").isEmpty());
}

TEST(BenchDirectory, ARequestedDirectoryIsCreatedAndGetsTheShippedChips) {
    QTemporaryDir root;
    const QString requested = root.filePath("bench/one");
    const BenchDirectoryChoice choice = ResolveBenchDirectory(requested, QString());
    ASSERT_TRUE(choice.error.isEmpty()) << choice.error.toStdString();
    EXPECT_EQ(choice.path, QDir(requested).absolutePath());
    EXPECT_TRUE(QDir(requested).exists());
    EXPECT_FALSE(FindFileCaseInsensitive(requested, "INCLUDE").isEmpty());
}

TEST(BenchDirectory, AWritableExecutableDirectoryWithIncludeIsUsedAsItIs) {
    QTemporaryDir exe;
    ASSERT_TRUE(QDir(exe.path()).mkdir("include"));
    const BenchDirectoryChoice choice = ResolveBenchDirectory(QString(), exe.path());
    EXPECT_EQ(choice.path, QDir(exe.path()).absolutePath());
}

}  // namespace
}  // namespace dmm
