#pragma once

#include <QEventLoop>
#include <QThread>

#include <memory>
#include <optional>

// Runs `work` on a thread of its own and returns what it returned, while the calling thread goes on turning its
// event loop: a window repaints and moves meanwhile, and timers fire. What the work needs a thread for (a store's
// connection, a reader process) it makes, uses and ends on its own thread; it shares nothing with the caller but
// what it captures, which the caller leaves alone until the call returns.
template <typename Work> auto runOnWorkerThread(Work work) -> decltype(work())
{
    std::optional<decltype(work())> result;
    const std::unique_ptr<QThread> thread(QThread::create([&] { result.emplace(work()); }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    thread->wait();
    return std::move(*result);
}
