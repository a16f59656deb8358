#include "world/interactions.h"

namespace ef2 {

bool interactionPhase(InteractionContext&, uint16_t) { return false; }

}  // namespace ef2
