#pragma once
// A binary semaphore used as a plain lock around shared drawing state.
//
// Everything runs on the main thread, so these never contend; they mark the
// sections that must not interleave (a resize in the middle of a frame, a cache
// reallocation in the middle of a repaint) should a second thread ever appear.
// The holding thread may enter again, because scripts run inside those
// sections can reach the same lock.

#include <SDL_mutex.h>

namespace ef2 {

class Lock {
public:
    Lock() : semaphore_(SDL_CreateSemaphore(1)) {}
    ~Lock() { SDL_DestroySemaphore(semaphore_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    // A holder may take the lock again (a trigger run during a frame may resize
    // the world): only the outermost acquire waits on the semaphore.
    void acquire() {
        if (depth_++ == 0) SDL_SemWait(semaphore_);
    }
    void release() {
        if (--depth_ == 0) SDL_SemPost(semaphore_);
    }

private:
    SDL_sem* semaphore_;
    int depth_ = 0;
};

class LockGuard {
public:
    explicit LockGuard(Lock& lock) : lock_(lock) { lock_.acquire(); }
    ~LockGuard() { lock_.release(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    Lock& lock_;
};

}  // namespace ef2
