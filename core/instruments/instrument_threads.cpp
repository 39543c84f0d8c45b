#include "core/instruments/instrument_threads.h"

namespace dmm {

bool InstrumentThreads::StartLane(InstrumentId id) {
    if (stopping_) return false;
    Lane& lane = lanes_[Index(id)];
    if (lane.thread) return true;
    lane.thread = std::make_unique<QThread>();
    lane.thread->setObjectName(QStringLiteral("instrument-%1").arg(static_cast<int>(id)));
    lane.worker = new QObject;
    lane.worker->moveToThread(lane.thread.get());
    QObject::connect(lane.thread.get(), &QThread::finished, lane.worker, &QObject::deleteLater);
    lane.thread->start();
    return true;
}

void InstrumentThreads::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
    }
    // Waits in progress end at their next poll instead of running out their time.
    instruments_.channel().Cancel(true);
    for (Lane& lane : lanes_) {
        if (!lane.thread) continue;
        lane.thread->quit();
        lane.thread->wait();
    }
    instruments_.channel().Cancel(false);
}

}  // namespace dmm
