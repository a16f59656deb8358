#pragma once
// What the ui reaches of the program around it.
//
// The input handlers, the menus, the icons and the view draw the program's
// parts and run its triggers; a `UiContext` names each part they use and
// nothing else. The program owns one and hands it out (`Runtime::ui()`).
//
// It is a struct of references rather than an interface the program
// implements, as the script engine's `ScriptContext` is: the ui asks nothing
// that the program must compute, it only reads and changes plain objects, and
// composition reads them every frame; a reference costs no virtual call and
// needs no second implementation to justify it.

#include "ui/status_line.h"

namespace ef2 {

class ScriptContext;
class StringTable;
class ElementTable;
class World;
class StampTable;
class Network;
class Console;
class Fonts;
class KeyNames;
class View;
class Menus;
class Input;

struct UiContext {
    // Variables, triggers, the parser and printLine.
    ScriptContext& script;
    ElementTable& elements;
    World& world;
    const StampTable& stamps;
    const StringTable& strings;
    // Only its port, for the telnet client the console corner starts.
    const Network& network;
    Console& console;
    const Fonts& fonts;
    const KeyNames& keyNames;
    const StatusLine& status;
    View& view;
    Menus& menus;
    Input& input;
};

}  // namespace ef2
