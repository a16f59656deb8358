#include "statements/drawing.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "script/number_text.h"
#include "statements/statement.h"
#include "world/drawing.h"

namespace ef2 {

namespace {

uint16_t elementId(int32_t value) {
    return static_cast<uint16_t>(value);
}

bool fits32(int64_t value) {
    return value >= INT32_MIN && value <= INT32_MAX;
}

// DRAW element SHAPE a1 a2 [a3 [a4 [a5 [a6]]]]
class ActionDraw : public Statement {
public:
    ActionDraw(std::unique_ptr<Expression> element, int shape,
               std::array<std::unique_ptr<Expression>, 6> arguments)
        : element_(std::move(element)), shape_(shape), arguments_(std::move(arguments)) {}

    void run(Runtime& runtime) override {
        DrawArguments values{};
        for (int i = 5; i >= 0; --i) values[i] = arguments_[i] ? arguments_[i]->evaluate(runtime) : 0;
        uint16_t element = elementId(element_->evaluate(runtime));
        draw(runtime.world, runtime.random, runtime.stamps, element, shape_, values);
    }

    std::string text() const override {
        std::string result = "DRAW " + element_->text() + " " + std::string(kShapeNames[shape_]);
        for (const auto& argument : arguments_) result += " " + (argument ? argument->text() : std::string());
        return result;
    }

private:
    std::unique_ptr<Expression> element_;
    int shape_;
    std::array<std::unique_ptr<Expression>, 6> arguments_;
};

// DRAW element POINTS x y dx1 dy1 dx2 dy2 ...
class ActionDrawPoints : public Statement {
public:
    ActionDrawPoints(std::unique_ptr<Expression> element, std::unique_ptr<Expression> x,
                     std::unique_ptr<Expression> y, std::vector<std::pair<int32_t, int32_t>> offsets)
        : element_(std::move(element)), x_(std::move(x)), y_(std::move(y)), offsets_(std::move(offsets)) {}

    void run(Runtime& runtime) override {
        const int64_t x = x_->evaluate(runtime), y = y_->evaluate(runtime);
        for (const auto& [dx, dy] : offsets_) {
            uint16_t element = elementId(element_->evaluate(runtime));
            // A sum that does not fit in 32 bits is far outside the world; cut
            // to 32 bits it could land inside.
            if (!fits32(x + dx) || !fits32(y + dy)) continue;
            DrawArguments at{static_cast<int32_t>(x + dx), static_cast<int32_t>(y + dy), 0, 0, 0, 0};
            draw(runtime.world, runtime.random, runtime.stamps, element, static_cast<int>(Shape::Point), at);
        }
    }

    std::string text() const override {
        std::string result = "DRAW " + element_->text() + " POINTS " + x_->text() + " " + y_->text();
        for (const auto& [dx, dy] : offsets_) result += " " + std::to_string(dx) + " " + std::to_string(dy);
        return result;
    }

private:
    std::unique_ptr<Expression> element_, x_, y_;
    std::vector<std::pair<int32_t, int32_t>> offsets_;
};

// DRAW element OBJECT x y [SIZEX e] [SIZEY e] [SIZE e] [c element]... {
// followed by text rows up to "}"; each character of a row is a cell.
class ActionDrawObject : public Statement, public LineCapture {
public:
    ActionDrawObject(std::unique_ptr<Expression> x, std::unique_ptr<Expression> y)
        : x_(std::move(x)), y_(std::move(y)) {}

    void setLegend(unsigned char c, std::unique_ptr<Expression> element) { legend_[c] = std::move(element); }
    void setSizeX(std::unique_ptr<Expression> size) { sizeX_ = std::move(size); }
    void setSizeY(std::unique_ptr<Expression> size) { sizeY_ = std::move(size); }
    void addRow(std::string row) override { rows_.push_back(std::move(row)); }

    void run(Runtime& runtime) override {
        const int64_t x = x_->evaluate(runtime), y = y_->evaluate(runtime);
        // Characters without a legend entry count as element 1: nothing is drawn.
        std::array<int32_t, 256> elements;
        for (int c = 0; c < 256; ++c) elements[c] = legend_[c] ? legend_[c]->evaluate(runtime) : kNothing;
        int64_t sizeX = sizeX_ ? sizeX_->evaluate(runtime) : 1,
                sizeY = sizeY_ ? sizeY_->evaluate(runtime) : 1;
        // A negative size samples: every n-th character at single size.
        int64_t stepX = 1, stepY = 1;
        if (sizeX < 0) {
            stepX = -sizeX;
            sizeX = 1;
        }
        if (sizeY < 0) {
            stepY = -sizeY;
            sizeY = 1;
        }
        auto point = [&](int32_t element, int64_t px, int64_t py) {
            if (!fits32(px) || !fits32(py)) return;
            DrawArguments at{static_cast<int32_t>(px), static_cast<int32_t>(py), 0, 0, 0, 0};
            draw(runtime.world, runtime.random, runtime.stamps, elementId(element),
                 static_cast<int>(Shape::Point), at);
        };
        const bool plain = sizeX == 1 && sizeY == 1 && stepX == 1 && stepY == 1;
        int64_t outputRow = 0;
        for (std::size_t textRow = 0; textRow < rows_.size(); textRow += static_cast<std::size_t>(stepY)) {
            const std::string& row = rows_[textRow];
            if (plain) {
                for (std::size_t i = 0; i < row.size(); ++i) {
                    int32_t element = elements[static_cast<unsigned char>(row[i])];
                    if (element != kNothing) point(element, x + static_cast<int64_t>(i), y + outputRow);
                }
            } else {
                // Points outside the grid draw nothing, so the loops stop at its
                // edges: a huge size costs no more than the grid has cells.
                const int64_t firstRow = std::max(outputRow, -y);
                const int64_t endRow = std::min(outputRow + sizeY, int64_t{runtime.world.gridHeight()} - y);
                for (int64_t yy = firstRow; yy < endRow; ++yy) {
                    for (int64_t i = 0; i < static_cast<int64_t>(row.size()); i += stepX) {
                        int32_t element = elements[static_cast<unsigned char>(row[i])];
                        if (element == kNothing) continue;
                        const int64_t from = sizeX * i / stepX;
                        const int64_t first = std::max(from, -x);
                        const int64_t end = std::min(from + sizeX, int64_t{runtime.world.gridWidth()} - x);
                        for (int64_t k = first; k < end; ++k) point(element, x + k, y + yy);
                    }
                }
            }
            outputRow += sizeY;
            if (stepY <= 0) break;
        }
    }

    std::string text() const override {
        std::string result = "DRAW 0 OBJECT " + x_->text() + " " + y_->text();
        for (int c = 0; c < 256; ++c) {
            if (legend_[c]) result += " " + std::string(1, static_cast<char>(c)) + " " + legend_[c]->text();
        }
        result += " {\n";
        for (const std::string& row : rows_) result += " \"" + row + "\"\n";
        return result + "\n}";
    }

private:
    std::unique_ptr<Expression> x_, y_, sizeX_, sizeY_;
    std::array<std::unique_ptr<Expression>, 256> legend_;
    std::vector<std::string> rows_;
};

// Offsets are read in pairs of integer literals; a pair that does not read as
// two integers is skipped and a lone last value is ignored.
std::vector<std::pair<int32_t, int32_t>> readOffsets(StatementReader& reader) {
    std::vector<std::pair<int32_t, int32_t>> offsets;
    while (true) {
        std::optional<std::string> dx = reader.next(), dy = reader.next();
        if (!dx || !dy) break;
        std::optional<int32_t> x = scanInteger(*dx), y = scanInteger(*dy);
        if (x && y) offsets.emplace_back(*x, *y);
    }
    return offsets;
}

ActionPtr parsePoints(StatementReader& reader, std::unique_ptr<Expression> element) {
    std::unique_ptr<Expression> x = reader.expression(reader.next()), y = reader.expression(reader.next());
    if (!x || !y) return nullptr;
    return std::make_shared<ActionDrawPoints>(std::move(element), std::move(x), std::move(y),
                                              readOffsets(reader));
}

ActionPtr parseObject(StatementReader& reader) {
    std::unique_ptr<Expression> x = reader.expression(reader.next()), y = reader.expression(reader.next());
    if (!x || !y) return nullptr;
    auto object = std::make_shared<ActionDrawObject>(std::move(x), std::move(y));
    std::vector<std::string> tokens;
    while (std::optional<std::string> token = reader.next()) tokens.push_back(*token);
    if (tokens.empty() || tokens.back() != "{" || tokens.size() % 2 == 0) return nullptr;
    for (std::size_t at = 0; at + 1 < tokens.size(); at += 2) {
        std::unique_ptr<Expression> value = reader.expression(tokens[at + 1]);
        if (!value || tokens[at].empty()) return nullptr;
        const std::string& word = tokens[at];
        if (word == "SIZEX") {
            object->setSizeX(std::move(value));
        } else if (word == "SIZEY") {
            object->setSizeY(std::move(value));
        } else if (word == "SIZE") {
            object->setSizeY(std::make_unique<Expression>(reader.context, tokens[at + 1]));
            object->setSizeX(std::move(value));
        } else {
            object->setLegend(static_cast<unsigned char>(word[0]), std::move(value));
        }
    }
    reader.context.parser.beginCapture(object, object.get());
    return object;
}

}  // namespace

// DRAW element SHAPE a1 a2 [a3..a6] | DRAW element POINTS x y offsets... | DRAW element OBJECT x y ... {
ActionPtr parseDraw(StatementReader& reader) {
    std::unique_ptr<Expression> element = reader.expression(reader.next());
    std::optional<std::string> keyword = reader.next();
    if (!element || !keyword) return nullptr;
    if (*keyword == "POINTS") return parsePoints(reader, std::move(element));
    if (*keyword == "OBJECT") return parseObject(reader);
    std::optional<int> shape = shapeCode(*keyword);
    if (!shape) return nullptr;
    std::array<std::unique_ptr<Expression>, 6> arguments;
    for (int i = 0; i < 6; ++i) {
        std::optional<std::string> token = reader.next();
        if (!token) {
            if (i < 2) return nullptr;
            break;
        }
        arguments[i] = reader.expression(token);
        if (!arguments[i]) return nullptr;
    }
    if (!reader.atEnd()) return nullptr;
    return std::make_shared<ActionDraw>(std::move(element), *shape, std::move(arguments));
}

}  // namespace ef2
