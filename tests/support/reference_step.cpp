#include "support/reference_step.h"

#include <cstdlib>
#include <vector>

#include "world/random.h"
#include "world/world.h"

namespace ef2 {

namespace {

// Grid access by interior row (0..HEIGHT-1, -1 and HEIGHT the frame rows) and
// column (0..WIDTH+1).
struct Grid {
    World& world;
    int at(int column, int row) const { return world.cells()[(row + 1) * world.stride() + column]; }
    int colourAt(int column, int row) const { return world.colours()[(row + 1) * world.stride() + column]; }
    void put(int column, int row, int id, int colour) {
        world.cells()[(row + 1) * world.stride() + column] = static_cast<uint16_t>(id);
        world.colours()[(row + 1) * world.stride() + column] = static_cast<uint16_t>(colour);
    }
    void swap(int c1, int r1, int c2, int r2) {
        int id = at(c1, r1), colour = colourAt(c1, r1);
        put(c1, r1, at(c2, r2), colourAt(c2, r2));
        put(c2, r2, id, colour);
    }
};

bool hasCachedRules(World& world, int id) {
    return !world.caches().ruleTables[id].empty();
}

}  // namespace

ReferenceElement referenceElement(World& world, int id) {
    static const Element fresh;
    const Element* element = world.elements().get(static_cast<uint32_t>(id));
    if (!element) element = &fresh;
    StepState& state = world.stepState();

    ReferenceElement result{};
    long long divisor;
    if (state.cachedGravity != 0) {
        divisor = 10000 / state.cachedGravity;
    } else {
        divisor = 1000000;
    }
    if (divisor == 0) divisor = 1;
    long long rate;
    if (element->weight == 0) {
        rate = 999999;
    } else {
        rate = static_cast<long long>(element->weight) * 328 / divisor;
        if (rate > 999999) rate = 999998;
        if (rate < -2147483646LL) rate = -2147483646LL;
        if (rate == 0) rate = (id == 0) ? 1 : 2;
    }
    if (id == 1) rate = 9999999;
    result.signedFall = static_cast<int>(rate);
    result.magnitude = id == 1 ? 2147483647 : std::abs(result.signedFall);
    int sign = result.signedFall > 0 ? 1 : -1;
    result.fallStep = (sign == state.direction) ? 1 : -1;
    result.spray = element->spray == 0 ? 1 : element->spray;
    result.slideSpan = 2LL * element->slide + 1;
    result.viscosity = element->viscosity;
    result.deathRate = state.cachedDeath == 0 ? 0 : element->totalDeathRate;
    result.noBias = element->noBias != 0;
    bool rules = hasCachedRules(world, id);
    result.inert = !rules && result.signedFall == 999999 && result.deathRate == 0;
    if (id == 0) result.inert = true;
    if (id == 1) result.inert = false;
    return result;
}

namespace {

class ReferenceStepper {
public:
    ReferenceStepper(World& world, Random& random, const InteractionTriggerRunner& runTrigger)
        : world(world), random(random), runTrigger(runTrigger), grid{world}, state(world.stepState()) {}

    void run() {
        const WorldOptions& options = world.options();
        // Prologue 1.
        int seed = options.seed->value;
        options.seed->value = static_cast<int32_t>(static_cast<uint32_t>(seed) + 1u);
        random.seed(static_cast<uint32_t>(seed));
        width = world.width();
        height = world.height();
        // Prologue 2.
        marks.assign(width + 2, -1000000);
        options.nextInteraction->value = 0;
        // Prologue 3.
        int before = state.presenceCounter;
        state.presenceCounter = before + 1;
        if (before > 1000) {
            world.recountPresence();
            state.presenceCounter = 0;
        }
        // Prologue 4.
        int direction = state.direction;
        if (options.reverse->value == 0) direction = 1;
        if (options.reverse->value == 1) direction = -1;
        if (direction != state.direction) world.requestRebuild(3);
        state.direction = direction;
        if (options.interactions->value != state.cachedInteractions ||
            options.death->value != state.cachedDeath || options.gravity->value != state.cachedGravity) {
            world.requestRebuild(3);
            state.cachedInteractions = options.interactions->value;
            state.cachedDeath = options.death->value;
            state.cachedGravity = options.gravity->value;
        }
        // Prologue 5.
        if (world.rebuildRequest().level() < 2) {
            for (int id = 0; id < world.cacheSize(); ++id) {
                if (world.presence()[id] != world.previousPresence()[id]) world.requestRebuild(2);
            }
        }
        for (int id = 0; id < world.cacheSize(); ++id) world.previousPresence()[id] = world.presence()[id];
        // Prologue 6.
        if (world.rebuildRequest().level() != 0) world.rebuild(world.rebuildRequest().level());
        // Prologue 7.
        state.higherOpen = true;
        state.lowerOpen = true;
        state.scanBit = !state.scanBit;
        int startColumn, endColumn, scan;
        if (!state.scanBit) {
            startColumn = 1;
            endColumn = width + 1;
            scan = 1;
        } else {
            startColumn = width;
            endColumn = 0;
            scan = -1;
        }
        // Prologue 8.
        long long w = static_cast<long long>(options.wind->value) * 32768 / 1000;
        higherThreshold = 32768 - w;
        lowerThreshold = 32768 + w;
        if (higherThreshold <= 0) higherThreshold = 1;
        if (lowerThreshold <= 0) lowerThreshold = 1;
        // Prologue 9.
        if (state.direction > 0) {
            for (int row = height - 1; row >= 0 && !aborted; row--) doRow(row, startColumn, endColumn, scan);
        } else {
            for (int row = 0; row <= height - 1 && !aborted; row++) doRow(row, startColumn, endColumn, scan);
        }
        if (!aborted) epilogue();
    }

private:
    void doRow(int row, int startColumn, int endColumn, int scan) {
        currentRow = row;
        edge = (row == 0 || row == height - 1);
        R = random.next();
        if (R % 2 == 0) {
            h = -1;
            v = -1;
        } else {
            h = 1;
            v = 1;
        }
        grid.put(endColumn, row, 1, grid.colourAt(endColumn, row));
        this->endColumn = endColumn;
        this->scanStep = scan;
        int x = startColumn;
        while (true) {
            int skipTo = x;
            if (!doCell(x, skipTo)) {
                aborted = true;
                return;
            }
            x = skipTo + scan;
            while (referenceElement(world, grid.at(x, row)).inert) x = x + scan;
            if (x == endColumn) break;
        }
    }

    // Returns false when the scan must stop: a trigger replaced the world.
    bool doCell(int x, int& skipTo) {
        int E = grid.at(x, currentRow);
        ReferenceElement e = referenceElement(world, E);
        // 1. Interaction phase.
        Outcome outcome = interactionPhase(x, E);
        if (outcome == Outcome::Aborted) return false;
        if (outcome == Outcome::EndedSkipNext) {
            if (grid.at(x + scanStep, currentRow) != 1) skipTo = x + scanStep;
            return true;
        }
        if (outcome == Outcome::Ended) return true;
        doDeathAndMovement(x, E, e);
        return true;
    }

    enum class Outcome { None, Ended, EndedSkipNext, Aborted };

    // The four neighbours, as (column, row) pairs: -h, +h, +v, -v.
    int nx(int x, int which) const { return which == 0 ? x - h : which == 1 ? x + h : x; }
    int ny(int which) const { return which == 2 ? currentRow + v : which == 3 ? currentRow - v : currentRow; }

    Outcome interactionPhase(int x, int E) {
        const std::vector<CachedRule>& rules = world.caches().ruleTables[E];
        // Skip when there are no rules, no neighbour passes the filter, or the
        // column is marked for this row.
        if (rules.empty()) return Outcome::None;
        bool anyFlag = false;
        for (int which = 0; which < 4; which++) {
            int low = grid.at(nx(x, which), ny(which)) % 256;
            for (const CachedRule& rule : rules) {
                if (rule.partner == 1 || rule.partner % 256 == low) anyFlag = true;
            }
        }
        if (!anyFlag) return Outcome::None;
        if (marks[x] == currentRow) return Outcome::None;
        const uint64_t generation = world.gridGeneration();
        bool noBias = referenceElement(world, E).noBias;
        for (std::size_t k = 0; k < world.caches().ruleTables[E].size(); k++) {
            CachedRule rule = world.caches().ruleTables[E][k];
            int P = rule.partner;
            int K = static_cast<int>(rule.chance);
            if (P != 1) {
                int n = 0;
                for (int which = 0; which < 4; which++) {
                    if (which == 2 && edge) continue;
                    if (grid.at(nx(x, which), ny(which)) == P) n++;
                }
                if (n == 0) continue;
                if (!noBias) {
                    for (int which = 0; which < 4; which++) {
                        int r = random.next();
                        if (r < K && grid.at(nx(x, which), ny(which)) == P) {
                            Outcome outcome = applyRule(x, E, which, rule, false, noBias, generation);
                            if (outcome != Outcome::None) return outcome;
                        }
                    }
                } else {
                    if (!(random.next() < K)) continue;
                    marks[x] = currentRow - state.direction;
                    int r = random.next() % n;
                    for (int which : {2, 3, 0, 1}) {
                        if (grid.at(nx(x, which), ny(which)) != P) continue;
                        if (r == 0) {
                            Outcome outcome = applyRule(x, E, which, rule, false, noBias, generation);
                            if (outcome != Outcome::None) return outcome;
                            break;
                        }
                        r = r - 1;
                    }
                }
            } else {
                auto qualifies = [&](int which) {
                    int id = grid.at(nx(x, which), ny(which));
                    return id != E && id != rule.excepted && id != 1;
                };
                if (!noBias) {
                    for (int which = 0; which < 4; which++) {
                        int r = random.next();
                        if (r < K && qualifies(which)) {
                            Outcome outcome = applyRule(x, E, which, rule, true, noBias, generation);
                            if (outcome != Outcome::None) return outcome;
                        }
                    }
                } else {
                    if (!(random.next() < K)) continue;
                    int count = 0;
                    for (int which = 0; which < 4; which++) {
                        if (which == 2 && edge) continue;
                        if (qualifies(which)) count++;
                    }
                    if (count == 0) continue;
                    marks[x] = currentRow - state.direction;
                    int r = random.next() % count;
                    for (int which = 0; which < 4; which++) {
                        if (which == 2 && edge) continue;
                        if (!qualifies(which)) continue;
                        if (r == 0) {
                            Outcome outcome = applyRule(x, E, which, rule, true, noBias, generation);
                            if (outcome != Outcome::None) return outcome;
                            break;
                        }
                        r = r - 1;
                    }
                }
            }
        }
        return Outcome::None;
    }

    // None means "go on" (a trigger that set NEXTINTERACTION).
    Outcome applyRule(int x, int E, int which, const CachedRule& rule, bool wildcard, bool noBias,
                      uint64_t generation) {
        int mx = nx(x, which), my = ny(which);
        if (rule.trigger == nullptr) {
            if (!(wildcard && rule.partnerResult == 1)) {
                grid.put(mx, my, rule.partnerResult, world.displayColour(rule.partnerResult));
                world.markPresent(rule.partnerResult);
            }
            int own = rule.ownerResult;
            if (wildcard && rule.ownerResult == 1) own = grid.at(mx, my);
            grid.put(x, currentRow, own, world.displayColour(static_cast<uint16_t>(own)));
            world.markPresent(static_cast<uint16_t>(own));
            return Outcome::Ended;
        }
        int neighbour = grid.at(mx, my);
        if (E != 1 && neighbour != 1 && runTrigger) {
            runTrigger(rule.trigger, static_cast<uint16_t>(E), static_cast<uint16_t>(neighbour), x,
                       currentRow + 1, mx, my + 1);
        }
        if (world.gridGeneration() != generation) return Outcome::Aborted;
        grid.put(endColumn, currentRow, 1, grid.colourAt(endColumn, currentRow));
        Variable* next = world.options().nextInteraction;
        if (next->value == 0) return noBias ? Outcome::EndedSkipNext : Outcome::Ended;
        next->value = 0;
        return Outcome::None;
    }

    void doDeathAndMovement(int x, int E, const ReferenceElement& e) {
        // 2. Death.
        if (e.deathRate != 0) {
            R = (R * 3723 + 6) % 32768;
            if (e.deathRate >= R) {
                const Element* element = world.elements().get(static_cast<uint32_t>(E));
                std::vector<int> chances, targets;
                if (element && state.cachedDeath != 0) {
                    for (const DeathRule& rule : element->deathRules) {
                        int chance = static_cast<int>(static_cast<long long>(rule.rate) * 32768 /
                                                      element->totalDeathRate);
                        if (chance > 32768) chance = 32768;
                        if (chance == 0) break;
                        chances.push_back(chance);
                        targets.push_back(rule.target);
                    }
                }
                int k = 0;
                while (true) {
                    if (k >= static_cast<int>(chances.size())) return;  // the end mark: nothing changes
                    if (random.next() > chances[k]) {
                        k = k + 1;
                    } else {
                        break;
                    }
                }
                grid.put(x, currentRow, targets[k], world.displayColour(static_cast<uint16_t>(targets[k])));
                world.markPresent(static_cast<uint16_t>(targets[k]));
                return;
            }
        }
        // 3. Movement.
        int F = e.magnitude;
        if (F == 999999 || E == 1) return;
        int tRow = currentRow + e.fallStep;
        int T = grid.at(x, tRow);
        if (T == E) {
            doSlide(x, E, e);
            return;
        }
        if (T == 0) {
            if (edge) {
                doFall(x, tRow, e);
                return;
            }
            if (R % e.spray != 0 && grid.at(x, currentRow + 2 * e.fallStep) == E) {
                doFall(x, tRow, e);
                return;
            }
            R = (R * 7) % 32768;
            if (R < F && marks[x] != currentRow) {
                doFall(x, tRow, e);
                return;
            }
        }
        // Density test.
        ReferenceElement t = referenceElement(world, T);
        if (!(e.signedFall > t.signedFall) || marks[x] == currentRow) {
            doSlide(x, E, e);
            return;
        }
        R = (R * 7) % 32768;
        long long sum = t.viscosity + e.viscosity;
        if (sum == 0) sum = 1;
        long long Q = (static_cast<long long>(e.signedFall) - t.signedFall) / sum;
        if (R < Q) {
            doFall(x, tRow, e);
            return;
        }
        doSlide(x, E, e);
    }

    void doFall(int x, int tRow, const ReferenceElement& e) {
        if (e.noBias) marks[x] = currentRow - state.direction;
        grid.swap(x, currentRow, x, tRow);
    }

    bool passable(int column, int row, int F) {
        if (column < 0 || column > width + 1) return false;
        return referenceElement(world, grid.at(column, row)).magnitude < F;
    }

    void doSlide(int x, int E, const ReferenceElement& e) {
        int row = currentRow;
        int bRow = row + e.fallStep;
        int F = e.magnitude;
        if (grid.at(x + 1, row) == E && grid.at(x - 1, row) == E) return;
        int R0 = R;
        R = (R + 1) % 65536;
        if (R0 % e.slideSpan == 0) return;
        int P = R % 2;
        int d = 1;
        enum { NONE, HIGHER, LOWER, FAIL } choice;
        while (true) {
            choice = NONE;
            // a.
            if (!passable(x + d, row, F)) {
                state.higherOpen = false;
            } else if (passable(x + d, bRow, F)) {
                if (!passable(x - d, bRow, F) || P == 0) {
                    choice = HIGHER;
                } else {
                    state.higherOpen = false;
                }
            }
            // b.
            if (choice != HIGHER) {
                if (!passable(x - d, row, F)) {
                    state.lowerOpen = false;
                } else if (passable(x - d, bRow, F)) {
                    if (!passable(x + d, bRow, F)) {
                        state.higherOpen = false;
                        choice = state.lowerOpen ? LOWER : FAIL;
                    } else if (P == 0) {
                        choice = HIGHER;
                    } else {
                        state.higherOpen = false;
                        choice = state.lowerOpen ? LOWER : FAIL;
                    }
                }
            }
            // c.
            if (choice == NONE) {
                if (state.higherOpen && state.lowerOpen) {
                    d = d + 1;
                    continue;
                } else if (state.lowerOpen) {
                    choice = LOWER;
                } else if (state.higherOpen) {
                    choice = HIGHER;
                } else {
                    choice = FAIL;
                }
            }
            break;
        }
        int reach = d < 2 ? d : 2;
        if (choice == HIGHER) {
            state.lowerOpen = false;
            if (state.higherOpen) {
                if (R < higherThreshold) grid.swap(x, row, x + reach, row);
            } else {
                choice = FAIL;
            }
        } else if (choice == LOWER) {
            if (R < lowerThreshold) grid.swap(x, row, x - reach, row);
        }
        if (choice == FAIL) {
            state.higherOpen = true;
            state.lowerOpen = true;
        }
    }

    void epilogue() {
        int border = world.options().border->value;
        if (border == 1) {
            for (int x = 0; x <= width + 1; x++) {
                grid.put(x, -1, 1, world.displayColour(1));
                grid.put(x, height, 1, world.displayColour(1));
            }
        } else if (border == 0) {
            for (int x = 0; x <= width + 1; x++) {
                grid.put(x, -1, 0, 0);
                grid.put(x, height, 0, 0);
            }
        } else if (border == 2) {
            if (state.previousBorder == 2) {
                for (int x = 0; x <= width + 1; x++) {
                    if (grid.at(x, 0) == 0) {
                        grid.put(x, 0, grid.at(x, height), grid.colourAt(x, height));
                        grid.put(x, height, 0, 0);
                    }
                    if (grid.at(x, height - 1) == 0) {
                        grid.put(x, height - 1, grid.at(x, -1), grid.colourAt(x, -1));
                        grid.put(x, -1, 0, 0);
                    }
                }
            } else {
                for (int x = 0; x <= width + 1; x++) {
                    grid.put(x, -1, 0, 0);
                    grid.put(x, height, 0, 0);
                }
            }
        }
        state.previousBorder = border;
    }

    World& world;
    Random& random;
    const InteractionTriggerRunner& runTrigger;
    Grid grid;
    StepState& state;
    std::vector<int> marks;
    int width = 0, height = 0;
    int currentRow = 0;
    bool edge = false;
    int R = 0;
    int h = 1, v = 1;
    int endColumn = 0, scanStep = 1;
    bool aborted = false;
    long long higherThreshold = 32768, lowerThreshold = 32768;
};

}  // namespace

void referenceStep(World& world, Random& random, const InteractionTriggerRunner& runTrigger) {
    ReferenceStepper(world, random, runTrigger).run();
}

}  // namespace ef2
