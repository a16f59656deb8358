#pragma once
// Rendering icon records: what a menu button, an element or a group shows.

#include "world/icon_record.h"
#include "world/surface.h"

namespace ef2 {

struct UiContext;

// Icons of elements naming elements nest; deeper than this they show nothing.
constexpr int kMaxIconDepth = 127;
// The empty picture: 16 pixels wide and 32 high.
constexpr int kEmptyIconWidth = 16;
constexpr int kEmptyIconHeight = 32;
constexpr int kHexIconSize = 32;

// Fixes what an icon shows once, when its button or status item is made:
// element and group names become numbers, stamp and string slots are chosen,
// NUMBER icons get their expression.
void prepareIcon(UiContext& ui, IconRecord& icon);

// A new RGB565 picture of the icon; never null.
SurfacePtr renderIcon(UiContext& ui, IconRecord& icon, int depth = 0);

}  // namespace ef2
