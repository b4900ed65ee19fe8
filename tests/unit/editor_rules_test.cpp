// The editor's mouse rules and menu actions, driven on a record set up
// without GL or GLUT (no menus exist, so attaching one does nothing).
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <tuple>
#include <cmath>

namespace {

// GLUT's values, spelled out so that this file needs no GLUT header.
constexpr int leftButton = 0, middleButton = 1, wheelDown = 4, down = 0, up = 1, row = 20;

int columnOf(float x) { return int(std::lround(barLeft + 512.0 * x)); }

// The area is the bar widened by the pick radius; every button event inside
// it is the editor's, and pointer motion outside it changes nothing.
TEST(EditorRules, AreaTakesEveryButtonAndTracksTheCursor)
{
    EXPECT_EQ(editorX(barLeft), 0.0f);
    EXPECT_EQ(editorX(barRight), 1.0f);
    EXPECT_FLOAT_EQ(editorY(barTop), 1.0f);
    EXPECT_FLOAT_EQ(editorY(barBottom), 0.0f);
    TransferFunction tf;
    tf.initialiseModel(1);
    const struct {
        int x, y;
        bool inside;
        int hover;  // hoverIndex afterwards
    } cases[] = {{6, 6, true, 0},     {14, 34, true, 0},  {526, 34, true, 1}, {526, 6, true, 1}, {300, 20, true, -1},
                 {15, 20, true, -1}, {5, 20, false, 7},  {527, 20, false, 7}, {100, 5, false, 7}, {100, 35, false, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        for (int button = leftButton; button <= wheelDown; ++button)
            for (int state : {down, up}) EXPECT_EQ(tf.onMouse(c.x, c.y, button, state), c.inside) << button;
        tf.cursorX = -1;
        tf.hoverIndex = 7;
        tf.onPassiveMotion(c.x, c.y);
        EXPECT_EQ(tf.cursorX, c.inside ? editorX(c.x) : -1.0f);
        EXPECT_EQ(tf.hoverIndex, c.hover);
    }
    for (const auto& [hover, count, kind] : {std::tuple{-1, 3, EditorMenuKind::background}, {0, 3, EditorMenuKind::endPoint},
                                             {2, 3, EditorMenuKind::endPoint}, {1, 3, EditorMenuKind::point},
                                             {0, 1, EditorMenuKind::endPoint}, {3, 3, EditorMenuKind::background}})
        EXPECT_EQ(menuForHover(hover, count), kind) << hover << " of " << count;
}

// Only a left press on a point starts a drag, and any button event ends it,
// even far outside the editor. An inner point moves to 1/256 short of each
// neighbour, an end point not at all; where the bounds cross, dragMin wins.
TEST(EditorRules, DragFollowsALeftPressWithinItsRange)
{
    TransferFunction tf;
    tf.initialiseModel(2);
    const int yellow = columnOf(0.05f);
    EXPECT_TRUE(tf.onMouse(yellow, row, middleButton, down));
    EXPECT_EQ(tf.dragIndex, -1);
    ASSERT_TRUE(tf.onMouse(yellow, row, leftButton, down));
    ASSERT_EQ(tf.dragIndex, 1);
    ASSERT_TRUE(tf.onMotion(266));
    EXPECT_EQ(tf.points[1].x, 0.5f);
    EXPECT_FLOAT_EQ(tf.colourTable[4 * 256], 1.0f) << "the yellow peak did not move with the point";
    ASSERT_TRUE(tf.onMotion(5000));  // the mouse may leave the window
    EXPECT_FLOAT_EQ(tf.points[1].x, 1.0f - 1.0f / 256);
    ASSERT_TRUE(tf.onMotion(-500));
    EXPECT_FLOAT_EQ(tf.points[1].x, 1.0f / 256);
    EXPECT_TRUE(tf.onMouse(yellow, row, middleButton, up));
    EXPECT_FALSE(tf.onMotion(100));
    for (int end : {0, 2}) {
        ASSERT_TRUE(tf.onMouse(end == 0 ? barLeft : barRight, row, leftButton, down));
        ASSERT_EQ(tf.dragIndex, end);
        ASSERT_TRUE(tf.onMotion(266));
        EXPECT_EQ(tf.points[size_t(end)].x, end == 0 ? 0.0f : 1.0f);
    }
    EXPECT_FALSE(tf.onMouse(400, 400, leftButton, up));
    EXPECT_EQ(tf.dragIndex, -1);
    tf.dragIndex = 3;  // an index the list no longer has
    EXPECT_FALSE(tf.onMotion(100));

    EXPECT_EQ(clampDrag(0.5f, 0.2f, 0.8f), 0.5f);
    EXPECT_EQ(clampDrag(0.1f, 0.2f, 0.8f), 0.2f);
    EXPECT_EQ(clampDrag(0.9f, 0.2f, 0.8f), 0.8f);
    for (float ex : {0.0f, 0.5f, 1.0f}) EXPECT_EQ(clampDrag(ex, 0.6f, 0.4f), 0.6f) << ex;
}

// "Add" puts a white point at the cursor, whatever is under it (from the
// margin left of the bar, a new first point); "change colour" marks the
// point under the cursor for the dialog; only inner points are deleted, and
// after a deletion what lies under the cursor decides what a second choice
// acts on.
TEST(EditorRules, MenuEntries)
{
    TransferFunction tf;
    tf.initialiseModel(2);
    for (int column : {266, 6}) {
        tf.onPassiveMotion(column, row);
        tf.applyMenu(menuAddPoint);
    }
    ASSERT_EQ(tf.points.size(), 5u);
    EXPECT_EQ(tf.points[0].x, -4.0f / 512);
    EXPECT_EQ(tf.points[3].x, 0.5f);
    EXPECT_EQ(tf.points[3].red + tf.points[3].green + tf.points[3].blue, 3.0f);
    EXPECT_EQ(tf.sampledBlue[256], 1.0f);
    tf.onPassiveMotion(300, row);
    tf.applyMenu(menuChangeColour);
    EXPECT_FALSE(tf.colourDialogPending);
    tf.onPassiveMotion(266, row);
    tf.applyMenu(menuChangeColour);
    EXPECT_TRUE(tf.colourDialogPending);
    EXPECT_EQ(tf.colourEditIndex, 3);

    tf.initialiseModel(2);
    tf.onPassiveMotion(columnOf(0.05f), row);
    tf.applyMenu(menuDeletePoint);
    ASSERT_EQ(tf.points.size(), 2u);
    EXPECT_EQ(tf.hoverIndex, -1);
    EXPECT_TRUE(std::all_of(tf.sampledRed.begin(), tf.sampledRed.end(), [](float r) { return r == 0; }))
        << "the yellow is still in the table";
    for (int column : {barLeft, barRight}) {
        tf.onPassiveMotion(column, row);
        tf.applyMenu(menuDeletePoint);
        EXPECT_EQ(tf.points.size(), 2u) << column;
    }
    tf.addPoint(0.5f, 1, 0, 0);
    tf.addPoint(0.5f + 3.0f / 512, 0, 1, 0);
    tf.addPoint(0.7f, 0, 0, 1);
    tf.onPassiveMotion(266, row);
    tf.applyMenu(menuDeletePoint);
    ASSERT_EQ(tf.points.size(), 4u);
    EXPECT_EQ(tf.points[1].green, 1.0f);
    EXPECT_EQ(tf.hoverIndex, 1);
    tf.applyMenu(menuDeletePoint);
    ASSERT_EQ(tf.points.size(), 3u);
    EXPECT_EQ(tf.points[1].x, 0.7f);
}

// The dialog gets truncated bytes; channels outside 0..1 (only a loaded file
// can hold them) are clamped, not wrapped.
TEST(EditorRules, DialogColourRoundTripAndClamp)
{
    for (const auto& [channel, byte] : {std::pair{1.0f, 255}, {0.5f, 127}, {0.0f, 0}, {1.5f, 255}, {-0.1f, 0},
                                        {1e30f, 255}, {-1e30f, 0}, {INFINITY, 255}, {std::nanf(""), 0}}) {
        const Rgb8 shown = initialDialogColour(ControlPoint{0, 0.5f, channel, 0.25f, channel});
        EXPECT_EQ((std::array{shown.red, shown.green, shown.blue}), (std::array{byte, 63, byte})) << channel;
    }
    ControlPoint p{0.5f, 0.5f, 0, 0, 0};
    applyDialogColour(p, Rgb8{255, 127, 0});
    EXPECT_EQ((std::array{p.x, p.red, p.blue}), (std::array{0.5f, 1.0f, 0.0f}));
    EXPECT_FLOAT_EQ(p.green, 127.0f / 255.0f);
}

}  // namespace
