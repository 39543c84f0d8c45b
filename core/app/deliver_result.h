#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <type_traits>
#include <utility>

namespace dmm {

// Wraps work(arg) so that, once it has run on whatever thread runs it, done(result)
// runs on the thread of context; nothing is delivered once context is gone. The queues
// that take work (the bench, the instrument threads) build their Call on it.
template <typename Arg, typename Work, typename Done>
auto DeliveringTo(QObject* context, Work work, Done done) {
    QPointer<QObject> guard(context);
    return [work = std::move(work), guard, done = std::move(done)](Arg& arg) mutable {
        using Result = std::invoke_result_t<Work&, Arg&>;
        if constexpr (std::is_void_v<Result>) {
            work(arg);
            if (guard)
                QMetaObject::invokeMethod(guard.data(), std::move(done), Qt::QueuedConnection);
        } else {
            Result result = work(arg);
            if (!guard) return;
            QMetaObject::invokeMethod(
                guard.data(),
                [done = std::move(done), result = std::move(result)]() mutable {
                    done(std::move(result));
                },
                Qt::QueuedConnection);
        }
    };
}

}  // namespace dmm
