#pragma once
// Helpers that give a test a fresh runtime with a world of a chosen size.

#include <cstdint>
#include <string>

#include "app/runtime.h"

namespace ef2::test {

// A fresh runtime whose world is `width` x `height`.
inline void createWorld(Runtime& runtime, int width, int height) {
    runtime.world.create(width, height);
}

// Defines an element with the given weight, spray, slide and viscosity.
uint16_t defineElement(Runtime& runtime, const std::string& name, int32_t weight, int32_t spray = 1,
                       int32_t slide = 0, int32_t viscosity = 1);

// Places `id` at framed coordinates (x, y), keeping the colour layer current.
void put(Runtime& runtime, int x, int y, uint16_t id);

// Counts the interior cells holding `id`.
int countCells(Runtime& runtime, uint16_t id);

// Runs the real physics step `steps` times.
void step(Runtime& runtime, int steps = 1);

// The interior as text, one character per cell ('.' for 0, '#' for 1, letters
// from 'a' for ids 2...), rows separated by line feeds. For readable failures.
std::string picture(Runtime& runtime);

}  // namespace ef2::test
