// Window placement memory: close the program, start it again on the same bench
// directory, and every window is where it was.
#include <QFile>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "support/qtest_registry.h"
#include "support/simulated_program.h"

namespace dmm::test {

class WindowPlacementTest : public QObject {
    Q_OBJECT
  private:
    static gui::BenchOptions On(const QString& dir) { return OnBenchDirectory(dir); }
    static QMdiSubWindow* Frame(gui::TMainPanel& panel, const char* name) {
        return qobject_cast<QMdiSubWindow*>(panel.Child(name)->parentWidget());
    }

  private slots:
    void windowsComeBackWhereTheyWereShownOrNot() {
        QTemporaryDir dir;
        QRect shown, hidden;  // the RAM panel open at close, the register panel closed
        {
            SimulatedProgram first(On(dir.path()));
            gui::TMainPanel& panel = first.panel();
            panel.resize(790, 590);
            panel.MenuItem("SMenu_RAM")->trigger();
            panel.MenuItem("SMenu_REG")->trigger();
            // New places, within the main window; sizes a little above each one's least.
            shown =
                QRect(QPoint(40, 30), Frame(panel, "TVz_RAM")->minimumSizeHint() + QSize(10, 10));
            hidden =
                QRect(QPoint(0, 120), Frame(panel, "TVz_Reg2")->minimumSizeHint() + QSize(2, 4));
            Frame(panel, "TVz_RAM")->setGeometry(shown);
            Frame(panel, "TVz_Reg2")->setGeometry(hidden);
            // A window of fixed size keeps its size whatever it is asked.
            shown = Frame(panel, "TVz_RAM")->geometry();
            hidden = Frame(panel, "TVz_Reg2")->geometry();
            panel.ShowChild(panel.Child("TVz_Reg2"), -1, false);
        }
        QFile file(dir.filePath("dmmbench.wst"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray saved = file.readAll();
        QVERIFY(saved.startsWith("1.10\r\n"));
        auto line = [](const QRect& r, int visible) {
            QByteArray text;
            for (int v : {r.left(), r.top(), r.width(), r.height(), 0, visible})
                text += QByteArray::number(v).rightJustified(5, ' ');
            return text;
        };
        QVERIFY2(saved.contains("\r\nTVz_RAM\r\n" + line(shown, 1) + "\r\n"), saved.constData());
        QVERIFY2(saved.contains("\r\nTVz_Reg2\r\n" + line(hidden, 0) + "\r\n"), saved.constData());

        SimulatedProgram second(On(dir.path()));
        gui::TMainPanel& panel = second.panel();
        QCOMPARE(panel.size(), QSize(790, 590));
        QVERIFY(Frame(panel, "TVz_RAM") && Frame(panel, "TVz_RAM")->isVisible());
        // The RAM panel's grid has a fixed size: its place comes back, its size is its own.
        QCOMPARE(Frame(panel, "TVz_RAM")->pos(), shown.topLeft());
        // A window hidden at close stays hidden, and opens where it was.
        QVERIFY(!Frame(panel, "TVz_Reg2") || !Frame(panel, "TVz_Reg2")->isVisible());
        panel.MenuItem("SMenu_REG")->trigger();
        QCOMPARE(Frame(panel, "TVz_Reg2")->geometry(), hidden);
    }

    // Wherever the file says the windows were, they come back wholly on the screen (the
    // main window, the setup dialog) or in the main window's client area (as far as a
    // window larger than the area can be), fixed-size ones included and one saved smaller
    // than it can be; and a file full of stale names (40,
    // the most it holds) does not keep the program's windows from being saved.
    void windowsComeBackWhollyOnTheirAreaAndOutliveStaleNames() {
        QTemporaryDir dir;
        QByteArray file = "1.10\r\n40\r\n";
        auto entry = [&file](const QString& name, int left, int top, int width, int height) {
            file += name.toUtf8() + "\r\n";
            for (int v : {left, top, width, height, 0, 1})
                file += QByteArray::number(v).rightJustified(5, ' ') + ' ';
            file += "\r\n";
        };
        entry("TMainPanel", 5000, 5000, 780, 560);
        entry("TOption", -999, -999, 400, 300);
        entry("TVz_RAM", 5000, 5000, 300, 200);  // fixed size
        entry("TADS", -999, -999, 100, 100);     // fixed size
        entry("TAnxADC", 700, 10, 100, 100);     // grows to its least size at the right edge
        for (int i = 0; i < 35; ++i) entry(QString("TGone%1").arg(i), 10, 10, 100, 100);
        QFile wst(dir.filePath("dmmbench.wst"));
        QVERIFY(wst.open(QIODevice::WriteOnly));
        wst.write(file);
        wst.close();
        {
            SimulatedProgram program(On(dir.path()));
            gui::TMainPanel& panel = program.panel();
            const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            QVERIFY2(screen.contains(panel.frameGeometry()), "TMainPanel");
            QWidget* option = panel.Child("TOption");
            QTRY_VERIFY(option->isVisible());
            QVERIFY2(screen.contains(option->frameGeometry()), "TOption");
            option->hide();
            // On each axis inside the client area, or, where the window is larger than
            // the area (TADS), starting at its edge.
            const QSize area = panel.mdiArea()->viewport()->size();
            auto onAxis = [](int start, int size, int room) {
                return size > room ? start == 0 : start >= 0 && start + size <= room;
            };
            for (const char* name : {"TVz_RAM", "TADS", "TAnxADC"}) {
                QVERIFY2(Frame(panel, name) && Frame(panel, name)->isVisible(), name);
                const QRect r = Frame(panel, name)->geometry();
                QVERIFY2(onAxis(r.left(), r.width(), area.width()) &&
                             onAxis(r.top(), r.height(), area.height()),
                         qPrintable(QStringLiteral("%1 at %2,%3 %4 x %5 in %6 x %7")
                                        .arg(name)
                                        .arg(r.left())
                                        .arg(r.top())
                                        .arg(r.width())
                                        .arg(r.height())
                                        .arg(area.width())
                                        .arg(area.height())));
            }
        }
        QVERIFY(wst.open(QIODevice::ReadOnly));
        const QByteArray saved = wst.readAll();
        QVERIFY(saved.startsWith("1.10\r\n40\r\n"));
        for (const char* name : {"TMainPanel", "TOption", "TVz_RAM", "TMPN", "TMeter", "TTMP"})
            QVERIFY2(saved.contains(QByteArray("\r\n") + name + "\r\n"), name);
    }
};

DMM_QTEST(WindowPlacementTest);

}  // namespace dmm::test

#include "window_placement_test.moc"
