#include "world/primitives.h"

#include <vector>

namespace ef2 {

Layer layerOf(SDL_Surface* surface) {
    if (!surface) return {};
    return Layer{static_cast<uint16_t*>(surface->pixels), surface->w, surface->h, surface->pitch / 2};
}

namespace detail {

bool lineRange(int64_t start, int64_t delta, int64_t n, int64_t limit, int64_t& first, int64_t& last) {
    auto position = [&](int64_t i) { return start + i * delta / n; };
    auto inside = [&](int64_t i) { return position(i) >= 0 && position(i) < limit; };
    if (delta == 0) {
        first = 0;
        last = n;
        return start >= 0 && start < limit;
    }
    // The first i that is not yet past the far edge and the last i that has
    // reached the near edge, by binary search on the monotonic position.
    const bool increasing = delta > 0;
    auto reachedNear = [&](int64_t i) { return increasing ? position(i) >= 0 : position(i) < limit; };
    auto beyondFar = [&](int64_t i) { return increasing ? position(i) >= limit : position(i) < 0; };
    int64_t low = 0, high = n + 1;  // first i with reachedNear
    while (low < high) {
        int64_t middle = low + (high - low) / 2;
        if (reachedNear(middle))
            high = middle;
        else
            low = middle + 1;
    }
    first = low;
    low = first;
    high = n + 1;  // first i beyond the far edge
    while (low < high) {
        int64_t middle = low + (high - low) / 2;
        if (beyondFar(middle))
            high = middle;
        else
            low = middle + 1;
    }
    last = low - 1;
    return first <= last && inside(first);
}

}  // namespace detail

bool clipFilledRect(const Layer& layer, int64_t x, int64_t y, int64_t w, int64_t h, SDL_Rect& clipped) {
    const int64_t W = layer.width, H = layer.height;
    if (w * h == 0) return false;
    if (x < 1) {
        w += x;
        x = 1;
    }
    if (x >= W) return false;
    if (x + w >= W - 1) w = W - x - 1;
    if (y < 0) {
        h += y;
        y = 0;
    }
    if (y >= H) return false;
    if (y + h >= H) h = H - y;
    if (w <= 0 || h <= 0) return false;
    clipped = SDL_Rect{static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h)};
    return true;
}

void fillRect(const Layer& layer, const SDL_Rect& rect, uint16_t value) {
    for (int row = rect.y; row < rect.y + rect.h; ++row) {
        std::fill_n(&layer.at(rect.x, row), rect.w, value);
    }
}

void floodFill(const Layer& layer, int64_t x, int64_t y, uint16_t value) {
    if (!layer.contains(x, y)) return;
    const uint16_t target = layer.at(x, y);
    if (target == value) return;
    struct Seed {
        int x, y;
    };
    std::vector<Seed> seeds{{static_cast<int>(x), static_cast<int>(y)}};
    // Pushes one seed per run of target cells in a row next to a filled span.
    auto seedRow = [&](int row, int left, int right) {
        if (row < 0 || row >= layer.height) return;
        for (int column = left; column <= right; ++column) {
            if (layer.at(column, row) != target) continue;
            seeds.push_back({column, row});
            while (column <= right && layer.at(column, row) == target) ++column;
        }
    };
    while (!seeds.empty()) {
        Seed seed = seeds.back();
        seeds.pop_back();
        if (layer.at(seed.x, seed.y) != target) continue;
        int left = seed.x, right = seed.x;
        while (left > 0 && layer.at(left - 1, seed.y) == target) --left;
        while (right + 1 < layer.width && layer.at(right + 1, seed.y) == target) ++right;
        std::fill_n(&layer.at(left, seed.y), right - left + 1, value);
        seedRow(seed.y - 1, left, right);
        seedRow(seed.y + 1, left, right);
    }
}

}  // namespace ef2
