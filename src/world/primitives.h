#pragma once
// Shapes on any 16-bit layer: the grid, the colour layer, stamps, the console
// and menu pictures.
//
// Each shape produces the cells it covers and hands those inside the layer to
// a plot function, so one shape can paint several layers, filter by what a
// cell holds, or draw at random. Coordinates are 64-bit inside so that any
// 32-bit script value is safe; work is bounded by the layer, not by the
// numbers a script gives.

#include <SDL_surface.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace ef2 {

struct Layer {
    uint16_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;

    bool contains(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    uint16_t& at(int64_t x, int64_t y) const { return pixels[y * stride + x]; }
};

Layer layerOf(SDL_Surface* surface);

// The integer nearest to v, halves away from zero.
inline int64_t nearest(double v) {
    return static_cast<int64_t>(std::llround(v));
}

// Points (x + i*dx/n, y + i*dy/n) for i = 0..n, n = nearest(sqrt(dx^2 + dy^2)),
// with integer division; one point when n is 0.
template <typename Plot>
void forLine(const Layer& layer, int64_t x, int64_t y, int64_t dx, int64_t dy, Plot&& plot);

// Rows y-ry..y+ry, each from x-half to x+half, half = nearest(sqrt(ry^2 - (yy-y)^2) * rx / ry).
template <typename Plot>
void forFilledEllipse(const Layer& layer, int64_t x, int64_t y, int64_t rx, int64_t ry, Plot&& plot);

// The outline: 4 * nearest(sqrt(rx)) + 1 segments per quadrant.
template <typename Plot>
void forEllipse(const Layer& layer, int64_t x, int64_t y, int64_t rx, int64_t ry, Plot&& plot);

template <typename Plot>
void forRectOutline(const Layer& layer, int64_t x, int64_t y, int64_t w, int64_t h, Plot&& plot);

// The part of a filled rectangle that is filled: never the left frame column,
// and at most up to the column before the right edge. False when empty.
bool clipFilledRect(const Layer& layer, int64_t x, int64_t y, int64_t w, int64_t h, SDL_Rect& clipped);
void fillRect(const Layer& layer, const SDL_Rect& rect, uint16_t value);

// Every cell 4-connected to (x, y) holding what (x, y) holds becomes `value`.
// A scanline fill: memory grows with the height, not with the area.
void floodFill(const Layer& layer, int64_t x, int64_t y, uint16_t value);

// ----------------------------------------------------------------------------

namespace detail {
// The range of i in [0, n] for which start + i*delta/n lies in [0, limit).
// start + i*delta/n is monotonic in i, so the range is one interval.
bool lineRange(int64_t start, int64_t delta, int64_t n, int64_t limit, int64_t& first, int64_t& last);
}  // namespace detail

template <typename Plot>
void forLine(const Layer& layer, int64_t x, int64_t y, int64_t dx, int64_t dy, Plot&& plot) {
    const int64_t n = nearest(std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy));
    if (n == 0) {
        if (layer.contains(x, y)) plot(x, y);
        return;
    }
    int64_t firstX, lastX, firstY, lastY;
    if (!detail::lineRange(x, dx, n, layer.width, firstX, lastX)) return;
    if (!detail::lineRange(y, dy, n, layer.height, firstY, lastY)) return;
    const int64_t first = std::max(firstX, firstY), last = std::min(lastX, lastY);
    for (int64_t i = first; i <= last; ++i) {
        const int64_t px = x + i * dx / n, py = y + i * dy / n;
        if (layer.contains(px, py)) plot(px, py);
    }
}

template <typename Plot>
void forFilledEllipse(const Layer& layer, int64_t x, int64_t y, int64_t rx, int64_t ry, Plot&& plot) {
    if (rx == 0 && ry == 0) {
        if (layer.contains(x, y)) plot(x, y);
        return;
    }
    const double factor = ry == 0 ? 1.0 : static_cast<double>(rx) / static_cast<double>(ry);
    const int64_t top = std::max<int64_t>(0, y - ry), bottom = std::min<int64_t>(layer.height - 1, y + ry);
    for (int64_t row = top; row <= bottom; ++row) {
        const double dy = static_cast<double>(row - y);
        const double span = static_cast<double>(ry) * static_cast<double>(ry) - dy * dy;
        const int64_t half = nearest(std::sqrt(std::max(span, 0.0)) * factor);
        const int64_t left = std::max<int64_t>(0, x - half),
                      right = std::min<int64_t>(layer.width - 1, x + half);
        for (int64_t column = left; column <= right; ++column) plot(column, row);
    }
}

template <typename Plot>
void forEllipse(const Layer& layer, int64_t x, int64_t y, int64_t rx, int64_t ry, Plot&& plot) {
    const int64_t segments = nearest(std::sqrt(static_cast<double>(std::max<int64_t>(rx, 0)))) * 4 + 1;
    int64_t px = 0, py = ry;
    for (int64_t i = 0; i <= segments; ++i) {
        const double angle = static_cast<double>(i) * M_PI / 2.0 / static_cast<double>(segments);
        const int64_t nx = nearest(std::sin(angle) * static_cast<double>(rx));
        const int64_t ny = nearest(std::cos(angle) * static_cast<double>(ry));
        for (int sx : {1, -1}) {
            for (int sy : {1, -1}) {
                forLine(layer, x + sx * px, y + sy * py, sx * (nx - px), sy * (ny - py), plot);
            }
        }
        px = nx;
        py = ny;
    }
}

template <typename Plot>
void forRectOutline(const Layer& layer, int64_t x, int64_t y, int64_t w, int64_t h, Plot&& plot) {
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
    const int64_t W = layer.width, H = layer.height;
    if (x >= W || y >= H || x + w < 0 || y + h < 0) return;
    const int64_t x1 = std::min(x + w, W - 1), y1 = std::min(y + h, H - 1);
    for (int64_t row = std::max<int64_t>(y, 0); row <= y1; ++row) {
        if (x >= 0) plot(x, row);
        if (x + w > 0 && x + w < W) plot(x + w, row);
    }
    for (int64_t column = std::max<int64_t>(x, 0); column <= x1 - 1; ++column) {
        if (y >= 0 && y < H) plot(column, y);
        if (y + h > 0 && y + h < H) plot(column, y + h);
    }
}

}  // namespace ef2
