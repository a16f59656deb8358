#include "world/drawing.h"

#include <vector>

#include "world/primitives.h"
#include "world/random.h"
#include "world/stamp_table.h"
#include "world/world.h"

namespace ef2 {

std::optional<int> shapeCode(std::string_view keyword) {
    for (int code = 0; code < kShapeCount; ++code) {
        if (kShapeNames[code] == keyword) return code;
    }
    return std::nullopt;
}

namespace {

// A stamp bigger than this is refused: it would only be an allocation failure.
constexpr int64_t kMaxStampCells = int64_t{64} * 1024 * 1024;

// Which cells a replacing shape may overwrite: one element (r >= 0), movable
// elements (-1), immovable ones (-2); other negative selectors allow nothing.
class ReplaceSelector {
public:
    ReplaceSelector(const ElementTable& elements, int32_t selector)
        : elements_(elements), selector_(selector) {}
    bool allows(uint16_t current) const {
        if (selector_ >= 0) return current == selector_;
        const Element* element = elements_.get(current);
        int32_t weight = element ? element->weight : 0;
        if (selector_ == -1) return weight != 0;
        if (selector_ == -2) return weight == 0;
        return false;
    }

private:
    const ElementTable& elements_;
    int32_t selector_;
};

// The shapes that are a set of cells and nothing more: `plot` gets each cell
// of the shape on `layer`. False for every other shape.
template <typename Plot>
bool plotCellShape(Shape shape, const Layer& layer, const DrawArguments& a, Plot&& plot) {
    switch (shape) {
        case Shape::FilledCircle: forFilledEllipse(layer, a[0], a[1], a[2], a[2], plot); return true;
        case Shape::Circle: forEllipse(layer, a[0], a[1], a[2], a[2], plot); return true;
        case Shape::FilledEllipse: forFilledEllipse(layer, a[0], a[1], a[2], a[3], plot); return true;
        case Shape::Ellipse: forEllipse(layer, a[0], a[1], a[2], a[3], plot); return true;
        case Shape::Rect: forRectOutline(layer, a[0], a[1], a[2], a[3], plot); return true;
        case Shape::Line: forLine(layer, a[0], a[1], a[2], a[3], plot); return true;
        case Shape::Point:
            if (layer.contains(a[0], a[1])) plot(a[0], a[1]);
            return true;
        default: return false;
    }
}

class Painter {
public:
    Painter(World& world, Random& random, StampTable& stamps, uint16_t element)
        : world_(world),
          random_(random),
          stamps_(stamps),
          element_(element),
          colour_(world.displayColour(element)),
          grid_(layerOf(world.gridSurface())),
          colours_(layerOf(world.colourSurface())) {}

    void draw(Shape shape, const DrawArguments& a) {
        switch (shape) {
            case Shape::FilledCircle:
            case Shape::Circle:
            case Shape::FilledEllipse:
            case Shape::Ellipse:
            case Shape::Rect:
            case Shape::Line:
            case Shape::Point: simple([&](auto plot) { plotCellShape(shape, grid_, a, plot); }); break;
            case Shape::FilledRect: filledRect(a); break;
            case Shape::Fill:
                floodFill(grid_, a[0], a[1], element_);
                bulk();
                break;
            case Shape::ReplaceFilledCircle:
                replacing(a[4], [&](auto plot) { forFilledEllipse(grid_, a[0], a[1], a[2], a[2], plot); });
                break;
            case Shape::ReplaceFilledEllipse:
                replacing(a[4], [&](auto plot) { forFilledEllipse(grid_, a[0], a[1], a[2], a[3], plot); });
                break;
            case Shape::ReplaceLine:
                replacing(a[4], [&](auto plot) { forLine(grid_, a[0], a[1], a[2], a[3], plot); });
                break;
            case Shape::RandomFilledCircle:
                atRandom(grid_, a[3],
                         [&](auto plot) { forFilledEllipse(grid_, a[0], a[1], a[2], a[2], plot); });
                bulk();
                break;
            case Shape::RandomFilledEllipse:
                atRandom(grid_, a[4],
                         [&](auto plot) { forFilledEllipse(grid_, a[0], a[1], a[2], a[3], plot); });
                bulk();
                break;
            case Shape::CopyRect:
                copyRect(grid_, a);
                bulk();
                break;
            case Shape::Rotate:
                rotate(grid_, a);
                rotate(colours_, a);
                break;
            case Shape::CopyStamp: copyStamp(a); break;
            case Shape::PasteStamp:
                pasteStamp(grid_, a[4], element_, a, true);
                bulk();
                break;
            case Shape::SwapPoints: swapPoints(a, true); break;
        }
        world_.markPresent(element_);
    }

    // With PREVIEW set only the colour layer is painted.
    void preview(Shape shape, const DrawArguments& a) {
        const bool paint = !world_.colourLayerStale();
        auto colourOnly = [&](auto shapeOf) {
            if (paint) shapeOf([&](int64_t x, int64_t y) { colours_.at(x, y) = colour_; });
        };
        switch (shape) {
            case Shape::FilledCircle:
            case Shape::Circle:
            case Shape::FilledEllipse:
            case Shape::Ellipse:
            case Shape::Rect:
            case Shape::Line:
            case Shape::Point: colourOnly([&](auto plot) { plotCellShape(shape, colours_, a, plot); }); break;
            case Shape::FilledRect: {
                SDL_Rect rect;
                if (paint && clipFilledRect(colours_, a[0], a[1], a[2], a[3], rect))
                    fillRect(colours_, rect, colour_);
                break;
            }
            case Shape::RandomFilledCircle:
                atRandom(colours_, int64_t{a[3]} * 15,
                         [&](auto plot) { forFilledEllipse(colours_, a[0], a[1], a[2], a[2], plot); });
                break;
            case Shape::RandomFilledEllipse:
                atRandom(colours_, int64_t{a[4]} * 15,
                         [&](auto plot) { forFilledEllipse(colours_, a[0], a[1], a[2], a[3], plot); });
                break;
            case Shape::CopyRect: copyRect(colours_, a); break;
            case Shape::Rotate: rotate(colours_, a); break;
            case Shape::PasteStamp:
                pasteStamp(colours_, int64_t{a[4]} + kColourStampOffset, colour_, a, false);
                break;
            case Shape::SwapPoints: swapPoints(a, false); break;
            default: break;  // fills, replacing shapes and stamp copies need the grid
        }
    }

private:
    // Grid cells get the element; the colour layer follows unless it is stale.
    template <typename ShapeOf>
    void simple(ShapeOf&& shapeOf) {
        if (world_.colourLayerStale()) {
            shapeOf([&](int64_t x, int64_t y) { grid_.at(x, y) = element_; });
        } else {
            shapeOf([&](int64_t x, int64_t y) {
                grid_.at(x, y) = element_;
                colours_.at(x, y) = colour_;
            });
        }
    }

    template <typename ShapeOf>
    void replacing(int32_t selector, ShapeOf&& shapeOf) {
        ReplaceSelector allowed(world_.elements(), selector);
        shapeOf([&](int64_t x, int64_t y) {
            if (allowed.allows(grid_.at(x, y))) grid_.at(x, y) = element_;
        });
        bulk();
    }

    // Each cell is written only when a draw from the generator is below the density.
    template <typename ShapeOf>
    void atRandom(const Layer& layer, int64_t density, ShapeOf&& shapeOf) {
        const uint16_t value = &layer == &grid_ ? element_ : colour_;
        shapeOf([&](int64_t x, int64_t y) {
            if (random_.next() < density) layer.at(x, y) = value;
        });
    }

    void filledRect(const DrawArguments& a) {
        SDL_Rect rect;
        if (!clipFilledRect(grid_, a[0], a[1], a[2], a[3], rect)) return;
        fillRect(grid_, rect, element_);
        if (!world_.colourLayerStale()) fillRect(colours_, rect, colour_);
    }

    void bulk() { world_.markColourLayerStale(); }

    // Copy through a temporary picture, as two clipped blits do: cells of the
    // source outside the layer arrive as 0.
    void copyRect(const Layer& layer, const DrawArguments& a) {
        int64_t x = a[0], y = a[1], w = a[2], h = a[3];
        const int64_t W = layer.width, H = layer.height;
        if (x + w >= W) w = W - x - 1;
        if (x < 1) x = 1;
        if (y + h > H - 1) h = H - y - 1;
        if (y < 1) y = 1;
        if (w <= 0 || h <= 0) return;
        blitThroughTemporary(layer, x, y, w, h, a[4], a[5]);
    }

    void blitThroughTemporary(const Layer& layer, int64_t x, int64_t y, int64_t w, int64_t h, int64_t toX,
                              int64_t toY) {
        const int64_t left = std::max<int64_t>(toX, 0), right = std::min<int64_t>(toX + w, layer.width);
        const int64_t top = std::max<int64_t>(toY, 0), bottom = std::min<int64_t>(toY + h, layer.height);
        if (left >= right || top >= bottom) return;
        std::vector<uint16_t> copied(static_cast<std::size_t>((right - left) * (bottom - top)));
        std::size_t at = 0;
        for (int64_t row = top; row < bottom; ++row) {
            for (int64_t column = left; column < right; ++column) {
                int64_t sx = x + column - toX, sy = y + row - toY;
                copied[at++] = layer.contains(sx, sy) ? layer.at(sx, sy) : uint16_t{0};
            }
        }
        at = 0;
        for (int64_t row = top; row < bottom; ++row) {
            for (int64_t column = left; column < right; ++column) layer.at(column, row) = copied[at++];
        }
    }

    // Rotations and mirror images of a clipped region; other codes empty it.
    void rotate(const Layer& layer, const DrawArguments& a) {
        int64_t x = a[0], y = a[1], w = a[2], h = a[3];
        const int64_t W = layer.width, H = layer.height;
        const int32_t turn = a[4];
        if (x + w >= W) w = W - x - 1;
        if (x < 1) {
            w -= 1 - x;
            x = 1;
        }
        if (y + h > H - 1) h = H - y - 1;
        if (y < 1) {
            h -= 1 - y;
            y = 1;
        }
        if (w <= 0 || h <= 0) return;
        if (turn >= -3 && turn <= 3) w = h = std::min(w, h);
        std::vector<uint16_t> source(static_cast<std::size_t>(w * h)), target(source.size(), 0);
        for (int64_t r = 0; r < h; ++r) {
            for (int64_t c = 0; c < w; ++c) source[r * w + c] = layer.at(x + c, y + r);
        }
        for (int64_t r = 0; r < h; ++r) {
            for (int64_t c = 0; c < w; ++c) {
                const uint16_t value = source[r * w + c];
                switch (turn) {
                    case 1: target[(w - 1 - c) * w + r] = value; break;   // a quarter turn counter-clockwise
                    case -1: target[c * w + (w - 1 - r)] = value; break;  // a quarter turn clockwise
                    case 2:
                    case -2:
                    case 3:
                    case -3: target[(h - 1 - r) * w + (w - 1 - c)] = value; break;
                    case 4:
                    case -4: target[r * w + (w - 1 - c)] = value; break;
                    case 5:
                    case -5: target[(h - 1 - r) * w + c] = value; break;
                    default: break;
                }
            }
        }
        for (int64_t r = 0; r < h; ++r) {
            for (int64_t c = 0; c < w; ++c) layer.at(x + c, y + r) = target[r * w + c];
        }
    }

    static SurfacePtr cut(const Layer& layer, int64_t x, int64_t y, int64_t w, int64_t h) {
        if (w <= 0 || h <= 0 || w * h > kMaxStampCells || w > INT32_MAX || h > INT32_MAX) return nullptr;
        SurfacePtr picture = makeSurface16(static_cast<int>(w), static_cast<int>(h));
        if (!picture) return nullptr;
        Layer target = layerOf(picture.get());
        for (int64_t r = 0; r < h; ++r) {
            for (int64_t c = 0; c < w; ++c) {
                if (layer.contains(x + c, y + r)) target.at(c, r) = layer.at(x + c, y + r);
            }
        }
        return picture;
    }

    void copyStamp(const DrawArguments& a) {
        const int64_t slot = a[4];
        if (!StampTable::valid(slot)) return;
        stamps_.set(slot, cut(grid_, a[0], a[1], a[2], a[3]));
        world_.markColourLayerStale();
        world_.repaintColourLayer();
        stamps_.set(slot + kColourStampOffset, cut(colours_, a[0], a[1], a[2], a[3]));
    }

    // Cells equal to `key` are transparent. Pasted elements count as present.
    void pasteStamp(const Layer& layer, int64_t slot, uint16_t key, const DrawArguments& a, bool intoGrid) {
        Layer stamp = layerOf(stamps_.get(slot));
        if (!stamp.pixels) return;
        const int64_t x = a[0], y = a[1], w = a[2];
        int64_t h = a[3];
        if (y + h >= layer.height) h = layer.height - y;
        const int64_t rows = std::min<int64_t>(h, stamp.height), columns = std::min<int64_t>(w, stamp.width);
        for (int64_t r = std::max<int64_t>(0, -y); r < rows; ++r) {
            for (int64_t c = std::max<int64_t>(0, -x); c < columns; ++c) {
                if (!layer.contains(x + c, y + r)) continue;
                uint16_t value = stamp.at(c, r);
                if (value == key) continue;
                layer.at(x + c, y + r) = value;
                if (intoGrid) world_.markPresent(value);
            }
        }
    }

    void swapPoints(const DrawArguments& a, bool intoGrid) {
        const int64_t x1 = a[0], y1 = a[1], x2 = a[2], y2 = a[3];
        auto valid = [&](int64_t x, int64_t y) {
            return x > 0 && y > 0 && x < grid_.width && y < grid_.height;
        };
        if (!valid(x1, y1) || !valid(x2, y2)) return;
        if (intoGrid) {
            if (grid_.at(x1, y1) == kNothing || grid_.at(x2, y2) == kNothing) return;
            std::swap(grid_.at(x1, y1), grid_.at(x2, y2));
        }
        std::swap(colours_.at(x1, y1), colours_.at(x2, y2));
    }

    World& world_;
    Random& random_;
    StampTable& stamps_;
    const uint16_t element_;
    const uint16_t colour_;
    const Layer grid_;
    const Layer colours_;
};

}  // namespace

void draw(World& world, Random& random, StampTable& stamps, uint16_t element, int shape,
          const DrawArguments& a) {
    if (!world.exists() || shape < 0 || shape >= kShapeCount) return;
    world.rebuildIfRequested();
    Painter painter(world, random, stamps, element);
    if (world.preview().value != 0) {
        painter.preview(static_cast<Shape>(shape), a);
    } else {
        painter.draw(static_cast<Shape>(shape), a);
    }
}

}  // namespace ef2
