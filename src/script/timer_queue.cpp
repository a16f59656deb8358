#include "script/timer_queue.h"

#include <cstdio>
#include <exception>

#include "script/script_context.h"

namespace ef2 {

TimerRecord* TimerQueue::take() {
    if (!pool_.empty()) {
        TimerRecord* record = pool_.back();
        pool_.pop_back();
        return record;
    }
    records_.push_back(std::make_unique<TimerRecord>());
    return records_.back().get();
}

void TimerQueue::recycle(TimerRecord* record) {
    record->trigger = nullptr;
    record->owner.reset();
    record->frame.reset();
    pool_.push_back(record);
}

void TimerQueue::schedule(const TriggerRef& trigger, int32_t delay, std::optional<ParameterFrame> frame) {
    TimerRecord* record = take();
    record->trigger = trigger.trigger;
    record->owner = trigger.owned;
    record->frame = frame;
    record->byPeer = context_.actingForPeer();
    record->due = static_cast<uint32_t>(delay) + frameCounter_;
    record->sequence = nextSequence_++;
    queue_.insert(record);
}

void TimerQueue::scheduleNothing() {
    recycle(take());
}

// A dropped record goes back to the pool, unless its trigger is running right
// now: the pass returns it when the run is over.
void TimerQueue::drop(TimerRecord* record) {
    queue_.erase(record);
    if (record == running_) {
        runningDropped_ = true;
    } else {
        recycle(record);
    }
}

void TimerQueue::remove(Trigger* trigger, bool all) {
    for (auto at = queue_.begin(); at != queue_.end();) {
        TimerRecord* record = *at++;
        if (trigger && record->trigger != trigger) continue;
        drop(record);
        if (trigger && !all) break;
    }
}

void TimerQueue::forEach(const std::function<void(const TimerRecord&)>& visit) const {
    for (const TimerRecord* record : queue_) visit(*record);
}

void TimerQueue::runTimers() {
    if (!frameVariable_) frameVariable_ = context_.variables.obtain("FRAME", 0, true);
    frameVariable_->value = static_cast<int32_t>(frameCounter_);
    const Variable* debugFrame = context_.interpreter.debugFrame();
    if (debugFrame && debugFrame->value != 0) {
        std::printf("frame: %i timers: %i\n", static_cast<int>(frameCounter_),
                    static_cast<int>(queue_.size()));
    }
    context_.interpreter.guarded([this] { runDue(); }, [this] { dropRunaway(); });
    ++frameCounter_;
}

// A pass stopped as a runaway stopped inside some timer's trigger. Its
// timers would only run away again next frame, so they are dropped.
void TimerQueue::dropRunaway() {
    TimerRecord* record = running_;
    if (!record) return;
    remove(record->trigger, true);
    if (runningDropped_) recycle(record);
    running_ = nullptr;
    runningDropped_ = false;
}

void TimerQueue::runDue() {
    struct RunningScope {
        TimerQueue& queue;
        ~RunningScope() {
            if (std::uncaught_exceptions() > 0) return;  // the runaway handler still needs to know
            if (queue.running_ && queue.runningDropped_) queue.recycle(queue.running_);
            queue.running_ = nullptr;
        }
    };
    Interpreter& interpreter = context_.interpreter;
    while (!queue_.empty() && (*queue_.begin())->due <= frameCounter_) {
        TimerRecord* record = *queue_.begin();
        {
            RunningScope scope{*this};
            running_ = record;
            runningDropped_ = false;
            ScriptContext::PeerRun peer(context_, record->byPeer);
            if (record->frame) {
                interpreter.runWithFrame(record->trigger, *record->frame);
            } else {
                interpreter.runTrigger(record->trigger);
            }
            if (runningDropped_) continue;  // the trigger removed its own record
        }
        // The record stayed in the queue while its trigger ran, so that the
        // trigger could remove it; now it leaves.
        queue_.erase(record);
        recycle(record);
    }
}

}  // namespace ef2
