#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <csignal>
#include <random>

#include "core/views/ram_file.h"

namespace dmm {
namespace {

RamFileContents SampleContents() {
    RamFileContents c;
    std::mt19937 rng(7);
    for (size_t a = 0; a < c.values.size(); ++a) {
        if (a % 11 == 3)
            c.values[a].reset();
        else
            c.values[a] = static_cast<uint8_t>(rng());
        RamCellNote& n = c.notes[a];
        n.marked = a % 3 == 0;
        n.colour = static_cast<TColor>(rng() & 0xFFFFFF);
        n.hinted = a % 7 == 0;
        if (n.hinted) n.hint = QStringLiteral("pin %1 平均值").arg(a);
    }
    c.notes[1].colour = -16777201;  // a Windows system colour
    c.notes[2].hint = QStringLiteral("emoji 😀 keeps");
    c.notes[2].hinted = true;
    return c;
}

QList<QByteArray> Lines(const QByteArray& bytes) {
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();  // after the final line end
    return lines;
}

TEST(RamFile, WritesTheWindowsLayoutLineByLine) {
    RamFileContents c;
    c.values[0] = 0x3F;
    c.values[1].reset();
    c.values[2] = 0x00;
    c.values[511] = 0x0A;
    c.notes[0] = {true, 0x00FF00, false, {}};
    c.notes[5] = {false, 0x808080, true, QStringLiteral("平均值")};
    c.notes[6] = {true, 0x10, true, QStringLiteral("a😀")};
    const QByteArray bytes = FormatRamFile(c);
    const QList<QByteArray> lines = Lines(bytes);
    ASSERT_EQ(lines.size(), 512 + 3 * 512);
    for (const QByteArray& line : lines) ASSERT_TRUE(line.endsWith('\r'));
    EXPECT_EQ(lines[0], "3F\r");
    EXPECT_EQ(lines[1], "-\r");
    EXPECT_EQ(lines[2], "00\r");
    EXPECT_EQ(lines[511], "0A\r");
    EXPECT_EQ(lines[512], " 1 0\r");
    EXPECT_EQ(lines[513], "65280\r");
    EXPECT_EQ(lines[514], "\r");
    EXPECT_EQ(lines[512 + 15], " 0 1\r");
    EXPECT_EQ(lines[512 + 16], "8421504\r");
    EXPECT_EQ(lines[512 + 17], QByteArray("\xA5\xAD\xA7\xA1\xAD\xC8\r"));  // Big5
    // Big5 has no emoji: UTF-8 behind a byte-order mark.
    EXPECT_EQ(lines[512 + 20], QByteArray("\xEF\xBB\xBF"
                                          "a\xF0\x9F\x98\x80\r"));
}

TEST(RamFile, WhatIsWrittenReadsBackTheSame) {
    const RamFileContents c = SampleContents();
    const RamFileParse parsed = ParseRamFile(FormatRamFile(c));
    ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
    EXPECT_EQ(parsed.contents.values, c.values);
    EXPECT_EQ(parsed.contents.notes, c.notes);
}

TEST(RamFile, ReadsFilesWithBareLineFeedsLowerCaseAndShortValues) {
    QByteArray bytes;
    for (int a = 0; a < 512; ++a)
        bytes += a == 0 ? "ff\n" : a == 1 ? "7\n" : a == 2 ? " - \n" : "00\n";
    for (int a = 0; a < 512; ++a) bytes += a == 0 ? "1 1\n-16777201\n\xA5\xAD\n" : " 0 2\n0\n\n";
    const RamFileParse parsed = ParseRamFile(bytes);
    ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
    EXPECT_EQ(parsed.contents.values[0], std::optional<uint8_t>(0xFF));
    EXPECT_EQ(parsed.contents.values[1], std::optional<uint8_t>(0x07));
    EXPECT_FALSE(parsed.contents.values[2].has_value());
    EXPECT_TRUE(parsed.contents.notes[0].marked);
    EXPECT_TRUE(parsed.contents.notes[0].hinted);
    EXPECT_EQ(parsed.contents.notes[0].colour, -16777201);
    EXPECT_EQ(parsed.contents.notes[0].hint, QStringLiteral("平"));
    EXPECT_FALSE(parsed.contents.notes[1].hinted);  // only 1 means set
}

TEST(RamFile, RejectsBrokenFilesNamingTheLine) {
    const QByteArray good = FormatRamFile(SampleContents());
    const QList<QByteArray> lines = Lines(good);
    auto with = [&](int index, const QByteArray& line) {
        QList<QByteArray> l = lines;
        l[index] = line + "\r";
        return l.join('\n') + '\n';
    };
    struct Case {
        const char* what;
        QByteArray bytes;
        const char* expected;
    };
    const QList<QByteArray> cut = lines.mid(0, 2047);
    const Case cases[] = {
        {"empty", QByteArray(), "too short"},
        {"one line short", cut.join('\n'), "too short"},
        {"values only", lines.mid(0, 512).join('\n') + '\n', "too short"},
        {"non-hex value", with(17, "G1"), "line 18"},
        {"three digits", with(3, "100"), "line 4"},
        {"empty value", with(511, ""), "line 512"},
        {"one flag", with(512 + 3 * 9, " 1"), "line 540"},
        {"flags not numbers", with(512, " a b"), "line 513"},
        {"three flags", with(512, " 1 0 1"), "line 513"},
        {"colour not a number", with(513, "clRed"), "line 514"},
        {"colour beyond 32 bits", with(512 + 3 * 511 + 1, "4294967296"), "line 2047"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const RamFileParse parsed = ParseRamFile(c.bytes);
        EXPECT_FALSE(parsed.ok);
        EXPECT_TRUE(parsed.error.contains(QLatin1String(c.expected))) << parsed.error.toStdString();
    }
}

// Runs f with files limited to limitBytes, so that a write fails as on a full disk
// (works for root too, unlike permissions).
template <typename F>
void WithFileSizeLimit(rlim_t limitBytes, F f) {
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = limitBytes;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    f();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
}

TEST(RamFile, AFailedSaveLeavesTheExistingFileAlone) {
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.ram");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("previous contents");
    }
    WithFileSizeLimit(1000, [&] {
        QString error;
        EXPECT_FALSE(WriteRamFile(path, SampleContents(), error));
        EXPECT_FALSE(error.isEmpty());
    });
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("previous contents"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);  // no temporary left behind

    QString error;
    EXPECT_FALSE(WriteRamFile(dir.filePath("no/such/folder/x.ram"), SampleContents(), error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(RamFile, ReadsBackWhatItSaved) {
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.ram");
    QString error;
    ASSERT_TRUE(WriteRamFile(path, SampleContents(), error)) << error.toStdString();
    const RamFileParse parsed = ReadRamFile(path);
    ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
    EXPECT_EQ(parsed.contents.notes, SampleContents().notes);
    EXPECT_FALSE(ReadRamFile(dir.filePath("missing.ram")).ok);
}

}  // namespace
}  // namespace dmm
