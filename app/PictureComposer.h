#pragma once

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace zarn::app {

/**
 * Runs the picture work that takes too long for the GUI thread on a thread of its own: composing
 * the quasi-crystal picture (thousands of affine image draws), rebuilding a poly image, composing
 * and encoding an export. Jobs run one at a time in the order they were posted; a job posted
 * under a key replaces the job of that key still waiting, so a window that asks again and again
 * gets only its latest picture drawn.
 *
 * A job's work runs on the composer's thread and touches no widget: it works on copies (the
 * period bitmap is shared and never changed once built) and returns what the GUI thread then
 * runs. That result is delivered as a queued call, and dropped when the job's receiver has been
 * destroyed meanwhile.
 */
class PictureComposer : public QObject {
    Q_OBJECT

public:
    using Delivery = std::function<void()>;
    using Work = std::function<Delivery()>;

    explicit PictureComposer(QObject* parent = nullptr);
    /** Waits for the job that runs (if any) and drops the waiting ones. */
    ~PictureComposer() override;

    /**
     * Queues @p work for @p receiver. With a @p key (the receiver's own address, say) the job
     * replaces a job of the same key that has not begun; without one it always runs.
     */
    void post(QObject* receiver, const void* key, Work work);
    /** Jobs posted and not yet delivered (or dropped); GUI thread only. */
    int outstanding() const { return static_cast<int>(receivers_.size()); }
    /** Jobs of @p receiver posted and not yet delivered. */
    int outstandingFor(const QObject* receiver) const;

private:
    struct Job {
        std::uint64_t id = 0;
        const void* key = nullptr;
        Work work;
    };
    void run();
    void deliver(std::uint64_t id, const Delivery& delivery);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    bool stop_ = false;
    /** GUI thread only: who each outstanding job is for. */
    std::map<std::uint64_t, QPointer<QObject>> receivers_;
    std::uint64_t nextId_ = 1;
    std::thread thread_;
};

} // namespace zarn::app
