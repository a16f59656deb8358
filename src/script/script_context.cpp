#include "script/script_context.h"

namespace ef2 {

ScriptContext::ScriptContext(const std::vector<Keyword>& keywords)
    : interpreter(*this), parser(*this, keywords), timers(*this) {}

ScriptContext::~ScriptContext() = default;

}  // namespace ef2
