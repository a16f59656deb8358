#include "world/physics.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "world/interactions.h"
#include "world/random.h"
#include "world/world.h"

namespace ef2 {

namespace {

// Marks start with a value no row index can have.
constexpr int32_t kNoMark = -1000000;

enum class Slide { None, Higher, Lower, Fail };

// Eight cells side by side. Every x86-64 processor has SSE2; elsewhere a plain
// loop stands in.
#if defined(__SSE2__)
struct Lanes {
    __m128i v;
    static Lanes load(const uint16_t* at) { return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(at))}; }
    static Lanes all(uint16_t id) { return {_mm_set1_epi16(static_cast<short>(id))}; }
    static Lanes none() { return {_mm_setzero_si128()}; }
    friend Lanes equal(Lanes a, Lanes b) { return {_mm_cmpeq_epi16(a.v, b.v)}; }
    friend Lanes operator&(Lanes a, Lanes b) { return {_mm_and_si128(a.v, b.v)}; }
    friend Lanes operator|(Lanes a, Lanes b) { return {_mm_or_si128(a.v, b.v)}; }
    // a and not b
    friend Lanes butNot(Lanes a, Lanes b) { return {_mm_andnot_si128(b.v, a.v)}; }
    // Bit k is set when lane k is.
    unsigned bits() const { return static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(v, v))) & 0xFFu; }
    bool allSet() const { return _mm_movemask_epi8(v) == 0xFFFF; }
};
#else
struct Lanes {
    uint16_t v[8];
    static Lanes load(const uint16_t* at) {
        Lanes lanes;
        std::memcpy(lanes.v, at, sizeof lanes.v);
        return lanes;
    }
    static Lanes all(uint16_t id) {
        Lanes lanes;
        std::fill(lanes.v, lanes.v + 8, id);
        return lanes;
    }
    static Lanes none() { return all(0); }
    template <typename Operation>
    static Lanes combine(Lanes a, Lanes b, Operation operation) {
        Lanes lanes;
        for (int k = 0; k < 8; ++k) lanes.v[k] = static_cast<uint16_t>(operation(a.v[k], b.v[k]));
        return lanes;
    }
    friend Lanes equal(Lanes a, Lanes b) {
        return combine(a, b, [](uint16_t p, uint16_t q) { return p == q ? 0xFFFF : 0; });
    }
    friend Lanes operator&(Lanes a, Lanes b) {
        return combine(a, b, [](uint16_t p, uint16_t q) { return p & q; });
    }
    friend Lanes operator|(Lanes a, Lanes b) {
        return combine(a, b, [](uint16_t p, uint16_t q) { return p | q; });
    }
    friend Lanes butNot(Lanes a, Lanes b) {
        return combine(a, b, [](uint16_t p, uint16_t q) { return p & ~q; });
    }
    unsigned bits() const {
        unsigned result = 0;
        for (int k = 0; k < 8; ++k) result |= (v[k] != 0 ? 1u : 0u) << k;
        return result;
    }
    bool allSet() const { return bits() == 0xFFu; }
};
#endif

// The cells from `at` on as one unaligned word.
template <typename Word>
Word load(const uint16_t* at) {
    Word word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// The scan walks a row toward higher columns (kDir = 1) or lower ones (-1).
// A window is the eight cells the scan meets next from column x: x..x+7, or
// x-7..x. Columns 0 and WIDTH+1 bound what may be read, so a window is only
// used when it and its neighbours on both sides lie within them.
template <int kDir>
struct Scan {
    static const uint16_t* window(const uint16_t* row, int x) { return kDir > 0 ? row + x : row + x - 7; }
    static bool fits(int x, int cells, int last) {
        return kDir > 0 ? x + cells - 1 <= last : x - cells + 1 >= 0;
    }
    // How many cells the scan meets, in a window's mask, before a clear bit.
    static int leading(unsigned bits) {
        return kDir > 0 ? __builtin_ctz(~bits) : __builtin_clz(~(bits << 24));
    }

    // How many empty cells the scan meets from column x on before one that is
    // not, without a branch per cell: falling particles come with empty space
    // between them at random.
    static int emptyCells(const uint16_t* row, int x, int last) {
        int n = 0;
        while (fits(x + kDir * n, 8, last)) {
            unsigned empty = equal(Lanes::load(window(row, x + kDir * n)), Lanes::none()).bits();
            if (empty != 0xFFu) return n + leading(empty);
            n += 8;
        }
        while (row[x + kDir * n] == kClear) ++n;
        return n;
    }

    // The run of cells equal to `id` from column x on. Runs of empty space are
    // compared 32 cells at a time.
    static int equalRun(const uint16_t* row, int x, int last, uint16_t id) {
        const Lanes target = Lanes::all(id);
        int n = 0;
        while (fits(x + kDir * n, 32, last)) {
            const uint16_t* at = kDir > 0 ? row + x + n : row + x - n - 31;
            Lanes same = equal(Lanes::load(at), target) & equal(Lanes::load(at + 8), target) &
                         equal(Lanes::load(at + 16), target) & equal(Lanes::load(at + 24), target);
            if (!same.allSet()) break;
            n += 32;
        }
        while (fits(x + kDir * n, 8, last)) {
            unsigned bits = equal(Lanes::load(window(row, x + kDir * n)), target).bits();
            if (bits != 0xFFu) return n + leading(bits);
            n += 8;
        }
        while (row[x + kDir * n] == id) ++n;
        return n;
    }
};

// A neighbour (left, right, above or below) of each lane holds one of the
// element's partners.
inline Lanes partnersNear(const uint16_t* window, int stride, const ScanEntry& entry) {
    const Lanes left = Lanes::load(window - 1), right = Lanes::load(window + 1);
    const Lanes above = Lanes::load(window - stride), below = Lanes::load(window + stride);
    Lanes near = Lanes::none();
    for (int k = 0; k < entry.partnerCount; ++k) {
        const Lanes partner = Lanes::all(entry.partners[k]);
        near = near | equal(left, partner) | equal(right, partner) | equal(above, partner) |
               equal(below, partner);
    }
    return near;
}

// Compared all at once: next to a partner or not is often a coin toss.
inline bool partnerNear(const uint16_t* at, int stride, const ScanEntry& entry) {
    const uint16_t left = at[-1], right = at[1], above = at[-stride], below = at[stride];
    auto touches = [=](uint16_t partner) {
        return (left == partner) | (right == partner) | (above == partner) | (below == partner);
    };
    bool near = touches(entry.partners[0]);
    for (int k = 1; k < entry.partnerCount; ++k) near |= touches(entry.partners[k]);
    return near;
}

// A cell that provably does nothing in this step, for the scan kinds that
// allow it (see ScanKind): a particle with its own kind below and on both sides
// can neither fall nor slide, and rules need a partner next to the cell.
template <ScanKind kKind>
bool quietCell(const uint16_t* at, uint16_t id, int stride, const ScanEntry& entry) {
    if (at[0] != id) return false;
    // Compared all at once: in a mixed world each comparison goes either way.
    if (kKind != ScanKind::ReactiveStill &&
        !((at[-1] == id) & (at[1] == id) & (at[entry.fallOffset] == id))) {
        return false;
    }
    return kKind == ScanKind::Mover || !partnerNear(at, stride, entry);
}

// The run of quiet cells of `id` from column x on, eight at a time.
template <int kDir, ScanKind kKind>
int quietRun(const uint16_t* row, int x, int last, int stride, uint16_t id, const ScanEntry& entry) {
    using Walk = Scan<kDir>;
    const Lanes self = Lanes::all(id);
    int n = 0;
    // The window's neighbours reach one column further on either side.
    while (Walk::fits(x + kDir * n, 9, last)) {
        const uint16_t* window = Walk::window(row, x + kDir * n);
        Lanes quiet = equal(Lanes::load(window), self);
        if (kKind != ScanKind::ReactiveStill) {
            quiet = quiet & equal(Lanes::load(window - 1), self) & equal(Lanes::load(window + 1), self) &
                    equal(Lanes::load(window + entry.fallOffset), self);
        }
        if (kKind != ScanKind::Mover) quiet = butNot(quiet, partnersNear(window, stride, entry));
        unsigned bits = quiet.bits();
        if (bits != 0xFFu) return n + Walk::leading(bits);
        n += 8;
    }
    while (quietCell<kKind>(row + x + kDir * n, id, stride, entry)) ++n;
    return n;
}

// One look at the columns d cells away on both sides during a slide: whether
// the cell in the particle's row and the one in the row it falls toward hold
// something lighter, on the higher and on the lower side. Returns the choice
// (None: look one column further) and updates the open flags, which carry
// from particle to particle.
constexpr Slide slideLook(bool higherRow, bool higherBelow, bool lowerRow, bool lowerBelow, bool evenR,
                          bool& higherOpen, bool& lowerOpen) {
    Slide choice = Slide::None;
    if (!higherRow) {
        higherOpen = false;
    } else if (higherBelow) {
        if (!lowerBelow || evenR) {
            choice = Slide::Higher;
        } else {
            higherOpen = false;
        }
    }
    if (choice != Slide::Higher) {
        if (!lowerRow) {
            lowerOpen = false;
        } else if (lowerBelow) {
            if (higherBelow && evenR) {
                choice = Slide::Higher;
            } else {
                higherOpen = false;
                choice = lowerOpen ? Slide::Lower : Slide::Fail;
            }
        }
    }
    if (choice == Slide::None && !(higherOpen && lowerOpen)) {
        choice = lowerOpen ? Slide::Lower : higherOpen ? Slide::Higher : Slide::Fail;
    }
    return choice;
}

// What a chosen slide comes to: a step toward higher columns needs that side
// still open and closes the other; a failed slide opens both again.
constexpr Slide slideEnd(Slide choice, bool& higherOpen, bool& lowerOpen) {
    if (choice == Slide::Higher) {
        lowerOpen = false;
        if (!higherOpen) choice = Slide::Fail;
    }
    if (choice == Slide::Fail) higherOpen = lowerOpen = true;
    return choice;
}

// A slide's outcome as one byte: the choice in bits 0-1 (None when the slide
// looks further), the open flags after it in bits 2 and 3.
constexpr uint8_t slideOutcome(Slide choice, bool higherOpen, bool lowerOpen) {
    return static_cast<uint8_t>(static_cast<unsigned>(choice) | (higherOpen ? 4u : 0u) |
                                (lowerOpen ? 8u : 0u));
}

// The first look (one column away, always inside the framed row) for every
// combination of what it sees, R's parity and the open flags: in a mixed
// world each of them goes either way at random, so the slide looks its
// outcome up instead of branching on each. Index: higher row, higher below,
// lower row, lower below, even R, higher open, lower open (bits 0-6).
struct SlideTable {
    uint8_t outcome[128] = {};
    constexpr SlideTable() {
        for (unsigned key = 0; key < 128; ++key) {
            bool higherOpen = (key >> 5) & 1, lowerOpen = (key >> 6) & 1;
            Slide choice = slideLook(key & 1, (key >> 1) & 1, (key >> 2) & 1, (key >> 3) & 1, (key >> 4) & 1,
                                     higherOpen, lowerOpen);
            if (choice != Slide::None) choice = slideEnd(choice, higherOpen, lowerOpen);
            outcome[key] = slideOutcome(choice, higherOpen, lowerOpen);
        }
    }
};
constexpr SlideTable kSlideTable;

// The movement of particles within one row: falling, sinking through lighter
// material and sliding sideways. It holds copies of everything it reads, so
// that a run of moving particles keeps it all in registers (see
// Stepper::moveRun); R and the open flags carry from particle to particle.
struct Movement {
    uint16_t* cells;
    uint16_t* colours;
    const ElementPhysics* physics;
    const uint16_t* sinkLimits;  // see PhysicsCaches
    const int32_t* magnitudes;   // fall magnitudes by element
    int32_t* marks;
    int row;
    int markedRow;  // what a no-bias particle writes into its column's mark
    int width;
    bool edgeRow;
    int64_t higherThreshold, lowerThreshold;
    uint32_t r;     // the row's random value; a 16-bit quantity
    unsigned open;  // the slide's open flags: bit 0 toward higher columns, bit 1 toward lower ones

    // kMovable: the caller knows the particle moves (a plain mover).
    template <bool kMovable = false>
    [[gnu::always_inline]] void move(int x, int index, uint16_t element, const ElementPhysics& particle) {
        const int32_t fall = particle.fallMagnitude;
        if (!kMovable && staysInPlace(fall)) return;
        const int toward = particle.fallOffset;
        const int target = index + toward;
        const uint16_t below = cells[target];
        if (below == kClear && below != element) {
            if (edgeRow) return fallInto(x, index, target, particle);
            // Any R is a multiple of 1: skip the division for the usual spray.
            if (particle.spray != 1 && static_cast<int32_t>(r) % particle.spray != 0 &&
                cells[target + toward] == element) {
                return fallInto(x, index, target, particle);
            }
            r = advanceMovement(r);
            if (static_cast<int32_t>(r) < fall && marks[x] != row)
                return fallInto(x, index, target, particle);
        }
        // A particle may sink into what is below when that is lighter (its own
        // kind never is). Whether it does goes either way at random in a mixed
        // world, so the draw and the test are made without a branch.
        // The grid only holds ids the caches know, so an id below the table's
        // side is one it was computed for.
        const uint32_t limit = (element | below) < kSinkTableSide
                                   ? sinkLimits[element * kSinkTableSide + below]
                                   : sinkLimit(particle, physics[below]);
        const bool heavier = (limit != 0) & (marks[x] != row);
        const uint32_t drawn = advanceMovement(r);
        const bool sinks = heavier & (drawn + 1 < limit);
        r = pick(heavier, drawn, r);
        if (sinks) return fallInto(x, index, target, particle);
        slide(x, index, element, particle, toward);
    }

    void fallInto(int x, int index, int target, const ElementPhysics& particle) {
        if (particle.noBias) marks[x] = markedRow;
        swapCells(index, target);
    }

    // All four reads come before the writes: the colour layer lies a whole
    // number of pages after the grid, so a read of a colour just after the
    // write of its cell would look like a read of that write.
    void swapCells(int a, int b) {
        const uint16_t cellA = cells[a], cellB = cells[b], colourA = colours[a], colourB = colours[b];
        cells[a] = cellB;
        cells[b] = cellA;
        colours[a] = colourB;
        colours[b] = colourA;
    }

    // Slides sideways: looks for the nearest column, on either side, where the
    // particle could sink, and takes one or two steps toward it.
    [[gnu::always_inline]] void slide(int x, int index, uint16_t element, const ElementPhysics& particle,
                                      int toward) {
        const uint16_t* here = cells + index;
        // A particle between two of its own kind does not slide, nor does one
        // whose R is a multiple of the span; R only advances past the first
        // test. Both go either way at random in a mixed world, so they are
        // folded into the outcome below instead of branched on.
        const bool enclosed = (here[1] == element) & (here[-1] == element);
        const uint32_t previousR = r;
        r = pick(enclosed, previousR, (previousR + 1) & 0xFFFFu);
        const bool stays = enclosed | (previousR * particle.slideMultiple <= particle.slideMultiple - 1);
        const unsigned evenR = ~r & 1u;
        const int32_t fall = particle.fallMagnitude;
        const uint16_t* below = here + toward;
        const int32_t* weights = magnitudes;
        // A cell is passable when it holds something lighter.
        auto passable = [weights, fall](const uint16_t* at, int d) -> unsigned {
            return weights[at[d]] < fall;
        };
        const unsigned key = passable(here, 1) | passable(below, 1) << 1 | passable(here, -1) << 2 |
                             passable(below, -1) << 3 | evenR << 4 | open << 5;
        // Staying keeps the open flags as they are.
        unsigned outcome =
            pick(stays, static_cast<unsigned>(Slide::Fail) | open << 2, kSlideTable.outcome[key]);
        int reach = 1;
        if ((outcome & 3u) == 0) {
            outcome = slideFurther(magnitudes, x - width - 1, x, here, below, fall, evenR != 0);
            reach = 2;
        }
        open = outcome >> 2;
        // The next particle reads the cells this one moves into, so the move
        // stays a branch: predicted, it lets the next particle start early.
        const Slide choice = static_cast<Slide>(outcome & 3u);
        if (choice == Slide::Higher) {
            if (static_cast<int64_t>(r) < higherThreshold) swapCells(index, index + reach);
        } else if (choice == Slide::Lower) {
            if (static_cast<int64_t>(r) < lowerThreshold) swapCells(index, index - reach);
        }
    }

    // The slide's search beyond the first column on either side, which it
    // only reaches with both sides open; returns the outcome as slideOutcome.
    // Static, so that the movement's copy in a run stays in registers.
    // `beforeEnd` is x - (WIDTH + 1), the column relative to the last one.
    [[gnu::noinline]] static uint8_t slideFurther(const int32_t* weights, int beforeEnd, int x,
                                                  const uint16_t* here, const uint16_t* below, int32_t fall,
                                                  bool evenR) {
        auto passable = [weights, fall](const uint16_t* at, int d) { return weights[at[d]] < fall; };
        bool higher = true, lower = true;
        Slide choice = Slide::None;
        for (int d = 2; choice == Slide::None; ++d) {
            // Columns outside the framed row count as walls.
            const bool higherInside = beforeEnd + d <= 0, lowerInside = x - d >= 0;
            choice = slideLook(higherInside && passable(here, d), higherInside && passable(below, d),
                               lowerInside && passable(here, -d), lowerInside && passable(below, -d), evenR,
                               higher, lower);
        }
        choice = slideEnd(choice, higher, lower);
        return slideOutcome(choice, higher, lower);
    }
};

// One step over the world. This is the program's hottest loop: per-element
// values come from flat tables indexed by element id, the scan passes over
// runs of cells that do nothing several at a time, and the per-cell random
// numbers come from the 15-bit generators so that the program's generator is
// drawn once per row.
class Stepper {
public:
    Stepper(World& world, Random& random, const InteractionTriggerRunner& runTrigger)
        : world_(world),
          random_(random),
          runTrigger_(runTrigger),
          state_(world.stepState()),
          options_(world.options()) {}

    void run() {
        prologue();
        bindGrid();
        if (state_.direction > 0) {
            for (int row = height_ - 1; row >= 0 && !worldReplaced_; --row) processRow(row);
        } else {
            for (int row = 0; row < height_ && !worldReplaced_; ++row) processRow(row);
        }
        state_.higherOpen = (movement_.open & 1u) != 0;
        state_.lowerOpen = (movement_.open & 2u) != 0;
        // A trigger that resized the world ends the step where it stands.
        if (!worldReplaced_) epilogue();
    }

private:
    void prologue() {
        uint32_t seed = static_cast<uint32_t>(options_.seed->value);
        options_.seed->value = static_cast<int32_t>(seed + 1);
        random_.seed(seed);

        state_.columnMarks.assign(2 * (world_.width() + 2) + 10, kNoMark);
        options_.nextInteraction->value = 0;

        if (state_.presenceCounter++ > 1000) {
            world_.recountPresence();
            state_.presenceCounter = 0;
        }
        detectOptionChanges();
        detectPresenceChanges();
        world_.rebuildIfRequested();

        state_.higherOpen = state_.lowerOpen = true;
        state_.scanBit = !state_.scanBit;
        WindThresholds wind = windThresholds(options_.wind->value);
        movement_.higherThreshold = wind.higher;
        movement_.lowerThreshold = wind.lower;
        movement_.open = 3u;
    }

    void detectOptionChanges() {
        int direction = state_.direction;
        if (options_.reverse->value == 0) direction = 1;
        if (options_.reverse->value == 1) direction = -1;
        if (direction != state_.direction) world_.requestRebuild(kRebuildElements);
        state_.direction = direction;
        int32_t interactions = options_.interactions->value;
        int32_t death = options_.death->value;
        int32_t gravity = options_.gravity->value;
        if (interactions != state_.cachedInteractions || death != state_.cachedDeath ||
            gravity != state_.cachedGravity) {
            world_.requestRebuild(kRebuildElements);
            state_.cachedInteractions = interactions;
            state_.cachedDeath = death;
            state_.cachedGravity = gravity;
        }
    }

    void detectPresenceChanges() {
        std::size_t count = static_cast<std::size_t>(world_.cacheSize());
        uint8_t* current = world_.presence().data();
        uint8_t* previous = world_.previousPresence().data();
        if (world_.rebuildRequest().level() < kRebuildPresence &&
            std::memcmp(current, previous, count) != 0) {
            world_.requestRebuild(kRebuildPresence);
        }
        std::memcpy(previous, current, count);
    }

    void bindGrid() {
        cells_ = world_.cells();
        colours_ = world_.colours();
        stride_ = world_.stride();
        width_ = world_.width();
        height_ = world_.height();
        const PhysicsCaches& caches = world_.caches();
        physics_ = caches.elements.data();
        scan_ = caches.scan.data();
        filters_ = caches.neighbourFilters.data();
        ruleTables_ = caches.ruleTables.data();
        writer_ = CellWriter(world_);
        marks_ = state_.columnMarks.data();
        movement_.cells = cells_;
        movement_.colours = colours_;
        movement_.physics = physics_;
        movement_.sinkLimits = caches.sinkLimits.data();
        movement_.magnitudes = caches.fallMagnitude.data();
        movement_.marks = marks_;
        movement_.width = width_;
    }

    void processRow(int row) {
        row_ = row;
        rowStart_ = (row + 1) * stride_;
        const uint32_t r = static_cast<uint32_t>(random_.next());
        const int sign = (r & 1) ? 1 : -1;
        horizontal_ = sign;
        vertical_ = sign * stride_;
        movement_.r = r;
        movement_.row = row;
        movement_.markedRow = row - state_.direction;
        movement_.edgeRow = row == 0 || row == height_ - 1;

        endColumn_ = state_.scanBit ? 0 : width_ + 1;
        uint16_t* cells = cells_ + rowStart_;
        cells[endColumn_] = kNothing;
        bool finished = state_.scanBit ? scanRow<-1>(cells, width_) : scanRow<1>(cells, 1);
        if (!finished) worldReplaced_ = true;
    }

    // Processes the row's cells in scan order; false when a trigger replaced
    // the world. The first cell is always processed, whatever it holds. After
    // it, the scan passes over runs of cells that do nothing in this step
    // (see ScanKind) and stops at the end cell, which holds element 1.
    template <int kDir>
    bool scanRow(const uint16_t* row, int x) {
        const ScanEntry* scan = scan_;
        const int last = width_ + 1;
        const int stride = stride_;
        bool mixed = false;
        CellEnd end = processCell(x);
        while (end != CellEnd::StopStep) {
            x += kDir;
            if (end == CellEnd::SkipNext && row[x] != kNothing) x += kDir;
            while (true) {
                // Skipped cells mixed at random with others would make the
                // test of each cell's kind a coin toss for the branch
                // predictor. Once the row has shown a skipped cell, the next
                // four cells' kinds are looked up at once and the scan jumps to
                // the first that is not skipped.
                if (mixed && Scan<kDir>::fits(x, 4, last)) {
                    const unsigned skipped = skippedCells<kDir>(scan, row + x);
                    if (skipped == 0xFu) {
                        x += kDir * Scan<kDir>::equalRun(row, x, last, row[x]);
                        continue;
                    }
                    x += kDir * __builtin_ctz(~skipped);
                }
                const uint16_t id = row[x];
                const ScanEntry& entry = scan[id];
                if (entry.kind == ScanKind::Mover) {
                    if (quietCell<ScanKind::Mover>(row + x, id, stride, entry)) {
                        x += kDir * quietRun<kDir, ScanKind::Mover>(row, x, last, stride, id, entry);
                    } else {
                        x = moveRun<kDir>(row, x);
                    }
                } else if (entry.kind == ScanKind::Skip) {
                    mixed = true;
                    x += kDir;
                    if (row[x] == id) x += kDir * Scan<kDir>::equalRun(row, x, last, id);
                } else if (entry.kind == ScanKind::ReactiveStill) {
                    if (quietCell<ScanKind::ReactiveStill>(row + x, id, stride, entry)) {
                        x += kDir * quietRun<kDir, ScanKind::ReactiveStill>(row, x, last, stride, id, entry);
                    } else if (!entry.plainRules) {
                        break;
                    } else {
                        // Without death and movement, plain rules are all a
                        // still reactive cell does (processCell in short).
                        if (marks_[x] != row_) applyPlainRules(random_, id, rowStart_ + x, movement_.edgeRow);
                        x += kDir;
                    }
                } else if (entry.kind == ScanKind::ReactiveMover &&
                           quietCell<ScanKind::ReactiveMover>(row + x, id, stride, entry)) {
                    x += kDir * quietRun<kDir, ScanKind::ReactiveMover>(row, x, last, stride, id, entry);
                } else if (x == endColumn_) {
                    return true;
                } else if (!mixed || (physics_[id].hasRules && !physics_[id].plainRules)) {
                    break;
                } else {
                    // Among skipped cells, the cells to process come in long
                    // runs broken only by skipped ones.
                    x = plainRun<kDir>(row, x);
                }
            }
            end = processCell(x);
        }
        return false;
    }

    // Bit k: the k-th cell the scan meets from `at` on is skipped.
    template <int kDir>
    static unsigned skippedCells(const ScanEntry* scan, const uint16_t* at) {
        auto skipped = [scan, at](int k) -> unsigned { return scan[at[kDir * k]].kind == ScanKind::Skip; };
        return skipped(0) | skipped(1) << 1 | skipped(2) << 2 | skipped(3) << 3;
    }

    // Moves plain movers from column x on, passing over empty space between
    // them, until a cell that is neither or a quiet mover; returns that cell's
    // column. Plain movers have no rules and no
    // death: only the movement is left. The movement lives in a local copy
    // here, so that the whole run stays in registers.
    template <int kDir>
    [[gnu::noinline]] int moveRun(const uint16_t* row, int x) {
        Movement movement = movement_;
        x = moveLoop<kDir, false>(movement, row, x);
        if (row[x] == kClear) x = moveLoop<kDir, true>(movement, row, x);
        movement_ = movement;
        return x;
    }

    // The k-th cell the scan meets from column `from` on is not skipped.
    template <int kDir>
    static bool processedCell(const ScanEntry* scan, const uint16_t* row, int from, int k) {
        return scan[row[from + kDir * k]].kind != ScanKind::Skip;
    }

    // Bit k: the k-th of `cells` cells the scan meets from column `from` on
    // is not skipped.
    template <int kDir>
    static uint64_t processedCells(const ScanEntry* scan, const uint16_t* row, int from, int cells) {
        uint64_t bits = 0;
        for (int k = 0; k < cells; ++k) bits |= uint64_t{processedCell<kDir>(scan, row, from, k)} << k;
        return bits;
    }

    // Processes cells with plain rules or none, with their death and
    // movement, from column x on and passes over skipped cells between them,
    // until the end cell, a plain mover, a quiet reactive cell or rules that
    // need the interaction phase; returns that cell's column. Like moveRun, it
    // works on local copies of the movement and the generator.
    template <int kDir>
    [[gnu::noinline]] int plainRun(const uint16_t* row, int x) {
        Movement movement = movement_;
        Random random = random_;
        const ScanEntry* scan = scan_;
        const ElementPhysics* physics = physics_;
        const int32_t* marks = marks_;
        const int last = width_ + 1, stride = stride_, rowStart = rowStart_, endColumn = endColumn_;
        const int rowNumber = row_;
        // Skipped cells mixed at random with others would make the test of
        // each cell's kind a coin toss for the branch predictor: the kinds of
        // a stretch of cells are looked up at once, as bits of `pending`
        // counted from column `from`, and the loop walks the set bits. A cell
        // processed may change the next two in the row (a rule's partner, a
        // slide), whose bits are then looked up again.
        constexpr int kStretch = 64;
        uint64_t pending = 0;
        int from = x, cells = 0;  // the stretch; the first begins at x
        while (true) {
            if (pending == 0) {
                // The next stretch begins after the last one.
                from += kDir * cells;
                cells = std::min(kStretch, kDir > 0 ? last - from + 1 : from + 1);
                pending = processedCells<kDir>(scan, row, from, cells);
                if (pending == 0) {
                    // The stretch stops short of the end cell, which is never
                    // skipped; a run of skipped cells may go on beyond it.
                    from += kDir * cells;
                    from += kDir * Scan<kDir>::equalRun(row, from, last, row[from - kDir]);
                    cells = 0;
                    continue;
                }
            }
            const int k = __builtin_ctzll(pending);
            pending &= pending - 1;
            x = from + kDir * k;
            const uint16_t id = row[x];
            const ScanEntry& entry = scan[id];
            if (x == endColumn || entry.kind == ScanKind::Mover) break;
            if (entry.kind == ScanKind::ReactiveStill &&
                quietCell<ScanKind::ReactiveStill>(row + x, id, stride, entry))
                break;
            if (entry.kind == ScanKind::ReactiveMover &&
                quietCell<ScanKind::ReactiveMover>(row + x, id, stride, entry))
                break;
            const ElementPhysics& particle = physics[id];
            const int index = rowStart + x;
            bool changed = false;
            if (particle.hasRules && marks[x] != rowNumber) {
                if (!particle.plainRules) break;
                if ((entry.directRules || touchesPartner(id, index)) &&
                    applyPlainRules(random, id, index, movement.edgeRow)) {
                    changed = true;
                }
            }
            if (!changed && particle.totalDeathRate != 0) {
                movement.r = advanceDeath(movement.r);
                // Death only changes the cell itself.
                if (particle.totalDeathRate >= movement.r) {
                    die(random, index, id);
                    continue;
                }
            }
            if (!changed) {
                movement.move(x, index, id, particle);
                changed = !staysInPlace(particle.fallMagnitude);
            }
            if (changed) {
                for (int next = k + 1; next <= k + 2 && next < cells; ++next) {
                    const uint64_t bit = uint64_t{1} << next;
                    pending = (pending & ~bit) | (processedCell<kDir>(scan, row, from, next) ? bit : 0);
                }
            }
        }
        movement_ = movement;
        random_ = random;
        return x;
    }

    // The loop of moveRun. Packed particles come side by side; falling ones
    // with empty space between them at random, which is passed over without a
    // branch per cell. The packed loop stops at empty space.
    template <int kDir, bool kSparse>
    [[gnu::always_inline]] int moveLoop(Movement& movement, const uint16_t* row, int x) const {
        const ScanEntry* scan = scan_;
        const int rowStart = rowStart_, last = width_ + 1;
        while (true) {
            if (kSparse) x += kDir * Scan<kDir>::emptyCells(row, x, last);
            const uint16_t id = row[x];
            const ScanEntry& entry = scan[id];
            if (entry.kind != ScanKind::Mover) return x;
            // A quiet particle does nothing in move() either: in a mixed world
            // the loop only hands over to the quiet runs of scanRow when the
            // next particle is quiet too, which keeps this test predictable.
            // Both quiet means the cell behind, the two ahead and the two below
            // these two hold id; each pair is compared as one word. The cell
            // behind may have just been written by the particle before, so it
            // is read on its own: a word read across a narrower write still in
            // flight waits for the write. Empty space below rules it out, and
            // move() branches on that anyway, so falling particles skip the
            // test. (The cell after the next is the row's end cell at worst,
            // and its neighbours are still within the grid.)
            const uint16_t* at = row + x;
            if (at[entry.fallOffset] != kClear) {
                const uint16_t* ahead = kDir > 0 ? at + 1 : at - 2;
                const uint32_t pair = id * 0x00010001u;
                const uint32_t rowDiffers = (load<uint32_t>(ahead) ^ pair) | (at[-kDir] ^ id);
                const uint32_t belowDiffers = load<uint32_t>(ahead - kDir + entry.fallOffset) ^ pair;
                if ((rowDiffers | belowDiffers) == 0) return x;
            }
            movement.move<true>(x, rowStart + x, id, movement.physics[id]);
            x += kDir;
        }
    }

    enum class CellEnd { Next, SkipNext, StopStep };

    CellEnd processCell(int x) {
        const int index = rowStart_ + x;
        const uint16_t element = cells_[index];
        const ElementPhysics& physics = physics_[element];

        // Rules without a partner next to the cell do nothing at all, so the
        // partner test only saves time.
        if (physics.hasRules && marks_[x] != row_ &&
            (scan_[element].directRules || touchesPartner(element, index))) {
            if (physics.plainRules) {
                if (applyPlainRules(random_, element, index, movement_.edgeRow)) return CellEnd::Next;
            } else {
                switch (interact(x, index, element)) {
                    case InteractionOutcome::None: break;
                    case InteractionOutcome::Applied: return CellEnd::Next;
                    case InteractionOutcome::AppliedSkipNext: return CellEnd::SkipNext;
                    case InteractionOutcome::WorldReplaced: return CellEnd::StopStep;
                }
            }
        }
        if (physics.totalDeathRate != 0) {
            movement_.r = advanceDeath(movement_.r);
            if (physics.totalDeathRate >= movement_.r) {
                die(random_, index, element);
                return CellEnd::Next;
            }
        }
        movement_.move(x, index, element, physics);
        return CellEnd::Next;
    }

    // Rules with triggers, wildcards or the no-bias flag.
    [[gnu::noinline]] InteractionOutcome interact(int x, int index, uint16_t element) {
        InteractionContext context{
            world_,    random_,           runTrigger_,           state_, x, row_, index, horizontal_,
            vertical_, movement_.edgeRow, rowStart_ + endColumn_};
        return interactionPhase(context, element);
    }

    // `random` may be a local copy of the generator.
    [[gnu::always_inline]] bool applyPlainRules(Random& random, uint16_t element, int index, bool edgeRow) {
        return ef2::applyPlainRules(writer_, random, ruleTables_[element], index, horizontal_, vertical_,
                                    edgeRow);
    }

    // Some neighbour may hold a partner of one of the element's rules; this
    // only has to err on the side of yes.
    bool touchesPartner(uint16_t element, int index) const {
        const ScanEntry& entry = scan_[element];
        if (entry.partnerCount == kManyPartners) {
            return anyNeighbourFlagged(filters_[element], cells_, index, horizontal_, vertical_);
        }
        return partnerNear(cells_ + index, stride_, entry);
    }

    void die(Random& random, int index, uint16_t element) {
        const std::vector<DeathEntry>& table = world_.caches().deathTables[element];
        for (std::size_t k = 0; k < table.size(); ++k) {
            if (static_cast<uint32_t>(random.next()) <= table[k].chance) {
                writer_.write(index, table[k].target);
                return;
            }
        }
    }

    void epilogue() {
        int32_t border = options_.border->value;
        int gridWidth = width_ + 2;
        uint16_t* top = cells_;
        uint16_t* bottom = cells_ + (height_ + 1) * stride_;
        uint16_t* topColour = colours_;
        uint16_t* bottomColour = colours_ + (height_ + 1) * stride_;
        if (border == 1) {
            uint16_t wallColour = world_.displayColour(kNothing);
            std::fill(top, top + gridWidth, kNothing);
            std::fill(bottom, bottom + gridWidth, kNothing);
            std::fill(topColour, topColour + gridWidth, wallColour);
            std::fill(bottomColour, bottomColour + gridWidth, wallColour);
        } else if (border == 2 && state_.previousBorder == 2) {
            wrapAround(top, bottom, topColour, bottomColour, gridWidth);
        } else if (border == 0 || border == 2) {
            std::fill(top, top + gridWidth, kClear);
            std::fill(bottom, bottom + gridWidth, kClear);
            std::fill(topColour, topColour + gridWidth, uint16_t{0});
            std::fill(bottomColour, bottomColour + gridWidth, uint16_t{0});
        }
        state_.previousBorder = border;
    }

    // Particles that left through the bottom frame row come back in the top
    // interior row when it has room there, and the other way round.
    void wrapAround(uint16_t* top, uint16_t* bottom, uint16_t* topColour, uint16_t* bottomColour,
                    int gridWidth) {
        uint16_t* firstRow = cells_ + stride_;
        uint16_t* lastRow = cells_ + height_ * stride_;
        uint16_t* firstColour = colours_ + stride_;
        uint16_t* lastColour = colours_ + height_ * stride_;
        for (int x = 0; x < gridWidth; ++x) {
            if (firstRow[x] == kClear) {
                firstRow[x] = bottom[x];
                firstColour[x] = bottomColour[x];
                bottom[x] = kClear;
                bottomColour[x] = 0;
            }
            if (lastRow[x] == kClear) {
                lastRow[x] = top[x];
                lastColour[x] = topColour[x];
                top[x] = kClear;
                topColour[x] = 0;
            }
        }
    }

    World& world_;
    Random& random_;
    const InteractionTriggerRunner& runTrigger_;
    StepState& state_;
    const WorldOptions& options_;

    uint16_t* cells_ = nullptr;
    uint16_t* colours_ = nullptr;
    const ElementPhysics* physics_ = nullptr;
    const ScanEntry* scan_ = nullptr;
    const NeighbourFilter* filters_ = nullptr;
    const std::vector<CachedRule>* ruleTables_ = nullptr;
    CellWriter writer_{world_};
    int32_t* marks_ = nullptr;
    int stride_ = 0, width_ = 0, height_ = 0;

    int row_ = 0;
    int rowStart_ = 0;
    int endColumn_ = 0;
    int horizontal_ = 1;
    int vertical_ = 0;
    Movement movement_{};
    bool worldReplaced_ = false;
};

}  // namespace

WindThresholds windThresholds(int32_t wind) {
    int64_t w = int64_t{wind} * kChanceScale / 1000;
    WindThresholds thresholds{kChanceScale - w, kChanceScale + w};
    if (thresholds.higher <= 0) thresholds.higher = 1;
    if (thresholds.lower <= 0) thresholds.lower = 1;
    return thresholds;
}

void physicsStep(World& world, Random& random, const InteractionTriggerRunner& runTrigger) {
    if (!world.exists()) return;
    Stepper(world, random, runTrigger).run();
}

}  // namespace ef2
