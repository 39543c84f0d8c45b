#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>

#include "core/app/bench.h"
#include "sim/sim_bench.h"
#include "support/qtest_registry.h"

namespace dmm::test {

// The GUI thread must stay responsive while the bench thread sits in a long board wait.
class BenchThreadTest : public QObject {
    Q_OBJECT
  private slots:
    void guiThreadAnswersWithin50msDuringATwoSecondReset() {
        SystemClock clock;
        sim::SimBench simBench(clock);
        NullUiHooks hooks;
        Bench bench(simBench.bus(), clock, hooks);
        BenchThread thread(bench);
        thread.Start();

        std::atomic<bool> resetStarted{false}, resetDone{false};
        bench.Post([&](Bench& b) {
            uint8_t status = 0;
            QVERIFY(b.link().OpenBoard(status));
            resetStarted = true;
            QVERIFY(b.link().ResetTarget());  // 2.2 s of waits on the bench thread
            resetDone = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(resetStarted.load(), 2000);

        // Post events to the GUI thread during the wait and measure how late they run.
        qint64 worstLatency = 0;
        int handled = 0;
        QElapsedTimer overall;
        overall.start();
        while (!resetDone && overall.elapsed() < 5000) {
            QElapsedTimer posted;
            posted.start();
            bool ran = false;
            QMetaObject::invokeMethod(
                this, [&] { ran = true; }, Qt::QueuedConnection);
            while (!ran) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            worstLatency = std::max(worstLatency, posted.elapsed());
            ++handled;
            QTest::qWait(20);
        }
        QVERIFY(resetDone.load());
        QVERIFY2(overall.elapsed() >= 1500, "the reset did not hold the bench thread");
        QVERIFY(handled > 20);
        // Well below the reset's waits, yet above what a loaded machine's scheduler adds: a
        // window that waited on the bench would stall for the whole 2.2 s.
        QVERIFY2(worstLatency < 500, qPrintable(QString("worst latency %1 ms").arg(worstLatency)));
        thread.Stop();
    }

    void callDeliversTheResultOnTheCallersThread() {
        SystemClock clock;
        sim::SimBench simBench(clock);
        NullUiHooks hooks;
        Bench bench(simBench.bus(), clock, hooks);
        BenchThread thread(bench);
        thread.Start();
        QThread* benchThread = nullptr;
        QThread* doneThread = nullptr;
        int result = 0;
        bench.Call(
            [&](Bench&) {
                benchThread = QThread::currentThread();
                return 42;
            },
            this,
            [&](int value) {
                doneThread = QThread::currentThread();
                result = value;
            });
        QTRY_COMPARE(result, 42);
        QCOMPARE(doneThread, QThread::currentThread());
        QVERIFY(benchThread != QThread::currentThread());
        thread.Stop();
    }
};

DMM_QTEST(BenchThreadTest);

}  // namespace dmm::test

#include "bench_thread_test.moc"
