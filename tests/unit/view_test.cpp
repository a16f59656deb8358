// Frame composition, panels, the console and icons, rendered off screen.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "statements/interface.h"
#include "support/screen_fixture.h"
#include "support/test_runtime.h"
#include "ui/icons.h"
#include "ui/menus.h"
#include "ui/text.h"

namespace ef2 {
namespace {

using test::ScreenFixture;

// A 32 x 32 HEX icon: every digit F.
std::string solidHex() {
    return std::string(256, 'F');
}

ButtonPtr button(const std::string& type, const std::string& argument = "") {
    auto made = std::make_shared<MenuButton>();
    made->icon = std::make_shared<IconRecord>();
    made->icon->type = type;
    made->icon->argument = argument;
    return made;
}

class Panels : public ScreenFixture {};

TEST_F(Panels, SeparatorsNewlinesAndOverlapsPlaceTheButtons) {
    std::vector<ButtonPtr> row = {button("HEX", solidHex()), button("SEPARATOR", "5"),
                                  button("HEX", solidHex()), button("SEPARATOR", "-8"),
                                  button("HEX", solidHex())};
    SurfacePtr picture = buildPanel(ui, row, Orientation::Horizontal, 10, 10, true);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(row[2]->x, 37);
    EXPECT_EQ(row[4]->x, 61);  // overlapping the previous one by 8
    EXPECT_EQ(picture->w, 93);
    EXPECT_EQ(picture->h, 32);

    std::vector<ButtonPtr> centred = {button("SEPARATOR", "0"), button("HEX", solidHex()),
                                      button("SEPARATOR", "0")};
    buildPanel(ui, centred, Orientation::Horizontal, 100, 32, false);
    EXPECT_EQ(centred[1]->x, 34);

    std::vector<ButtonPtr> lines = {button("HEX", solidHex()), button("NEWLINE", "40"), button("NEWLINE"),
                                    button("HEX", solidHex())};
    picture = buildPanel(ui, lines, Orientation::Horizontal, 1, 1, true);
    EXPECT_EQ(lines[3]->x, 0);
    EXPECT_EQ(lines[3]->y, 40);  // empty lines collapse; NEWLINE 40 sized the first
    EXPECT_EQ(picture->h, 72);

    std::vector<ButtonPtr> column = {button("HEX", solidHex()), button("UNKNOWN")};
    buildPanel(ui, column, Orientation::Vertical, 1, 1, true);
    EXPECT_EQ(column[1]->x, 8);  // the 16-pixel empty icon is centred in the column
    EXPECT_EQ(column[1]->y, 32);

    // Huge gaps, however many, are measured without overflow and make no
    // picture beyond a sane size; the icon after them is simply cut away.
    std::vector<ButtonPtr> vast;
    for (int i = 0; i < 3000; ++i) vast.push_back(button("SEPARATOR", i % 2 ? "99999999999" : "-2147483648"));
    for (int i = 0; i < 3000; ++i) vast.push_back(button("SEPARATOR", "2147483647"));
    vast.push_back(button("NEWLINE", "2147483647"));
    vast.push_back(button("HEX", solidHex()));
    picture = buildPanel(ui, vast, Orientation::Horizontal, 10, 10, true);
    ASSERT_NE(picture, nullptr);
    EXPECT_LE(int64_t{picture->w} * picture->h, int64_t{1} << 25);

    std::vector<ButtonPtr> nothing = {button("SEPARATOR", "5")};
    EXPECT_EQ(buildPanel(ui, nothing, Orientation::Horizontal, 10, 10, false), nullptr);
}

TEST_F(Panels, MenuStatementsBuildPanelsThatShowOnScreen) {
    run("MENU LEFT ADD TEXT Red HEX " + solidHex() + " <SET HIT 1>\nMENU LEFT ADD TEXT Red2 HEX " +
        solidHex() + " <SET HIT 2>\n");
    compose();
    const PanelState& left = runtime.menus.panels[kLeftPanel];
    ASSERT_NE(left.picture, nullptr);
    EXPECT_EQ(left.rect.x, 0);
    EXPECT_EQ(left.rect.y, runtime.view.top());
    // HEX icons of a MENU button have no colour expressions: they are black.
    EXPECT_EQ(pixel(5, runtime.view.top() + 5), 0);
    run("MENU LEFT CLEAR\n");
    compose();
    EXPECT_EQ(runtime.menus.panels[kLeftPanel].picture, nullptr);
}

class Frames : public ScreenFixture {
public:
    Frames() : ScreenFixture(8, 6, 200, 200) {}
};

TEST_F(Frames, SmallWorldsAreCentredAndScrollingIsClamped) {
    compose();
    const SDL_Rect& rect = runtime.view.worldRect();
    EXPECT_EQ(rect.w, 8);
    EXPECT_EQ(rect.h, 6);
    // The mouse reports the cell that is shown under it.
    Cell first = cellAt(ui, rect.x, rect.y);
    EXPECT_EQ(first.x, 1);
    EXPECT_EQ(first.y, 1);
    Cell last = cellAt(ui, rect.x + rect.w - 1, rect.y + rect.h - 1);
    EXPECT_EQ(last.x, 8);
    EXPECT_EQ(last.y, 6);

    runtime.world.resize(1000, 1000);
    setScroll(ui, screen.get(), 100000, -100000);
    EXPECT_EQ(runtime.view.scrollY(), 0);
    EXPECT_EQ(runtime.view.scrollX(), 1002 - 200 + runtime.view.left() + runtime.view.right() + 1 - 2);
    EXPECT_EQ(value("SCROLLX"), runtime.view.scrollX());
}

TEST_F(Frames, EveryViewShowsTheWorldInItsColours) {
    uint16_t light = test::defineElement(runtime, "Light", 0);
    uint16_t heavy = test::defineElement(runtime, "Heavy", 5000);
    runtime.elements.setColour(light, 255, 0, 0);
    runtime.elements.setColour(heavy, 0, 0, 255);
    runtime.elements.setCustomColour(heavy, 1, 2, 255);
    test::put(runtime, 1, 1, light);
    test::put(runtime, 2, 1, heavy);
    compose();
    const SDL_Rect rect = runtime.view.worldRect();
    auto at = [&](int cellX, int cellY) { return pixel(rect.x + cellX - 1, rect.y + cellY - 1); };
    EXPECT_EQ(at(1, 1), rgb565(255, 0, 0));
    EXPECT_EQ(at(2, 1), rgb565(0, 0, 255));
    EXPECT_EQ(at(3, 1), 0);

    run("VIEW = 1\n");  // weight: 0 in VIEWR/G/B, heavier saturating toward VIEWPOS
    compose();
    EXPECT_EQ(at(1, 1), rgb565(255, 0, 0));                // weight 0
    EXPECT_EQ(at(2, 1), rgb565(0, 0, 255 * 1199 / 1200));  // beyond VIEWMAXPOS
    run("VIEW = -1\n");
    compose();
    EXPECT_EQ(at(2, 1), rgb565(0, 255, 0));
    run("VIEW = 99\n");  // unknown views show the plain world
    compose();
    EXPECT_EQ(at(2, 1), rgb565(0, 0, 255));

    run("VIEW = 11\n");  // average with the previous frame
    compose();
    EXPECT_EQ(at(1, 1), rgb565(255, 0, 0));
    test::put(runtime, 1, 1, 0);
    composeFrame(ui, screen.get());
    // The average is taken of whole 16-bit values, so channels bleed.
    EXPECT_EQ(at(1, 1), rgb565(255, 0, 0) / 2);
    run("VIEW = 10\nALPHA1 = 1\nALPHA2 = 1\n");  // fade: one step per channel and frame
    test::put(runtime, 1, 1, light);
    uint16_t before = at(1, 1);  // red 15, green 32 (bled), blue 0
    composeFrame(ui, screen.get());
    EXPECT_EQ(at(1, 1), before + (1 << 11) - (1 << 5));
    // Limits that overlap: the upward one wins, and channels wrap in their bits.
    run("ALPHA1 = -5\nALPHA2 = -2147483648\n");
    composeFrame(ui, screen.get());
    EXPECT_EQ(at(1, 1), (11 << 11) | (31 << 5) | 27);  // red 16 - 5, green 31 + 2^31, blue 0 - 5

    // Glow: channel by channel, the world colour plus half of three times the
    // previous pixel less it, held within the channel.
    runtime.elements.setColour(light, 0, 255, 0);
    test::put(runtime, 1, 1, light);
    run("VIEW = 12\n");
    pixels16(screen.get())[(rect.y) * stride16(screen.get()) + rect.x] = (20 << 11) | 31;
    composeFrame(ui, screen.get());
    EXPECT_EQ(at(1, 1), (30 << 11) | (32 << 5) | 31);  // red 0 + 60/2, green 63 - 63/2, blue 46 held at 31
    composeFrame(ui, screen.get());
    EXPECT_EQ(at(1, 1), (31 << 11) | (63 << 5) | 31);
}

TEST_F(Frames, ZoomRepeatsEachCellAndTheMouseAgrees) {
    uint16_t red = test::defineElement(runtime, "Red", 0);
    runtime.elements.setColour(red, 255, 0, 0);
    test::put(runtime, 2, 2, red);
    run("ZOOM = 3\n");
    compose();
    int found = 0;
    for (int y = 0; y < screen->h; ++y) {
        for (int x = 0; x < screen->w; ++x) {
            if (pixel(x, y) != rgb565(255, 0, 0)) continue;
            ++found;
            Cell cell = cellAt(ui, x, y);
            EXPECT_EQ(cell.x, 2) << "pixel " << x << ", " << y;
            EXPECT_EQ(cell.y, 2) << "pixel " << x << ", " << y;
        }
    }
    EXPECT_EQ(found, 9);
}

TEST_F(Panels, HostilePanelSizesAndZoomStillComposeAFrame) {
    run("MENU TOP ADD TEXT T HEX " + solidHex() + " <SET HIT 1>\nMENU LEFT ADD TEXT L HEX " + solidHex() +
        " <SET HIT 2>\nMENU BOTTOM ADD TEXT B HEX " + solidHex() + " <SET HIT 3>\n");
    for (const char* sizes : {"MENUTOP = -2147483648\nMENUBOTTOM = 2147483647\n",
                              "MENUTOP = 2147483647\nMENULEFT = -2147483648\nMENURIGHT = 2147483647\n",
                              "MENUTOP = 5000000\nMENULEFT = 33\nMENURIGHT = 32\nMENUBOTTOM = 33\n"}) {
        run(sizes);
        compose();
        for (const PanelState& panel : runtime.menus.panels) {
            if (!panel.picture) continue;
            // Nothing beyond the screen is ever seen, so no picture is made bigger.
            EXPECT_LE(panel.picture->w, screen->w) << sizes;
            EXPECT_LE(panel.picture->h, screen->h) << sizes;
        }
        handleMouse(ui, screen.get(), 100, 100, 1, 1);
        handleMouse(ui, screen.get(), 100, 100, 0, 0);
    }
    run("MENUTOP = 33\nMENULEFT = 33\nMENURIGHT = 32\nMENUBOTTOM = 33\n");
    for (const char* zoom : {"ZOOM = 1073741824\n", "ZOOM = 2147483647\n"}) {
        run(zoom);
        compose();
        setScroll(ui, screen.get(), 2147483647, 2147483647);
        compose();
        EXPECT_GE(runtime.view.scrollX(), 0) << zoom;
    }
}

TEST_F(Frames, ConsoleKeepsTheNewestLinesAndTheLogKeepsAll) {
    std::string log = std::string(::testing::TempDir()) + "console_test.txt";
    runtime.console.openLog(log, Confinement::None);
    for (int i = 1; i <= 20; ++i) runtime.console.print("line " + std::to_string(i));
    runtime.console.flush();
    std::ifstream file(log);
    int lines = 0;
    for (std::string line; std::getline(file, line);) ++lines;
    EXPECT_EQ(lines, 20);
    // Each line is 14 pixels high: the picture holds the newest 14 lines, or
    // 13 above the input line.
    auto rowHasInk = [&](SDL_Surface* picture, int top) {
        for (int y = top; y < top + kConsoleLineHeight; ++y) {
            for (int x = 0; x < 80; ++x) {
                if (pixels16(picture)[y * stride16(picture) + x] != 0) return true;
            }
        }
        return false;
    };
    SDL_Surface* picture = runtime.console.picture(false);
    EXPECT_TRUE(rowHasInk(picture, kConsoleHeight - 14));
    EXPECT_TRUE(rowHasInk(picture, kConsoleHeight - 14 * 14));
    run("CONSOLE = 1\n");
    compose();
    EXPECT_FALSE(runtime.console.changed());  // shown: the mark is cleared
    // It is drawn over the world, below the top panel: the menus stay.
    const SDL_Rect area = consoleRect(ui, screen.get());
    EXPECT_EQ(area.y, runtime.view.top() + 1);
    EXPECT_EQ(area.x, runtime.view.left() + 1);
    EXPECT_LE(area.x + area.w, screen->w - runtime.view.right());
}

TEST_F(Frames, TheConsoleLineRunsWhatIsTypedAndKeepsAHistory) {
    const std::string folder = std::string(::testing::TempDir()) + "console-line/";
    std::filesystem::create_directories(folder);
    std::filesystem::remove(folder + "console_history.txt");
    runtime.console.openLog(folder + "console.txt", Confinement::None);
    run("CONSOLE = 1\nON KEY_C SET CLEARED 1\nKEYCODE 99 C\n");
    consoleText(ui, "SET TYPED 43");
    consoleKey(ui, kKeyBackspace);
    consoleText(ui, "2");
    consoleKey(ui, kKeyHome);
    consoleText(ui, "  ");
    consoleKey(ui, kKeyReturn);
    EXPECT_EQ(value("TYPED"), 42);
    EXPECT_EQ(runtime.console.recentLines().back(), ">   SET TYPED 42");
    consoleText(ui, "GET TYPED");
    consoleKey(ui, kKeyReturn);
    EXPECT_EQ(runtime.console.recentLines().back(), "[TYPED] 42");
    consoleKey(ui, 99);  // a key with a trigger does nothing while the line has the keys
    EXPECT_EQ(value("CLEARED"), 0);
    // The history walks back and forward to the draft.
    consoleText(ui, "draft");
    consoleKey(ui, kKeyUp);
    EXPECT_EQ(runtime.console.input().text(), "GET TYPED");
    consoleKey(ui, kKeyUp);
    consoleKey(ui, kKeyUp);
    EXPECT_EQ(runtime.console.input().text(), "  SET TYPED 42");
    consoleKey(ui, kKeyDown);
    consoleKey(ui, kKeyDown);
    EXPECT_EQ(runtime.console.input().text(), "draft");
    // UTF-8 is edited a character at a time.
    consoleText(ui, "\xC3\xA9\xE2\x82\xAC");
    consoleKey(ui, kKeyBackspace);
    consoleKey(ui, kKeyLeft);
    consoleKey(ui, kKeyDelete);
    EXPECT_EQ(runtime.console.input().text(), "draft");
    consoleKey(ui, kKeyEscape);
    EXPECT_EQ(value("CONSOLE"), 0);

    // The history is kept beside the log for the next run, at most 100 lines.
    Runtime next;
    next.console.openLog(folder + "console.txt", Confinement::None);
    ASSERT_EQ(next.console.input().history().size(), 2u);
    EXPECT_EQ(next.console.input().history().back(), "GET TYPED");
    for (int i = 0; i < 150; ++i) {
        next.console.input().insert("line " + std::to_string(i));
        next.console.submitInput();
    }
    Runtime third;
    third.console.openLog(folder + "console.txt", Confinement::None);
    EXPECT_EQ(third.console.input().history().size(), kConsoleHistory);
    EXPECT_EQ(third.console.input().history().front(), "line 50");
}

TEST_F(Frames, TheConsoleLogScrollsBack) {
    for (int i = 1; i <= 100; ++i) runtime.console.print("line " + std::to_string(i));
    Console& console = runtime.console;
    console.scrollBy(40);
    EXPECT_EQ(console.scrolledBack(), 40);
    console.print("line 101");  // the lines being read stay in view
    EXPECT_EQ(console.scrolledBack(), 41);
    console.scrollBy(-1000);
    EXPECT_EQ(console.scrolledBack(), 0);
    console.scrollBy(1000);
    EXPECT_EQ(console.scrolledBack(), 100);
    console.picture(true);
}

TEST_F(Frames, HexIconsTextClippingAndWrite) {
    IconRecord icon;
    icon.type = "HEX";
    icon.argument = "F0";
    runtime.parser.parseText("ELEMENT G Lit 1 2 3 0 1 1 1 0 \"\" 0 HEX \"F0\" 255 255 255\n", 0,
                             std::nullopt);
    const Element* lit = runtime.elements.get(runtime.elements.idOfName("Lit", false));
    ASSERT_NE(lit, nullptr);
    SurfacePtr picture = renderIcon(ui, *lit->icon);
    ASSERT_EQ(picture->w, 32);
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(pixels16(picture.get())[x], x < 4 ? 0xFFFF : 0) << "pixel " << x;
    }
    // Text never writes outside its target, wherever it is placed.
    SurfacePtr small = makeSurface16(10, 10);
    for (int x : {-50, -5, 0, 5, 9, 500}) {
        drawText(small.get(), runtime.fonts.console(), "Emberfall", x, 8, 0xFFFF, false);
        drawText(small.get(), runtime.fonts.console(), "Emberfall", x, -20, 0xFFFF, true);
    }
}

TEST_F(Frames, StringIconsAndLoadedLayersReachTheScreen) {
    run("MESSAGE ADDTEXT \"Saved words\"\nMESSAGE SAVESTRING 7\n");
    ButtonPtr stored = button("STRING", "3 + 4");
    ButtonPtr empty = button("STRING", "8");
    prepareIcon(ui, *stored->icon);
    prepareIcon(ui, *empty->icon);
    SurfacePtr words = renderIcon(ui, *stored->icon);
    SurfacePtr nothing = renderIcon(ui, *empty->icon);
    EXPECT_GT(words->w, nothing->w + 20);

    // FILE icons load pictures, but only from names a script may use.
    SurfacePtr square = makeSurface16(20, 12);
    ASSERT_EQ(SDL_SaveBMP(square.get(), "view_test_icon.bmp"), 0);
    std::string absolute = std::string(std::filesystem::current_path()) + "/view_test_icon.bmp";
    ButtonPtr local = button("FILE", "./view_test_icon.bmp");
    ButtonPtr outside = button("FILE", absolute);
    SurfacePtr loaded = renderIcon(ui, *local->icon);
    SurfacePtr refused = renderIcon(ui, *outside->icon);
    std::remove("view_test_icon.bmp");
    EXPECT_EQ(loaded->w, 20);
    EXPECT_EQ(refused->w, kEmptyIconWidth);
    EXPECT_EQ(runtime.console.recentLines().back(), "Refused file name \"" + absolute + "\"");

    // A background picture shows through the empty cells only.
    uint16_t red = test::defineElement(runtime, "Red", 0);
    runtime.elements.setColour(red, 255, 0, 0);
    test::put(runtime, 1, 1, red);
    SurfacePtr green = makeSurface16(10, 8);
    SDL_FillRect(green.get(), nullptr, rgb565(0, 255, 0));
    ASSERT_EQ(SDL_SaveBMP(green.get(), "view_test_layer.bmp"), 0);
    run("LOAD BGLAYER view_test_layer.bmp\n");
    std::remove("view_test_layer.bmp");
    ASSERT_NE(runtime.view.backgroundLayer, nullptr);
    compose();
    const SDL_Rect rect = runtime.view.worldRect();
    EXPECT_EQ(pixel(rect.x, rect.y), rgb565(255, 0, 0));
    EXPECT_EQ(pixel(rect.x + 2, rect.y), rgb565(0, 255, 0));
}

TEST_F(Panels, WriteDrawsTextIntoTheWorldAndReportsItsSize) {
    run("WRITE 2 10 30 0 TEXT \"Nothing\"\n");
    EXPECT_EQ(test::countCells(runtime, 2), 0);
    run("WRITE 2 100 30 12 CENTER TEXT \"Hello\"\n");
    EXPECT_GT(value("WRITEWIDTH"), 10);
    EXPECT_GT(value("WRITEHEIGHT"), 5);
    int cells = test::countCells(runtime, 2);
    EXPECT_GT(cells, 20);
    for (int y = 1; y <= 420; ++y) {
        for (int x = 1; x <= 420; ++x) {
            if (runtime.world.interiorCell(x, y) != 2) continue;
            EXPECT_LE(y, 30 + 4) << "below the baseline more than a descender";
            EXPECT_GE(x, 100 - value("WRITEWIDTH") / 2 - 1);
        }
    }
    // Text placed at the ends of the number range lands nowhere in the world.
    run("WRITE 2 -2147483648 -2147483648 12 CENTER TEXT \"Far\"\n"
        "WRITE 2 2147483647 2147483647 12 TEXT \"Far\"\n"
        "WRITE 2 2147483647 -2147483648 12 CENTER TEXT \"Far\"\n");
    EXPECT_EQ(test::countCells(runtime, 2), cells);
}

TEST_F(Frames, StatusTextIsCutAtItsCapacity) {
    for (int i = 0; i < 600; ++i) run("STATUS ADDTEXT \"0123456789\"\n");
    EXPECT_EQ(runtime.status.text().size(), kStatusCapacity);
    run("STATUS CLEAR\nSTATUS ADDNUMBER 42\nSTATUS ADDTEXT \" \"\nSTATUS ADDELEMENT 1\n");
    EXPECT_EQ(runtime.status.text(), "42 Nothing");
}

}  // namespace
}  // namespace ef2
