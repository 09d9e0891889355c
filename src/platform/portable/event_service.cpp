#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

#include "platform/event_service.h"

namespace quillet {

struct SystemEvents::Table {
    struct Event {
        std::mutex mutex;
        std::condition_variable changed;
        bool signalled = false;
    };
    std::mutex mutex;
    std::map<EventHandle, std::shared_ptr<Event>> events;
    EventHandle next = 1;

    std::shared_ptr<Event> Find(EventHandle handle) {
        std::lock_guard<std::mutex> lock(mutex);
        auto found = events.find(handle);
        return found == events.end() ? nullptr : found->second;
    }
};

SystemEvents::SystemEvents() : table_(new Table) {}

SystemEvents::~SystemEvents() {
    delete table_;
}

EventHandle SystemEvents::Create() {
    std::lock_guard<std::mutex> lock(table_->mutex);
    EventHandle handle = table_->next++;
    table_->events[handle] = std::make_shared<Table::Event>();
    return handle;
}

bool SystemEvents::Signal(EventHandle handle) {
    std::shared_ptr<Table::Event> event = table_->Find(handle);
    if (!event)
        return false;
    {
        std::lock_guard<std::mutex> lock(event->mutex);
        event->signalled = true;
    }
    event->changed.notify_one();
    return true;
}

WaitOutcome SystemEvents::Wait(EventHandle handle, uint32_t milliseconds) {
    std::shared_ptr<Table::Event> event = table_->Find(handle);
    if (!event)
        return WaitOutcome::Failed;
    std::unique_lock<std::mutex> lock(event->mutex);
    if (!event->changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                 [&] { return event->signalled; })) {
        return WaitOutcome::TimedOut;
    }
    event->signalled = false;  // auto-reset: one waiter is released per signal
    return WaitOutcome::Signalled;
}

void SystemEvents::Close(EventHandle handle) {
    std::lock_guard<std::mutex> lock(table_->mutex);
    table_->events.erase(handle);
}

}  // namespace quillet
