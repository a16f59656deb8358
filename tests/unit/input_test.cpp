// The mouse handler driven with synthetic positions and buttons.

#include <gtest/gtest.h>

#include "support/screen_fixture.h"
#include "support/test_runtime.h"
#include "ui/menus.h"

namespace ef2 {
namespace {

class Mouse : public test::ScreenFixture {
protected:
    Mouse() : ScreenFixture(1000, 1000, 486, 504) {}
    void press(int x, int y, int buttons = 1) { handleMouse(ui, screen.get(), x, y, buttons, 1); }
    void hold(int x, int y, int buttons = 1) { handleMouse(ui, screen.get(), x, y, buttons, 0); }
    void release(int x, int y) { handleMouse(ui, screen.get(), x, y, 0, 0); }
};

TEST_F(Mouse, CellsFollowZoomAndScroll) {
    compose();
    const View& view = runtime.view;
    hold(view.left() + 1, view.top() + 1, 0);
    EXPECT_EQ(value("X"), 1);
    EXPECT_EQ(value("Y"), 1);
    run("SCROLL 100 50\n");
    hold(view.left() + 11, view.top() + 21, 0);
    EXPECT_EQ(value("X"), 111);
    EXPECT_EQ(value("Y"), 71);
    run("ZOOM = 3\nSCROLL 30 30\n");
    compose();
    hold(view.left() + 1, view.top() + 1, 0);
    EXPECT_EQ(value("X"), 11);
    EXPECT_EQ(value("Y"), 11);
    hold(view.left() + 7, view.top() + 7, 0);  // two cells to the right and below
    EXPECT_EQ(value("X"), 13);
    EXPECT_EQ(value("Y"), 13);
    hold(5, 5, 0);  // outside the world
    EXPECT_EQ(value("X"), 0);
    EXPECT_FALSE(runtime.input.mouseInWorld());
}

TEST_F(Mouse, AStillPointerFollowsTheViewWhenItScrollsOrZooms) {
    const uint16_t sand = test::defineElement(runtime, "Sand", 0);
    test::put(runtime, 101, 51, sand);
    compose();
    const View& view = runtime.view;
    const int x = view.left() + 1, y = view.top() + 1;
    sampleInput(ui, screen.get(), x, y, 0);
    EXPECT_EQ(value("X"), 1);
    EXPECT_EQ(runtime.input.hoveredName(), "Clear");
    // The pointer does not move; the view does.
    run("SCROLL 100 50\n");
    compose();
    sampleInput(ui, screen.get(), x, y, 0);
    EXPECT_EQ(value("X"), 101);
    EXPECT_EQ(value("Y"), 51);
    EXPECT_EQ(runtime.input.hoveredName(), "Sand");
    EXPECT_EQ(runtime.input.lastCellX(), 101) << "the preview is drawn at the cell under the pointer";
    run("ZOOM = 2\n");
    compose();
    sampleInput(ui, screen.get(), x + 10, y + 10, 0);
    const Cell zoomed = cellAt(ui, x + 10, y + 10);
    EXPECT_EQ(value("X"), zoomed.x);
}

TEST_F(Mouse, StrokesAreInterpolatedWithSolidDraw) {
    run("ON DRAW INC DRAWS\nON MOUSEDOWN INC DOWNS\nON MOUSEUP INC UPS\n");
    compose();
    const int x0 = runtime.view.left() + 20, y0 = runtime.view.top() + 20;
    press(x0, y0);
    EXPECT_EQ(value("DOWNS"), 1);
    EXPECT_EQ(value("DRAWS"), 1);
    hold(x0 + 10, y0);  // ten cells in one pass: one DRAW per cell on the way
    EXPECT_EQ(value("DRAWS"), 12);
    release(x0 + 10, y0);
    EXPECT_EQ(value("UPS"), 1);

    run("SOLIDDRAW = 0\nDRAWS = 0\n");
    press(x0, y0 + 40);
    hold(x0 + 10, y0 + 40);
    EXPECT_EQ(value("DRAWS"), 2);
    release(x0 + 10, y0 + 40);
}

TEST_F(Mouse, ButtonsLatchAndDraggableButtonsDrag) {
    const std::string hex(256, 'F');
    run("MENU LEFT ADD TEXT Once HEX " + hex + " <INC ONCE>\nMENU LEFT ADDDRAG TEXT Drag HEX " + hex +
        " <INC DRAGGED>\nON DRAW INC DRAWS\nON MOUSEUP INC UPS\n");
    compose();
    const MenuButton& once = *runtime.menus.list(kLeftPanel)[0];
    const MenuButton& drag = *runtime.menus.list(kLeftPanel)[1];
    const int top = runtime.view.top();
    press(10, top + once.y + 10);
    EXPECT_EQ(value("ONCE"), 1);
    EXPECT_EQ(value("X"), 9);  // the position inside the button
    hold(10, top + once.y + 12);
    hold(200, 200);  // over the world, still held: the latch keeps everything quiet
    EXPECT_EQ(value("ONCE"), 1);
    EXPECT_EQ(value("DRAWS"), 0);
    release(200, 200);
    EXPECT_EQ(runtime.input.hoveredName(), "Clear");

    press(10, top + drag.y + 10);
    hold(11, top + drag.y + 11);
    EXPECT_EQ(value("DRAGGED"), 2);
    hold(200, 200);  // dragging a button suppresses the world actions
    EXPECT_EQ(value("DRAWS"), 0);
    release(200, 200);
    EXPECT_EQ(value("UPS"), 1);
    EXPECT_EQ(runtime.input.dragState(), 0);
}

TEST_F(Mouse, SubmenusOpenNextToTheirButtonAndCloseOnAPressElsewhere) {
    const std::string hex(256, 'F');
    run("MENU SUB ADD TEXT Inside HEX " + hex + " <INC INSIDE>\nMENU TOP ADD TEXT Open HEX " + hex +
        " <SUBMENU>\n");
    compose();
    const MenuButton& opener = *runtime.menus.list(kTopPanel)[0];
    const int openerX = runtime.view.left() + opener.x + 5, openerY = opener.y + 5;
    press(openerX, openerY);
    release(openerX, openerY);
    EXPECT_EQ(runtime.menus.submenuAttachedTo(), kTopPanel);
    compose();
    const PanelState& sub = runtime.menus.panels[kSubmenu];
    ASSERT_NE(sub.picture, nullptr);
    EXPECT_EQ(sub.rect.y, opener.y + opener.height);  // below the button
    press(sub.rect.x + 5, sub.rect.y + 5);
    release(sub.rect.x + 5, sub.rect.y + 5);
    EXPECT_EQ(value("INSIDE"), 1);
    EXPECT_EQ(runtime.menus.submenuState(), SubmenuState::Closed);  // a click inside closes it too

    press(openerX, openerY);
    release(openerX, openerY);
    compose();
    press(300, 300);
    release(300, 300);
    EXPECT_EQ(runtime.menus.submenuState(), SubmenuState::Closed);

    run("MENU TOP CLEAR\nMENU TOP ADD TEXT Open HEX " + hex + " <SUBMENU STAY>\n");
    compose();
    press(openerX, openerY);
    release(openerX, openerY);
    compose();
    press(runtime.menus.panels[kSubmenu].rect.x + 5, runtime.menus.panels[kSubmenu].rect.y + 5);
    EXPECT_EQ(runtime.menus.submenuAttachedTo(), kTopPanel);  // STAY keeps it open
}

// A submenu asked for at a fixed place waits for the next press, is framed
// on every side (it belongs to no panel), and closes at the press after.
TEST_F(Mouse, ASubmenuAtAFixedPlaceOpensAtTheNextPress) {
    const std::string hex(256, 'F');
    run("MENU SUB ADD TEXT Inside HEX " + hex + " <INC INSIDE>\nSUBMENU 100 120\n");
    compose();
    EXPECT_EQ(runtime.menus.submenuState(), SubmenuState::RequestedFixed);
    EXPECT_NE(pixel(99, 119), 0xFFFF);
    press(300, 300);
    release(300, 300);
    EXPECT_EQ(runtime.menus.submenuState(), SubmenuState::OpenFixed);
    compose();
    const PanelState& sub = runtime.menus.panels[kSubmenu];
    EXPECT_EQ(sub.rect.x, 100);
    EXPECT_EQ(sub.rect.y, 120);
    const int right = sub.rect.x + sub.rect.w, bottom = sub.rect.y + sub.rect.h;
    EXPECT_EQ(pixel(99, 119), 0xFFFF);
    EXPECT_EQ(pixel(right, bottom), 0xFFFF);
    EXPECT_EQ(pixel(99, bottom), 0xFFFF);
    EXPECT_EQ(pixel(right, 119), 0xFFFF);
    press(sub.rect.x + 5, sub.rect.y + 5);
    release(sub.rect.x + 5, sub.rect.y + 5);
    EXPECT_EQ(value("INSIDE"), 1);
    EXPECT_EQ(runtime.menus.submenuState(), SubmenuState::Closed);
}

TEST_F(Mouse, KeysRunTheirTriggersWithRepeats) {
    run("KEYCODE 27 ESC\nKEYCODE 97 A\nON KEY_A INC DOWN\nON KEYREPEAT_A INC REPEAT\nON KEYUP_A INC "
        "UP\nKEYREPEATDELAY = 3\n"
        "KEYREPEATRATE = 2\nKEYCODE 27 ESCAPE\n");
    for (int poll = 0; poll < 8; ++poll) keyDown(ui, 97);
    keyUp(ui, 97);
    EXPECT_EQ(value("DOWN"), 1);
    EXPECT_EQ(value("REPEAT"), 3);  // after 3 polls, then every 2nd
    EXPECT_EQ(value("UP"), 1);
    keyDown(ui, 97);
    EXPECT_EQ(value("DOWN"), 2);
    EXPECT_EQ(*runtime.keyNames.nameOf(27), "ESC");  // the first name of a code wins
}

}  // namespace
}  // namespace ef2
