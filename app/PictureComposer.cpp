#include "PictureComposer.h"

#include <QMetaObject>

#include <algorithm>
#include <exception>

namespace zarn::app {

PictureComposer::PictureComposer(QObject* parent) : QObject(parent), thread_([this] { run(); }) {}

PictureComposer::~PictureComposer() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

void PictureComposer::post(QObject* receiver, const void* key, Work work) {
    const std::uint64_t id = nextId_++;
    receivers_.emplace(id, QPointer<QObject>(receiver));
    {
        std::lock_guard lock(mutex_);
        if (key != nullptr) {
            const auto replaced = std::find_if(queue_.begin(), queue_.end(),
                                               [key](const Job& job) { return job.key == key; });
            if (replaced != queue_.end()) {
                receivers_.erase(replaced->id);
                queue_.erase(replaced);
            }
        }
        queue_.push_back(Job{id, key, std::move(work)});
    }
    wake_.notify_all();
}

int PictureComposer::outstandingFor(const QObject* receiver) const {
    return static_cast<int>(
        std::count_if(receivers_.begin(), receivers_.end(),
                      [receiver](const auto& entry) { return entry.second.data() == receiver; }));
}

void PictureComposer::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_) {
                return;
            }
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        Delivery delivery;
        try {
            delivery = job.work();
        } catch (const std::exception&) {
            // Out of memory while drawing: nothing to show; the receiver keeps what it has.
        }
        QMetaObject::invokeMethod(
            this, [this, id = job.id, delivery = std::move(delivery)] { deliver(id, delivery); },
            Qt::QueuedConnection);
    }
}

void PictureComposer::deliver(std::uint64_t id, const Delivery& delivery) {
    const auto it = receivers_.find(id);
    if (it == receivers_.end()) {
        return;
    }
    const bool alive = !it->second.isNull();
    receivers_.erase(it);
    if (alive && delivery) {
        delivery();
    }
}

} // namespace zarn::app
