// Window placement memory: close the program, start it again on the same bench
// directory, and every window is where it was.
#include <QFile>
#include <QMdiSubWindow>
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
};

DMM_QTEST(WindowPlacementTest);

}  // namespace dmm::test

#include "window_placement_test.moc"
