#include "script/variables.h"

#include <optional>

#include "script/number_text.h"
#include "script/script_context.h"

namespace ef2 {

namespace {

LookupResult number(int32_t value) {
    return LookupResult{ValueKind::Number, value, {}};
}

int32_t valueOrZero(ScriptContext& context, std::string_view text) {
    LookupResult looked = lookupValue(context, text);
    return looked.kind == ValueKind::Number ? looked.value : 0;
}

}  // namespace

bool isArrayName(std::string_view name) {
    std::size_t open = name.find('[');
    std::size_t close = name.find(']');
    return open != std::string_view::npos && close != std::string_view::npos && close > open;
}

std::string resolveArrayName(ScriptContext& context, std::string_view name) {
    if (!isArrayName(name)) return std::string(name);
    std::size_t open = name.find('[');
    std::size_t close = name.find(']');
    int32_t index = valueOrZero(context, name.substr(open + 1, close - open - 1));
    return std::string(name.substr(0, open)) + std::to_string(index);
}

Variable* getVariable(ScriptContext& context, std::string_view name, int32_t value, bool overwrite) {
    if (context.writeWorldName(name, value, overwrite)) return nullptr;
    if (isArrayName(name)) return context.variables.obtain(resolveArrayName(context, name), value, overwrite);
    return context.variables.obtain(name, value, overwrite);
}

LookupResult lookupValue(ScriptContext& context, std::string_view name) {
    if (name.empty()) return {};
    if (name[0] == '$') {
        const ParameterFrame* frame = context.parameters.top();
        if (name.size() == 2 && name[1] >= '0' && name[1] <= '9' && frame)
            return number((*frame)[name[1] - '0']);
        return {};
    }
    if (std::optional<LookupResult> worldValue = context.readWorldName(name)) return *worldValue;
    if (std::optional<int32_t> literal = scanInteger(name)) return number(*literal);
    if (Variable* variable = context.variables.find(name)) return number(variable->value);
    return {};
}

}  // namespace ef2
