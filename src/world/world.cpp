#include "world/world.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace ef2 {

World::World(VariableTable& variables, ElementTable& elements, RebuildRequest& rebuildRequest)
    : variables_(variables), elements_(elements), rebuildRequest_(rebuildRequest) {
    caches_.elements.assign(kCacheEntries, ElementPhysics{});
    // Full size from the start: the step holds on to the table's address.
    caches_.sinkLimits.assign(std::size_t{kSinkTableSide} * kSinkTableSide, 0);
    caches_.scan.assign(kCacheEntries, ScanEntry{});
    caches_.fallMagnitude.assign(kCacheEntries, ElementPhysics{}.fallMagnitude);
    caches_.displayColour.assign(kCacheEntries, 0);
    caches_.deathTables.assign(kCacheEntries, {});
    caches_.ruleTables.assign(kCacheEntries, {});
    caches_.neighbourFilters.assign(kCacheEntries, NeighbourFilter{});
    presence_.assign(kCacheEntries, 0);
    previousPresence_.assign(kCacheEntries, 0);
}

void World::bindOptions() {
    options_.border = variables_.obtain("BORDER", 0, true);
    options_.interactions = variables_.obtain("INTERACTIONS", 1, true);
    options_.death = variables_.obtain("DEATH", 1, true);
    options_.gravity = variables_.obtain("GRAVITY", 1000, true);
    options_.wind = variables_.obtain("WIND", 0, true);
    options_.seed = variables_.obtain("SEED", 0, true);
}

void World::create(int width, int height) {
    bindOptions();
    state_ = StepState{};
    state_.direction = -1;
    state_.cachedInteractions = options_.interactions->value;
    state_.cachedDeath = options_.death->value;
    state_.cachedGravity = options_.gravity->value;
    state_.previousBorder = options_.border->value;
    resize(width, height);
    options_.reverse = variables_.obtain("REVERSE", 0, true);
    // Build the caches and presence flags from scratch.
    cacheSize_ = 0;
    rebuild(kRebuildElements);
}

bool World::sizeAllowed(int64_t width, int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxWorldSide && height <= kMaxWorldSide &&
           width * height <= kMaxWorldCells;
}

bool World::resize(int width, int height) {
    if (!sizeAllowed(width, height)) return false;
    LockGuard guard(resizeLock_);
    SurfacePtr newGrid = makeSurface16(width + 2, height + 2);
    SurfacePtr newColour = makeSurface16(width + 2, height + 2);
    if (!newGrid || !newColour) return false;

    options_.width = variables_.obtain("WIDTH", width, false);
    options_.height = variables_.obtain("HEIGHT", height, false);
    options_.width->value = width;
    options_.height->value = height;

    SurfacePtr oldGrid = std::move(grid_);
    int oldGridWidth = gridWidth(), oldGridHeight = gridHeight();
    int oldStride = stride_;
    grid_ = std::move(newGrid);
    colour_ = std::move(newColour);
    width_ = width;
    height_ = height;
    stride_ = stride16(grid_.get());
    ++gridGeneration_;
    if (onResized) onResized();
    rebuild(kRebuildElements);

    if (oldGrid) {
        // A growing grid keeps everything but the old right frame column and
        // bottom frame row; a shrinking grid keeps the top-left part.
        int copyColumns = gridWidth() > oldGridWidth ? oldGridWidth - 1 : gridWidth();
        int copyRows = gridHeight() > oldGridHeight ? oldGridHeight - 1 : gridHeight();
        const uint16_t* source = pixels16(oldGrid.get());
        for (int y = 0; y < copyRows; ++y) {
            std::memcpy(cells() + y * stride_, source + y * oldStride, copyColumns * sizeof(uint16_t));
        }
        // Shrinking copies interior cells into the new right frame column; the
        // frame must stay a wall.
        restoreFrameColumns();
    }
    if (cachesExist_) markColourLayerStale();
    return true;
}

void World::rebuildIfRequested() {
    if (rebuildRequest_.level() != 0) rebuild(rebuildRequest_.level());
}

void World::rebuild(int level) {
    if (cacheSize_ < elements_.recordCount() + 5) {
        LockGuard guard(worldLock_);
        cacheSize_ = std::min(elements_.recordCount() + 10, kCacheEntries);
        cachesExist_ = true;
        if (exists()) recountPresence();
        level = std::max(level, static_cast<int>(kRebuildElements));
    }
    if (level >= kRebuildPresence) {
        for (int id = cacheSize_ - 1; id >= 0; --id) compileElement(static_cast<uint16_t>(id));
        compileSinkLimits();
    }
    if (exists()) {
        if (level >= kRebuildFrame) restoreFrameColumns();
        if (level >= kRebuildPresence) {
            markColourLayerStale();
            repaintColourLayer();
        }
    }
    if (level >= kRebuildPresence) elements_.releaseRetiredTriggers();
    rebuildRequest_.take();
}

int32_t fallRateOf(uint16_t id, int32_t weight, int32_t gravity) {
    if (id == kNothing) return kWallFallRate;
    if (weight == 0) return kImmovable;
    // |GRAVITY| above 10000 would make the divisor 0; it acts as 1.
    int64_t divisor = gravity != 0 ? 10000 / gravity : 1000000;
    if (divisor == 0) divisor = 1;
    int64_t rate = int64_t{weight} * 328 / divisor;
    if (rate > kImmovable) rate = kMaxFallRate;
    if (rate < kMinFallRate) rate = kMinFallRate;
    if (rate == 0) rate = id == kClear ? 1 : 2;
    return static_cast<int32_t>(rate);
}

void World::compileElement(uint16_t id) {
    static const Element fresh;
    const Element* element = elements_.get(id);
    if (!element) element = &fresh;

    ElementPhysics physics;
    physics.signedFall = fallRateOf(id, element->weight, state_.cachedGravity);
    physics.fallMagnitude = id == kNothing ? kWallFallMagnitude : std::abs(physics.signedFall);
    int sign = physics.signedFall > 0 ? 1 : -1;
    physics.fallStep = sign == state_.direction ? 1 : -1;
    physics.spray = element->spray != 0 ? element->spray : 1;
    physics.slideSpan =
        static_cast<int32_t>(std::clamp<int64_t>(int64_t{element->slide} * 2 + 1, -65537, 65537));
    physics.slideMultiple = ~uint64_t{0} / static_cast<uint64_t>(std::abs(physics.slideSpan)) + 1;
    physics.viscosity = element->viscosity;
    physics.totalDeathRate = state_.cachedDeath != 0 ? element->totalDeathRate : 0;
    physics.noBias = element->noBias;
    compileRules(id, *element);
    compileDeathTable(id, *element);
    physics.hasRules = caches_.ruleTables[id].empty() ? 0 : 1;
    physics.plainRules =
        !physics.noBias &&
        std::all_of(caches_.ruleTables[id].begin(), caches_.ruleTables[id].end(),
                    [](const CachedRule& rule) { return !rule.trigger && rule.partner != kNothing; });
    physics.fallOffset = physics.fallStep * stride_;
    physics.plainMover =
        !physics.hasRules && physics.totalDeathRate == 0 && !staysInPlace(physics.fallMagnitude);

    caches_.elements[id] = physics;
    caches_.fallMagnitude[id] = physics.fallMagnitude;
    bool inert = !physics.hasRules && physics.signedFall == kImmovable && physics.totalDeathRate == 0;
    compileScanEntry(id, physics, id == kClear || (id != kNothing && inert));
    caches_.displayColour[id] = rgb565(element->colour.r, element->colour.g, element->colour.b);
}

// Recomputed only when a fall rate or viscosity it derives from has changed:
// the set of present elements, which changes far more often, plays no part.
void World::compileSinkLimits() {
    const int ids = std::min(cacheSize_, kSinkTableSide);
    const ElementPhysics* physics = caches_.elements.data();
    bool changed = ids != caches_.sinkTableIds;
    for (int id = 0; id < ids && !changed; ++id) {
        const ElementPhysics& now = physics[id];
        changed = now.signedFall != sinkInputs_[id].signedFall || now.viscosity != sinkInputs_[id].viscosity;
    }
    if (!changed) return;
    sinkInputs_.assign(physics, physics + ids);
    for (int particle = 0; particle < ids; ++particle) {
        for (int below = 0; below < ids; ++below) {
            caches_.sinkLimits[static_cast<std::size_t>(particle) * kSinkTableSide + below] =
                static_cast<uint16_t>(sinkLimit(physics[particle], physics[below]));
        }
    }
    caches_.sinkTableIds = ids;
}

void World::compileRules(uint16_t id, const Element& element) {
    std::vector<CachedRule>& table = caches_.ruleTables[id];
    NeighbourFilter& filter = caches_.neighbourFilters[id];
    table.clear();
    filter.fill(0);
    if (state_.cachedInteractions == 0 || id == kNothing) return;
    for (const Interaction& rule : element.interactions) {
        if (!presence_[rule.partner]) continue;
        // A chance of 0 ends the table; the first entry is always kept.
        if (rule.chance == 0 && !table.empty()) break;
        table.push_back(CachedRule{rule.partner, rule.ownerResult, rule.partnerResult, rule.excepted,
                                   rule.chance, rule.trigger});
        if (rule.partner == kNothing) {
            filter.fill(~uint64_t{0});
        } else {
            filter[(rule.partner & 0xFF) >> 6] |= uint64_t{1} << (rule.partner & 63);
        }
    }
}

// Empty space is skipped whatever its rules say; walls (element 1) end every
// row's scan, so they are always met.
void World::compileScanEntry(uint16_t id, const ElementPhysics& physics, bool skipped) {
    ScanEntry scan;
    scan.fallOffset = physics.fallOffset;
    for (const CachedRule& rule : caches_.ruleTables[id]) {
        if (scan.partnerCount == kManyPartners) break;
        if (rule.partner == kNothing) {
            scan.partnerCount = kManyPartners;
        } else if (std::find(scan.partners, scan.partners + scan.partnerCount, rule.partner) ==
                   scan.partners + scan.partnerCount) {
            if (scan.partnerCount == kScanPartners) {
                scan.partnerCount = kManyPartners;
            } else {
                scan.partners[scan.partnerCount++] = rule.partner;
            }
        }
    }
    if (scan.partnerCount != kManyPartners) {
        for (int k = std::max<int>(scan.partnerCount, 1); k < kScanPartners; ++k)
            scan.partners[k] = scan.partners[0];
    }
    const bool fewPartners = scan.partnerCount != kManyPartners;
    scan.plainRules = physics.plainRules;
    scan.directRules = physics.plainRules && caches_.ruleTables[id].size() <= kScanPartners;
    if (skipped) {
        scan.kind = ScanKind::Skip;
    } else if (id == kNothing) {
        scan.kind = ScanKind::Busy;
    } else if (physics.plainMover) {
        scan.kind = ScanKind::Mover;
    } else if (physics.hasRules && fewPartners && physics.totalDeathRate == 0) {
        // Only the exact mark is certainly immovable; an element that might
        // move is only passed over with its own kind around it.
        scan.kind = physics.fallMagnitude == kImmovable ? ScanKind::ReactiveStill : ScanKind::ReactiveMover;
    } else {
        scan.kind = ScanKind::Busy;
    }
    caches_.scan[id] = scan;
}

void World::compileDeathTable(uint16_t id, const Element& element) {
    std::vector<DeathEntry>& table = caches_.deathTables[id];
    table.clear();
    if (state_.cachedDeath == 0 || element.totalDeathRate == 0) return;
    for (const DeathRule& rule : element.deathRules) {
        uint32_t chance =
            std::min<uint32_t>(uint32_t{rule.rate} * kChanceScale / element.totalDeathRate, kChanceScale);
        if (chance == 0) break;
        table.push_back(DeathEntry{chance, rule.target});
    }
}

void World::restoreFrameColumns() {
    uint16_t wallColour = caches_.displayColour[kNothing];
    for (int y = 1; y <= height_; ++y) {
        uint16_t* row = cells() + y * stride_;
        uint16_t* colourRow = colours() + y * stride_;
        row[0] = row[width_ + 1] = kNothing;
        colourRow[0] = colourRow[width_ + 1] = wallColour;
    }
}

void World::repaintColourLayer() {
    if (!colourStale_ || !cachesExist_ || !exists()) return;
    LockGuard guard(worldLock_);
    repaintAll();
    colourStale_ = false;
}

void World::repaintAll() {
    const uint16_t* lookup = caches_.displayColour.data();
    for (int y = 0; y < gridHeight(); ++y) {
        const uint16_t* row = cells() + y * stride_;
        uint16_t* colourRow = colours() + y * stride_;
        for (int x = 0; x < gridWidth(); ++x) colourRow[x] = lookup[row[x]];
    }
}

void World::recountPresence() {
    std::fill(presence_.begin(), presence_.end(), 0);
    presence_[kClear] = presence_[kNothing] = 1;
    for (int y = 1; y <= height_; ++y) {
        const uint16_t* row = cells() + y * stride_;
        for (int x = 1; x <= width_; ++x) presence_[row[x]] = 1;
    }
}

uint16_t World::interiorCell(int x, int y) const {
    if (x < 1 || x > width_ || y < 1 || y > height_) return kNothing;
    return cells()[y * stride_ + x];
}

void World::setCell(int x, int y, uint16_t id) {
    if (x < 0 || x >= gridWidth() || y < 0 || y >= gridHeight()) return;
    cells()[y * stride_ + x] = id;
    colours()[y * stride_ + x] = caches_.displayColour[id];
    presence_[id] = 1;
}

}  // namespace ef2
