#include "statements/icons.h"

#include "script/expression.h"

namespace ef2 {

std::optional<IconPtr> readIcon(StatementReader& reader, const std::string& fallbackType,
                                const std::string& fallbackArgument) {
    auto icon = std::make_shared<IconRecord>();
    std::optional<std::string> type = reader.next();
    if (!type) {
        icon->type = fallbackType;
        icon->argument = fallbackArgument;
        return icon;
    }
    icon->type = *type;
    icon->argument = reader.next().value_or("");
    if (icon->type == "HEX") {
        for (int channel = 0; channel < 3; ++channel) {
            std::optional<std::string> token = reader.next();
            std::unique_ptr<Expression> colour = reader.expression(token, 255);
            if (!colour) return std::nullopt;
            icon->colourTexts[channel] = *token;
            icon->colours[channel] = std::shared_ptr<Expression>(std::move(colour));
        }
    }
    return icon;
}

IconPtr copyIcon(const IconPtr& icon) {
    return icon ? std::make_shared<IconRecord>(*icon) : nullptr;
}

}  // namespace ef2
