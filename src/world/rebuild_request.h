#pragma once
// The rebuild request level of the world.
//
// Code that changes what the physics caches derive from raises this level; the
// next physics step or draw operation runs the rebuild with it, which resets it
// to 0. It is shared by the element table (whose setters raise it) and the world
// (which consumes it), so it lives in an object of its own.

namespace ef2 {

// Levels, from the cheapest to the most thorough. Any level of 3 or more has the
// effect of 3; 5 only records why.
enum RebuildLevel : int {
    kRebuildNone = 0,
    kRebuildFrame = 1,       // restore the frame columns
    kRebuildPresence = 2,    // the set of present elements changed
    kRebuildElements = 3,    // an element, rule or option changed
    kRebuildTableGrown = 5,  // the element table grew
};

class RebuildRequest {
public:
    void request(int newLevel) {
        if (level_ < newLevel) level_ = newLevel;
    }
    int level() const { return level_; }
    int take() {
        int taken = level_;
        level_ = 0;
        return taken;
    }

private:
    int level_ = 0;
};

}  // namespace ef2
