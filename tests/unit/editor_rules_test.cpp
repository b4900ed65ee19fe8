// The editor's mouse rules and menu actions, driven on a record set up without
// GL or GLUT (no menus exist, so attaching one does nothing).
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// GLUT's values, spelled out so that this file needs no GLUT header.
constexpr int leftButton = 0, middleButton = 1, wheelDown = 4;
constexpr int down = 0, up = 1;
constexpr int barMiddleRow = 20;

// The window pixel column of a control point's x.
int columnOf(float x) { return static_cast<int>(std::lround(barLeft + 512.0 * x)); }

// The area is the bar widened by the pick radius; every button event inside
// it is the editor's, and pointer motion outside it changes nothing.
TEST(EditorRules, AreaTakesEveryButtonAndTracksTheCursor)
{
    EXPECT_EQ(editorX(barLeft), 0.0f);
    EXPECT_EQ(editorX(barRight), 1.0f);
    EXPECT_FLOAT_EQ(editorY(barTop), 1.0f);
    EXPECT_FLOAT_EQ(editorY(barBottom), 0.0f);
    EXPECT_FLOAT_EQ(editorY(barMiddleRow), 0.5f);

    TransferFunction tf;
    tf.initialiseModel(1);
    const struct {
        int x, y;
        bool inside;
        int hover;  // hoverIndex afterwards
    } cases[] = {{6, 6, true, 0},     {14, 34, true, 0},  {526, 34, true, 1}, {526, 6, true, 1},
                 {300, 20, true, -1}, {15, 20, true, -1}, {5, 20, false, 7},  {527, 20, false, 7},
                 {100, 5, false, 7},  {100, 35, false, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_EQ(inEditorArea(c.x, c.y, 5), c.inside);
        for (int button = leftButton; button <= wheelDown; ++button) {
            for (int state : {down, up}) EXPECT_EQ(tf.onMouse(c.x, c.y, button, state), c.inside) << button;
        }
        tf.cursorX = -1;
        tf.hoverIndex = 7;
        tf.onPassiveMotion(c.x, c.y);
        EXPECT_EQ(tf.cursorX, c.inside ? editorX(c.x) : -1.0f);
        EXPECT_EQ(tf.hoverIndex, c.hover);
    }
}

TEST(EditorRules, MenuFollowsWhatIsUnderTheCursor)
{
    EXPECT_EQ(menuForHover(-1, 3), EditorMenuKind::background);
    EXPECT_EQ(menuForHover(0, 3), EditorMenuKind::endPoint);
    EXPECT_EQ(menuForHover(2, 3), EditorMenuKind::endPoint);
    EXPECT_EQ(menuForHover(1, 3), EditorMenuKind::point);
    EXPECT_EQ(menuForHover(0, 1), EditorMenuKind::endPoint);
    EXPECT_EQ(menuForHover(3, 3), EditorMenuKind::background) << "a stale index past the list names nothing";
}

// Only a left press on a point starts a drag, and any button event ends it,
// even far outside the editor. An inner point moves to 1/256 short of each
// neighbour, an end point not at all.
TEST(EditorRules, DragFollowsALeftPressWithinItsRange)
{
    TransferFunction tf;
    tf.initialiseModel(2);
    const int yellow = columnOf(0.05f);
    EXPECT_TRUE(tf.onMouse(yellow, barMiddleRow, middleButton, down));
    EXPECT_EQ(tf.dragIndex, -1);
    ASSERT_TRUE(tf.onMouse(yellow, barMiddleRow, leftButton, down));
    ASSERT_EQ(tf.dragIndex, 1);
    ASSERT_TRUE(tf.onMotion(266));
    EXPECT_EQ(tf.points[1].x, 0.5f);
    EXPECT_FLOAT_EQ(tf.colourTable[4 * 256], 1.0f) << "the yellow peak did not move with the point";
    EXPECT_LT(tf.colourTable[4 * 26], 0.5f);
    ASSERT_TRUE(tf.onMotion(5000));  // the mouse may leave the window
    EXPECT_FLOAT_EQ(tf.points[1].x, 1.0f - 1.0f / 256);
    ASSERT_TRUE(tf.onMotion(-500));
    EXPECT_FLOAT_EQ(tf.points[1].x, 1.0f / 256);
    EXPECT_TRUE(tf.onMouse(yellow, barMiddleRow, middleButton, up));
    EXPECT_EQ(tf.dragIndex, -1);
    EXPECT_FALSE(tf.onMotion(100));

    for (int end : {0, 2}) {
        ASSERT_TRUE(tf.onMouse(end == 0 ? barLeft : barRight, barMiddleRow, leftButton, down));
        ASSERT_EQ(tf.dragIndex, end);
        ASSERT_TRUE(tf.onMotion(266));
        EXPECT_EQ(tf.points[end].x, end == 0 ? 0.0f : 1.0f);
    }
    EXPECT_FALSE(tf.onMouse(400, 400, leftButton, up));
    EXPECT_EQ(tf.dragIndex, -1);
    EXPECT_TRUE(tf.onMouse(barLeft, barMiddleRow, leftButton, up));
    EXPECT_EQ(tf.dragIndex, -1);

    tf.dragIndex = 3;  // an index the list no longer has
    EXPECT_FALSE(tf.onMotion(100));
}

// Crowded neighbours can leave dragMin above dragMax; dragMin wins then.
TEST(EditorRules, ClampPrefersDragMinWhenTheBoundsCross)
{
    EXPECT_EQ(clampDrag(0.5f, 0.2f, 0.8f), 0.5f);
    EXPECT_EQ(clampDrag(0.1f, 0.2f, 0.8f), 0.2f);
    EXPECT_EQ(clampDrag(0.9f, 0.2f, 0.8f), 0.8f);
    for (float ex : {0.0f, 0.5f, 1.0f}) EXPECT_EQ(clampDrag(ex, 0.6f, 0.4f), 0.6f) << ex;
}

// "Add" puts a white point at the cursor, whatever is under it: from the
// margin left of the bar that is a new first point. "Change colour" marks
// the point under the cursor for the dialog, and nothing elsewhere.
TEST(EditorRules, AddAndChangeColourEntries)
{
    TransferFunction tf;
    tf.initialiseModel(2);
    for (int column : {266, 6}) {
        tf.onPassiveMotion(column, barMiddleRow);
        tf.applyMenu(menuAddPoint);
    }
    ASSERT_EQ(tf.points.size(), 5u);
    for (int i : {0, 3}) {
        EXPECT_EQ(tf.points[i].x, i == 0 ? -4.0f / 512 : 0.5f);
        EXPECT_EQ(tf.points[i].red + tf.points[i].green + tf.points[i].blue, 3.0f) << "not white: " << i;
    }
    EXPECT_EQ(tf.sampledBlue[256], 1.0f);

    tf.onPassiveMotion(300, barMiddleRow);
    tf.applyMenu(menuChangeColour);
    EXPECT_FALSE(tf.colourDialogPending);
    tf.onPassiveMotion(266, barMiddleRow);
    tf.applyMenu(menuChangeColour);
    EXPECT_TRUE(tf.colourDialogPending);
    EXPECT_EQ(tf.colourEditIndex, 3);
}

// Only inner points go. After a deletion the menu stays attached, so what lies
// under the cursor now decides what a second choice acts on.
TEST(EditorRules, DeleteTakesOnlyTheInnerPointNowUnderTheCursor)
{
    TransferFunction tf;
    tf.initialiseModel(2);
    tf.onPassiveMotion(columnOf(0.05f), barMiddleRow);
    ASSERT_EQ(tf.hoverIndex, 1);
    tf.applyMenu(menuDeletePoint);
    ASSERT_EQ(tf.points.size(), 2u);
    EXPECT_EQ(tf.hoverIndex, -1);
    tf.applyMenu(menuDeletePoint);  // the end point that slid into index 1 stays
    ASSERT_EQ(tf.points.size(), 2u);
    EXPECT_EQ(tf.points[1].x, 1.0f);
    EXPECT_TRUE(std::all_of(tf.sampledRed.begin(), tf.sampledRed.end(), [](float r) { return r == 0; }))
        << "the yellow is still in the table";

    for (int column : {barLeft, barRight}) {
        tf.onPassiveMotion(column, barMiddleRow);
        ASSERT_NE(tf.hoverIndex, -1);
        tf.applyMenu(menuDeletePoint);
        EXPECT_EQ(tf.points.size(), 2u) << column;
    }

    tf.addPoint(0.5f, 1, 0, 0);
    tf.addPoint(0.5f + 3.0f / 512, 0, 1, 0);
    tf.addPoint(0.7f, 0, 0, 1);
    tf.onPassiveMotion(266, barMiddleRow);
    ASSERT_EQ(tf.hoverIndex, 1);
    tf.applyMenu(menuDeletePoint);
    ASSERT_EQ(tf.points.size(), 4u);
    EXPECT_EQ(tf.points[1].green, 1.0f);
    EXPECT_EQ(tf.hoverIndex, 1);
    tf.applyMenu(menuDeletePoint);
    ASSERT_EQ(tf.points.size(), 3u);
    EXPECT_EQ(tf.points[1].x, 0.7f);
    EXPECT_EQ(tf.hoverIndex, -1);
}

// The dialog gets truncated bytes; channels outside 0..1 (only a loaded file
// can hold them) are clamped, not wrapped.
TEST(EditorRules, DialogColourRoundTripAndClamp)
{
    const struct {
        float channel;
        int byte;
    } cases[] = {{1.0f, 255},  {0.5f, 127}, {0.0f, 0},       {1.5f, 255},      {-0.1f, 0},
                 {1e30f, 255}, {-1e30f, 0}, {INFINITY, 255}, {std::nanf(""), 0}};
    for (const auto& c : cases) {
        const Rgb8 shown = initialDialogColour(ControlPoint{0, 0.5f, c.channel, 0.25f, c.channel});
        EXPECT_EQ(shown.red, c.byte) << c.channel;
        EXPECT_EQ(shown.green, 63);
        EXPECT_EQ(shown.blue, c.byte) << c.channel;
    }
    ControlPoint p{0.5f, 0.5f, 0, 0, 0};
    applyDialogColour(p, Rgb8{255, 127, 0});
    EXPECT_EQ(p.red, 1.0f);
    EXPECT_FLOAT_EQ(p.green, 127.0f / 255.0f);
    EXPECT_EQ(p.blue, 0.0f);
    EXPECT_EQ(p.x, 0.5f);
}

}  // namespace
