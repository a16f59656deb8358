#pragma once
// What a menu button, an element or a group shows: a type word ("TEXT", "HEX",
// "FILE", "ELEMENT", "GROUP", "NUMBER", "STRING", "STAMP", ...) and an argument.
//
// The world keeps icons as data only; rendering them belongs to the user
// interface. A "HEX" icon carries three colour expressions, and a "NUMBER" icon
// the expression it shows, both compiled by the script engine.

#include <array>
#include <memory>
#include <string>

#include <SDL_surface.h>

namespace ef2 {

class Expression;

struct IconRecord {
    std::string type;
    std::string argument;
    std::array<std::shared_ptr<Expression>, 3> colours;  // HEX only
    std::array<std::string, 3> colourTexts;              // their source texts, for text()
    std::shared_ptr<Expression> number;                  // NUMBER only
    int slot = 0;                                        // STRING and STAMP: fixed when prepared
    std::shared_ptr<SDL_Surface> cachedPicture;          // FILE and TEXT: made on first rendering

    // The canonical text of the icon as statements print it:
    // `TYPE "argument"` or, for HEX, `TYPE "argument" r g b`.
    std::string text() const;
};

using IconPtr = std::shared_ptr<IconRecord>;

// The record every fresh element shares until a statement gives it its own.
IconPtr defaultElementIcon();

}  // namespace ef2
