#pragma once
// Timers: triggers scheduled to run a number of frames later.
//
// A frame here is one timer pass (one simulation step). Records are kept in due
// order, earliest first, compared as unsigned numbers; records with the same
// due frame run in the order they were scheduled. Records are recycled through
// a pool instead of being allocated for every schedule.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "script/parameter_stack.h"
#include "script/trigger.h"

namespace ef2 {

class ScriptContext;
struct Trigger;

struct TimerRecord {
    uint32_t due = 0;
    uint64_t sequence = 0;
    Trigger* trigger = nullptr;
    std::shared_ptr<Trigger> owner;  // keeps an anonymous inline trigger alive
    std::optional<ParameterFrame> frame;
    bool byPeer = false;  // set while acting for a network peer: its trigger runs for the peer
};

class TimerQueue {
public:
    explicit TimerQueue(ScriptContext& context) : context_(context) {}
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;

    // Due at `delay` frames after the current frame counter.
    void schedule(const TriggerRef& trigger, int32_t delay, std::optional<ParameterFrame> frame);
    // Takes a record from the pool and gives it straight back: what a timer
    // of an unknown unit does.
    void scheduleNothing();
    // Drops every timer (trigger null), or the earliest (all false) or all
    // timers of one trigger.
    void remove(Trigger* trigger, bool all);

    // One timer pass: runs every timer due now, then advances the frame counter.
    void runTimers();

    uint32_t frameCounter() const { return frameCounter_; }
    std::size_t size() const { return queue_.size(); }
    // The queued timers, earliest first.
    void forEach(const std::function<void(const TimerRecord&)>& visit) const;
    std::size_t poolSize() const { return pool_.size(); }

private:
    struct EarlierFirst {
        bool operator()(const TimerRecord* a, const TimerRecord* b) const {
            return a->due != b->due ? a->due < b->due : a->sequence < b->sequence;
        }
    };
    TimerRecord* take();
    void recycle(TimerRecord* record);
    void drop(TimerRecord* record);
    void runDue();
    void dropRunaway();

    ScriptContext& context_;
    std::set<TimerRecord*, EarlierFirst> queue_;
    std::vector<std::unique_ptr<TimerRecord>> records_;  // every record ever made
    std::vector<TimerRecord*> pool_;
    uint32_t frameCounter_ = 0;
    uint64_t nextSequence_ = 0;
    TimerRecord* running_ = nullptr;  // the record whose trigger runs now
    bool runningDropped_ = false;
    struct Variable* frameVariable_ = nullptr;
};

}  // namespace ef2
