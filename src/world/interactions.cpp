#include "world/interactions.h"

#include "world/random.h"
#include "world/world.h"

namespace ef2 {

namespace {

enum class Neighbour { Minus_h, Plus_h, Plus_v, Minus_v };

class Phase {
public:
    Phase(InteractionContext& context, uint16_t element)
        : c_(context),
          world_(context.world),
          element_(element),
          cells_(world_.cells()),
          generation_(world_.gridGeneration()) {}

    InteractionOutcome run() {
        const std::vector<CachedRule>& table = world_.caches().ruleTables[element_];
        const bool noBiasElement = noBias();
        // A trigger may recompile the table while it runs: read it by index.
        for (std::size_t ruleIndex = 0; ruleIndex < table.size(); ++ruleIndex) {
            const CachedRule rule = table[ruleIndex];
            if (!rule.trigger && !noBiasElement && rule.partner != kNothing) {
                if (plainRule(CellWriter(world_), c_.random, rule, c_.index, c_.horizontal, c_.vertical,
                              c_.edgeRow)) {
                    return InteractionOutcome::Applied;
                }
                continue;
            }
            Step step = rule.partner == kNothing ? wildcardRule(rule) : ordinaryRule(rule);
            if (world_.gridGeneration() != generation_) return InteractionOutcome::WorldReplaced;
            if (step == Step::Ended) return outcomeOfEnd();
        }
        return InteractionOutcome::None;
    }

private:
    enum class Step { Next, Ended };

    int offsetOf(Neighbour neighbour) const {
        switch (neighbour) {
            case Neighbour::Minus_h: return -c_.horizontal;
            case Neighbour::Plus_h: return c_.horizontal;
            case Neighbour::Plus_v: return c_.vertical;
            default: return -c_.vertical;
        }
    }
    uint16_t at(Neighbour neighbour) const { return cells_[c_.index + offsetOf(neighbour)]; }
    bool roll(uint32_t chance) { return static_cast<uint32_t>(c_.random.next()) < chance; }

    // Ordinary rule: the neighbour must hold the partner.
    Step ordinaryRule(const CachedRule& rule) {
        int count = 0;
        for (Neighbour n : {Neighbour::Minus_h, Neighbour::Plus_h, Neighbour::Plus_v, Neighbour::Minus_v}) {
            if (n == Neighbour::Plus_v && c_.edgeRow) continue;
            count += at(n) == rule.partner;
        }
        if (count == 0) return Step::Next;
        if (!noBias()) {
            for (Neighbour n :
                 {Neighbour::Minus_h, Neighbour::Plus_h, Neighbour::Plus_v, Neighbour::Minus_v}) {
                if (roll(rule.chance) && at(n) == rule.partner) {
                    if (apply(rule, n, false) == Step::Ended) return Step::Ended;
                }
            }
            return Step::Next;
        }
        if (!roll(rule.chance)) return Step::Next;
        markColumn();
        int pick = c_.random.next() % count;
        for (Neighbour n : {Neighbour::Plus_v, Neighbour::Minus_v, Neighbour::Minus_h, Neighbour::Plus_h}) {
            if (at(n) != rule.partner) continue;
            if (pick == 0) return apply(rule, n, false);
            --pick;
        }
        return Step::Next;
    }

    bool qualifies(const CachedRule& rule, Neighbour n) const {
        if (n == Neighbour::Plus_v && c_.edgeRow) return false;
        uint16_t id = at(n);
        return id != element_ && id != rule.excepted && id != kNothing;
    }

    // Wildcard rule: any neighbour but the element itself, the excepted
    // element and walls.
    Step wildcardRule(const CachedRule& rule) {
        if (!noBias()) {
            for (Neighbour n :
                 {Neighbour::Minus_h, Neighbour::Plus_h, Neighbour::Plus_v, Neighbour::Minus_v}) {
                uint16_t id = at(n);
                if (roll(rule.chance) && id != element_ && id != rule.excepted && id != kNothing) {
                    if (apply(rule, n, true) == Step::Ended) return Step::Ended;
                }
            }
            return Step::Next;
        }
        if (!roll(rule.chance)) return Step::Next;
        int count = 0;
        for (Neighbour n : {Neighbour::Minus_h, Neighbour::Plus_h, Neighbour::Plus_v, Neighbour::Minus_v}) {
            count += qualifies(rule, n);
        }
        if (count == 0) return Step::Next;
        markColumn();
        int pick = c_.random.next() % count;
        for (Neighbour n : {Neighbour::Minus_h, Neighbour::Plus_h, Neighbour::Plus_v, Neighbour::Minus_v}) {
            if (!qualifies(rule, n)) continue;
            if (pick == 0) return apply(rule, n, true);
            --pick;
        }
        return Step::Next;
    }

    Step apply(const CachedRule& rule, Neighbour n, bool wildcard) {
        const int neighbourIndex = c_.index + offsetOf(n);
        if (rule.trigger) return runTrigger(rule, neighbourIndex);
        if (!wildcard || rule.partnerResult != kNothing) write(neighbourIndex, rule.partnerResult);
        uint16_t own = wildcard && rule.ownerResult == kNothing ? cells_[neighbourIndex] : rule.ownerResult;
        write(c_.index, own);
        ended_ = true;
        return Step::Ended;
    }

    Step runTrigger(const CachedRule& rule, int neighbourIndex) {
        const int stride = world_.stride();
        uint16_t neighbour = cells_[neighbourIndex];
        if (element_ != kNothing && neighbour != kNothing && c_.runTrigger) {
            c_.runTrigger(rule.trigger, element_, neighbour, c_.x, c_.row + 1, neighbourIndex % stride,
                          neighbourIndex / stride);
        }
        if (world_.gridGeneration() != generation_) return Step::Ended;
        cells_[c_.endIndex] = kNothing;
        Variable* next = world_.options().nextInteraction;
        if (next->value == 0) {
            ended_ = true;
            triggerEnded_ = true;
            return Step::Ended;
        }
        // Further rules may be tried: no-bias elements go on with the next
        // rule, others with the rest of this rule's attempts.
        next->value = 0;
        return Step::Next;
    }

    void write(int index, uint16_t id) { writeCell(world_, index, id); }
    void markColumn() { c_.state.columnMarks[c_.x] = c_.row - c_.state.direction; }
    bool noBias() const { return world_.caches().elements[element_].noBias != 0; }

    InteractionOutcome outcomeOfEnd() const {
        if (!ended_) return InteractionOutcome::None;
        return triggerEnded_ && noBias() ? InteractionOutcome::AppliedSkipNext : InteractionOutcome::Applied;
    }

    InteractionContext& c_;
    World& world_;
    const uint16_t element_;
    uint16_t* const cells_;
    const uint64_t generation_;
    bool ended_ = false;
    bool triggerEnded_ = false;
};

}  // namespace

InteractionOutcome interactionPhase(InteractionContext& context, uint16_t element) {
    return Phase(context, element).run();
}

}  // namespace ef2
