#pragma once
// The world: the particle grid with its one-cell frame, the colour layer that
// the view shows, the world option variables, and the per-element caches that
// the physics step reads.
//
// Grid and colour layer are RGB565 surfaces of (WIDTH+2) x (HEIGHT+2) cells
// with the same addressing: cell (x, y) of the framed grid is at index
// y * stride + x in both. Script coordinates run 1..WIDTH and 1..HEIGHT inside
// the frame. The frame columns always hold element 1 (walls); the frame rows
// hold what the BORDER option leaves there.
//
// This file owns creation, resizing, the rebuild that compiles the element
// table into caches, the colour-layer repaint and the presence flags. The step
// itself is in physics.h; the rules it applies are compiled here.

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "script/variable_table.h"
#include "world/element_table.h"
#include "world/lock.h"
#include "world/rebuild_request.h"
#include "world/surface.h"

namespace ef2 {

// A world larger than this would need more memory than a desktop toy should
// ask for; such sizes are refused and the world stays as it was.
constexpr int kMaxWorldSide = 16384;
constexpr int64_t kMaxWorldCells = int64_t{64} * 1024 * 1024;

// Caches cover every possible 16-bit id, so that an id that reaches the grid
// from a stamp or an expression never indexes outside them. Ids without a
// defined element behave like a fresh record: immovable and inert.
constexpr int kCacheEntries = 65536;

// Fall rates: the weight scaled by gravity, and the mark of immovable elements.
// Only rates above the mark are cut (to kMaxFallRate); negative rates keep
// their size, so a very light gas is lighter than the immovable mark and
// passes weightless solids. They stop short of element 1's magnitude.
constexpr int32_t kImmovable = 999999;
constexpr int32_t kMaxFallRate = 999998;
constexpr int32_t kMinFallRate = -(INT32_MAX - 1);
constexpr int32_t kWallFallRate = 9999999;         // element 1's signed fall rate
constexpr int32_t kWallFallMagnitude = INT32_MAX;  // above every other element's

// Particles of these magnitudes never move: the immovable mark and element 1.
constexpr bool staysInPlace(int32_t fallMagnitude) {
    return fallMagnitude == kImmovable || fallMagnitude == kWallFallMagnitude;
}

// Per-element values of the physics step, compiled by the rebuild.
struct ElementPhysics {
    int32_t signedFall = kImmovable;
    int32_t fallMagnitude = kImmovable;
    int32_t spray = 1;
    int32_t slideSpan = 1;  // 2 * slide + 1, kept within +-65537 (same remainders for 16-bit R)
    // 2^64 / |slideSpan|, rounded up (0 for a span of 1): a 32-bit n is a
    // multiple of the span when n * slideMultiple <= slideMultiple - 1.
    uint64_t slideMultiple = 0;
    int32_t viscosity = 1;
    int32_t fallStep = 1;    // +1 row (down) or -1 row (up)
    int32_t fallOffset = 0;  // fallStep rows, in cells of the current grid
    uint16_t totalDeathRate = 0;
    uint8_t noBias = 0;
    uint8_t hasRules = 0;
    // Movable, without rules and without death: such a particle surrounded by
    // its own kind below and on both sides does nothing in a step.
    uint8_t plainMover = 0;
    // Every cached rule is an ordinary rule without trigger and the element
    // has no no-bias flag: the step applies its rules on a short path.
    uint8_t plainRules = 0;
};

// One entry of an element's death table; chance 0 ends the table.
struct DeathEntry {
    uint32_t chance = 0;
    uint16_t target = 0;
};

// One cached interaction rule: a rule of the element whose partner is present.
// Chance 0 ends the table.
struct CachedRule {
    uint16_t partner = 0;
    uint16_t ownerResult = 0;
    uint16_t partnerResult = 0;
    uint16_t excepted = kNothing;
    uint32_t chance = 0;
    Trigger* trigger = nullptr;
};

// 256 flags indexed by the low 8 bits of an element id.
using NeighbourFilter = std::array<uint64_t, 4>;

// How the step's scan treats a cell of an element. The scan passes over whole
// runs of cells that provably do nothing in this step, several at a time; the
// kinds say what "nothing" takes.
enum class ScanKind : uint8_t {
    Skip,           // never processed: empty space, inert elements, ids without an element
    Mover,          // a plain mover: quiet with its own kind below and on both sides
    ReactiveStill,  // rules with few partners, no death, immovable: quiet without a partner next to it
    ReactiveMover,  // the same, movable: also needs its own kind below and on both sides
    Busy,           // processed whenever the scan meets it (death, wildcard rules, many partners, walls)
};

// Elements with more distinct partners than this (or a wildcard rule) use the
// neighbour filter instead of comparing neighbours with each partner.
constexpr int kScanPartners = 4;
constexpr uint8_t kManyPartners = 255;

struct ScanEntry {
    ScanKind kind = ScanKind::Skip;
    // Distinct partners of the cached rules, or kManyPartners. Unused slots
    // repeat the first partner, so that comparing with all of them is exact.
    uint8_t partnerCount = 0;
    uint16_t partners[kScanPartners] = {};
    // Plain rules (see ElementPhysics), at most kScanPartners of them: cheaper
    // to try one by one than to test the partners first.
    uint8_t directRules = 0;
    uint8_t plainRules = 0;  // as in ElementPhysics
    int32_t fallOffset = 0;  // as in ElementPhysics
};

// Whether a particle sinks into the cell below it, when that holds something
// else: only into something lighter, and then when a draw (0..32767) of the
// movement's generator is below lead / viscosity. The whole test as one number:
// 0 when the cell below is not lighter, else the largest draw that sinks plus 2
// (1: none does), so that a draw sinks when draw + 1 < the number.
inline uint32_t sinkLimit(const ElementPhysics& particle, const ElementPhysics& below) {
    if (particle.signedFall <= below.signedFall) return 0;
    int64_t viscosity = int64_t{below.viscosity} + particle.viscosity;
    viscosity += viscosity == 0;
    if (viscosity < 0) return 1;
    const int64_t lead = int64_t{particle.signedFall} - below.signedFall;
    return static_cast<uint32_t>(std::min<int64_t>(lead / viscosity, 0x8000) + 1);
}

// Elements with ids below this have their sink limits looked up in a table.
constexpr int kSinkTableSide = 256;

struct PhysicsCaches {
    std::vector<ElementPhysics> elements;
    // sinkLimit of particle p over element b at p * kSinkTableSide + b, for
    // ids below sinkTableIds; its size never changes.
    std::vector<uint16_t> sinkLimits;
    int sinkTableIds = 0;
    std::vector<ScanEntry> scan;
    std::vector<int32_t> fallMagnitude;   // as in ElementPhysics, packed for the slide's looks
    std::vector<uint16_t> displayColour;  // RGB565
    std::vector<std::vector<DeathEntry>> deathTables;
    std::vector<std::vector<CachedRule>> ruleTables;
    std::vector<NeighbourFilter> neighbourFilters;
};

// State of the physics step that lives from one step to the next.
struct StepState {
    int direction = -1;  // +1 when gravity pulls toward higher rows
    bool scanBit = false;
    bool higherOpen = true;  // slide flags, carried from particle to particle
    bool lowerOpen = true;
    std::vector<int32_t> columnMarks;
    int32_t cachedInteractions = 1;
    int32_t cachedDeath = 1;
    int32_t cachedGravity = 1000;
    int32_t previousBorder = 0;
    int presenceCounter = 0;
};

// The world option variables, bound once.
struct WorldOptions {
    Variable* width = nullptr;
    Variable* height = nullptr;
    Variable* border = nullptr;
    Variable* interactions = nullptr;
    Variable* death = nullptr;
    Variable* gravity = nullptr;
    Variable* wind = nullptr;
    Variable* seed = nullptr;
    Variable* reverse = nullptr;
    Variable* nextInteraction = nullptr;
    Variable* preview = nullptr;
};

class World {
public:
    World(VariableTable& variables, ElementTable& elements, RebuildRequest& rebuildRequest);
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // Sets the option variables to their defaults and makes a fresh world.
    void create(int width, int height);
    // Resizes, keeping the cells at their framed coordinates. Sizes below 1,
    // above kMaxWorldSide or above kMaxWorldCells are refused (false).
    bool resize(int width, int height);
    static bool sizeAllowed(int64_t width, int64_t height);

    void rebuild(int level);
    // Runs the rebuild with the pending request level, when there is one.
    void rebuildIfRequested();
    void requestRebuild(int level) { rebuildRequest_.request(level); }

    void markColourLayerStale() { colourStale_ = true; }
    bool colourLayerStale() const { return colourStale_; }
    // Repaints the colour layer from the grid when it is stale.
    void repaintColourLayer();

    bool exists() const { return grid_ != nullptr; }
    // Changes with every resize: cell pointers taken before are no longer valid.
    uint64_t gridGeneration() const { return gridGeneration_; }
    int width() const { return width_; }    // interior
    int height() const { return height_; }  // interior
    int gridWidth() const { return width_ + 2; }
    int gridHeight() const { return height_ + 2; }
    int stride() const { return stride_; }
    uint16_t* cells() { return pixels16(grid_.get()); }
    const uint16_t* cells() const { return static_cast<const uint16_t*>(grid_->pixels); }
    uint16_t* colours() { return pixels16(colour_.get()); }
    SDL_Surface* gridSurface() { return grid_.get(); }
    SDL_Surface* colourSurface() { return colour_.get(); }

    // The element at framed coordinates; element 1 outside the interior.
    uint16_t interiorCell(int x, int y) const;
    // Writes a cell of the framed grid with its colour and presence flag.
    void setCell(int x, int y, uint16_t id);

    uint16_t displayColour(uint16_t id) const { return caches_.displayColour[id]; }
    std::vector<uint8_t>& presence() { return presence_; }
    std::vector<uint8_t>& previousPresence() { return previousPresence_; }
    void markPresent(uint16_t id) { presence_[id] = 1; }
    // Clears the presence flags and sets those of 0, 1 and every interior cell.
    void recountPresence();
    // Sets both frame columns of every interior row to element 1.
    void restoreFrameColumns();

    // Ids below this have compiled caches (the element table's size plus 10).
    int cacheSize() const { return cacheSize_; }
    PhysicsCaches& caches() { return caches_; }
    const PhysicsCaches& caches() const { return caches_; }
    StepState& stepState() { return state_; }
    const WorldOptions& options() const { return options_; }
    // NEXTINTERACTION and PREVIEW are created on first use: by the first
    // physics step (which sets NEXTINTERACTION to 0) and by the first draw.
    const WorldOptions& options() {
        onFirstUse(variables_, options_.nextInteraction, "NEXTINTERACTION");
        return options_;
    }
    Variable& preview() { return *onFirstUse(variables_, options_.preview, "PREVIEW"); }
    VariableTable& variables() { return variables_; }
    ElementTable& elements() { return elements_; }
    RebuildRequest& rebuildRequest() { return rebuildRequest_; }
    Lock& worldLock() { return worldLock_; }
    Lock& resizeLock() { return resizeLock_; }

    // Called after every resize so that the view can lay itself out again.
    std::function<void()> onResized;

private:
    void bindOptions();
    void compileElement(uint16_t id);
    void compileRules(uint16_t id, const Element& element);
    void compileDeathTable(uint16_t id, const Element& element);
    void compileScanEntry(uint16_t id, const ElementPhysics& physics, bool skipped);
    void compileSinkLimits();
    void repaintAll();

    VariableTable& variables_;
    ElementTable& elements_;
    RebuildRequest& rebuildRequest_;
    WorldOptions options_;

    SurfacePtr grid_;
    SurfacePtr colour_;
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    bool colourStale_ = false;
    uint64_t gridGeneration_ = 0;
    bool cachesExist_ = false;
    int cacheSize_ = 0;  // entries of the table the caches were compiled for

    PhysicsCaches caches_;
    std::vector<ElementPhysics> sinkInputs_;  // what the sink limits were computed from
    std::vector<uint8_t> presence_;
    std::vector<uint8_t> previousPresence_;
    StepState state_;
    Lock worldLock_;
    Lock resizeLock_;
};

// The signed fall rate of an element: weight x 328 / (10000 / GRAVITY), with the
// immovable mark for weight 0 and the cuts above 999998 and below kMinFallRate.
int32_t fallRateOf(uint16_t id, int32_t weight, int32_t gravity);

}  // namespace ef2
