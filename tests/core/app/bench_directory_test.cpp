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

TEST(BenchDirectory, ARequestedDirectoryIsCreatedInAnExistingFolderAndGetsTheShippedChips) {
    QTemporaryDir root;
    // Two levels that do not exist: a typo, not a bench directory to make.
    const QString deep = root.filePath("bench/one");
    const BenchDirectoryChoice refused = ResolveBenchDirectory(deep, QString());
    EXPECT_TRUE(refused.path.isEmpty());
    EXPECT_EQ(refused.error.toStdString(),
              "the bench directory " + deep.toStdString() + " does not exist, nor its parent folder");
    EXPECT_FALSE(QDir(root.filePath("bench")).exists());

    const QString requested = root.filePath("bench");
    const BenchDirectoryChoice choice = ResolveBenchDirectory(requested, QString());
    ASSERT_TRUE(choice.error.isEmpty()) << choice.error.toStdString();
    EXPECT_EQ(choice.path, QDir(requested).absolutePath());
    EXPECT_FALSE(FindFileCaseInsensitive(requested, "INCLUDE").isEmpty());
    EXPECT_EQ(choice.notice.toStdString(),
              "created the bench directory " + requested.toStdString() + "; " +
                  requested.toStdString() +
                  " had no INCLUDE folder: copied the shipped chip list and descriptions into it");
    // Once set up, nothing more is said.
    EXPECT_TRUE(ResolveBenchDirectory(requested, QString()).notice.isEmpty());
}

TEST(BenchDirectory, AWritableExecutableDirectoryWithIncludeIsUsedAsItIs) {
    QTemporaryDir exe;
    ASSERT_TRUE(QDir(exe.path()).mkdir("include"));
    const BenchDirectoryChoice choice = ResolveBenchDirectory(QString(), exe.path());
    EXPECT_EQ(choice.path, QDir(exe.path()).absolutePath());
}

}  // namespace
}  // namespace dmm
