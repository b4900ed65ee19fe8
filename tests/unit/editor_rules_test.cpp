// The editor's mouse rules and menu actions, driven on a record set up without
// GL or GLUT (no menus exist, so attaching one does nothing).
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// GLUT's values, spelled out so that this file needs no GLUT header.
constexpr int leftButton = 0;
constexpr int middleButton = 1;
constexpr int rightButton = 2;
constexpr int wheelUp = 3;
constexpr int wheelDown = 4;
constexpr int down = 0;
constexpr int up = 1;

constexpr int barMiddleRow = 20;

// The window pixel column of a control point's x.
int columnOf(float x) { return static_cast<int>(std::lround(barLeft + 512.0 * x)); }

TEST(EditorRules, AreaIsTheBarWidenedByThePickRadius)
{
    EXPECT_TRUE(inEditorArea(6, 6, 5));
    EXPECT_TRUE(inEditorArea(526, 34, 5));
    EXPECT_TRUE(inEditorArea(6, 34, 5));
    EXPECT_TRUE(inEditorArea(526, 6, 5));
    EXPECT_FALSE(inEditorArea(5, 20, 5));
    EXPECT_FALSE(inEditorArea(527, 20, 5));
    EXPECT_FALSE(inEditorArea(100, 5, 5));
    EXPECT_FALSE(inEditorArea(100, 35, 5));

    // Editor coordinates run over the bar: x 0..1 left to right, y 1..0 top to bottom.
    EXPECT_EQ(editorX(barLeft), 0.0f);
    EXPECT_EQ(editorX(barRight), 1.0f);
    EXPECT_EQ(editorX(6), -4.0f / 512);
    EXPECT_FLOAT_EQ(editorY(barTop), 1.0f);
    EXPECT_FLOAT_EQ(editorY(barBottom), 0.0f);
    EXPECT_FLOAT_EQ(editorY(barMiddleRow), 0.5f);
}

TEST(EditorRules, MenuFollowsWhatIsUnderTheCursor)
{
    EXPECT_EQ(menuForHover(-1, 3), EditorMenuKind::background);
    EXPECT_EQ(menuForHover(0, 3), EditorMenuKind::endPoint);
    EXPECT_EQ(menuForHover(2, 3), EditorMenuKind::endPoint);
    EXPECT_EQ(menuForHover(1, 3), EditorMenuKind::point);
    EXPECT_EQ(menuForHover(0, 1), EditorMenuKind::endPoint);
    // A stale index past the list names nothing.
    EXPECT_EQ(menuForHover(3, 3), EditorMenuKind::background);
}

TEST(EditorRules, PassiveMotionTracksTheCursorOnlyInsideTheArea)
{
    TransferFunction tf;
    tf.initialiseModel(1);

    tf.onPassiveMotion(266, barMiddleRow);
    EXPECT_EQ(tf.cursorX, 0.5f);
    EXPECT_EQ(tf.hoverIndex, -1);

    // Anywhere from column 6 to 14 is over the first point, any row.
    for (int x : {6, 10, 14}) {
        for (int y : {6, 34}) {
            tf.onPassiveMotion(x, y);
            EXPECT_EQ(tf.hoverIndex, 0) << x << "," << y;
            EXPECT_EQ(tf.cursorX, editorX(x));
        }
    }
    tf.onPassiveMotion(15, barMiddleRow);
    EXPECT_EQ(tf.hoverIndex, -1);
    tf.onPassiveMotion(520, barMiddleRow);
    EXPECT_EQ(tf.hoverIndex, 1);

    const float cursor = tf.cursorX;
    for (auto outside : {std::pair<int, int>{266, 35}, {266, 5}, {5, 20}, {527, 20}}) {
        tf.onPassiveMotion(outside.first, outside.second);
        EXPECT_EQ(tf.cursorX, cursor);
        EXPECT_EQ(tf.hoverIndex, 1);
    }
}

TEST(EditorRules, EveryButtonEventInsideTheAreaIsTaken)
{
    TransferFunction tf;
    tf.initialiseModel(1);
    for (int button : {leftButton, middleButton, rightButton, wheelUp, wheelDown}) {
        for (int state : {down, up}) {
            EXPECT_TRUE(tf.onMouse(300, barMiddleRow, button, state)) << button << "/" << state;
            EXPECT_TRUE(tf.onMouse(6, 34, button, state)) << button << "/" << state;
            EXPECT_FALSE(tf.onMouse(300, 35, button, state)) << button << "/" << state;
            EXPECT_FALSE(tf.onMouse(527, barMiddleRow, button, state)) << button << "/" << state;
        }
    }
    // Above the markers (they span rows 16 to 24): taken, but no drag.
    for (int y : {10, 15, 25, 30}) {
        EXPECT_TRUE(tf.onMouse(barLeft, y, leftButton, down)) << y;
        EXPECT_EQ(tf.dragIndex, -1) << y;
    }
    for (int y : {16, 24}) {
        EXPECT_TRUE(tf.onMouse(barLeft, y, leftButton, down)) << y;
        EXPECT_EQ(tf.dragIndex, 0) << y;
    }
}

TEST(EditorRules, AnyButtonEventEndsADrag)
{
    TransferFunction tf;
    tf.initialiseModel(2);
    const int yellow = columnOf(0.05f);

    ASSERT_TRUE(tf.onMouse(yellow, barMiddleRow, leftButton, down));
    ASSERT_EQ(tf.dragIndex, 1);
    EXPECT_TRUE(tf.onMouse(yellow, barMiddleRow, middleButton, up));
    EXPECT_EQ(tf.dragIndex, -1);

    ASSERT_TRUE(tf.onMouse(yellow, barMiddleRow, leftButton, down));
    ASSERT_EQ(tf.dragIndex, 1);
    EXPECT_FALSE(tf.onMouse(400, 400, leftButton, up));  // released far outside
    EXPECT_EQ(tf.dragIndex, -1);
    EXPECT_FALSE(tf.onMotion(100));

    // Only a left press starts a drag.
    EXPECT_TRUE(tf.onMouse(yellow, barMiddleRow, middleButton, down));
    EXPECT_EQ(tf.dragIndex, -1);
    EXPECT_TRUE(tf.onMouse(yellow, barMiddleRow, leftButton, up));
    EXPECT_EQ(tf.dragIndex, -1);
}

TEST(EditorRules, DragIsClampedBetweenTheNeighbours)
{
    TransferFunction tf;
    tf.initialiseModel(2);
    ASSERT_TRUE(tf.onMouse(columnOf(0.05f), barMiddleRow, leftButton, down));
    ASSERT_EQ(tf.dragIndex, 1);

    const std::vector<float> before = tf.colourTable;
    ASSERT_TRUE(tf.onMotion(266));
    EXPECT_EQ(tf.points[1].x, 0.5f);
    EXPECT_EQ(tf.points[1].y, 0.5f);
    EXPECT_NE(tf.colourTable, before);
    // The yellow peak moved with the point.
    EXPECT_FLOAT_EQ(tf.colourTable[4 * 256 + 0], 1.0f);
    EXPECT_LT(tf.colourTable[4 * 26 + 0], 0.5f);

    ASSERT_TRUE(tf.onMotion(-500));  // the mouse may leave the window
    EXPECT_FLOAT_EQ(tf.points[1].x, 1.0f / 256);
    ASSERT_TRUE(tf.onMotion(5000));
    EXPECT_FLOAT_EQ(tf.points[1].x, 1.0f - 1.0f / 256);
    ASSERT_EQ(tf.points.size(), 3u);
    EXPECT_EQ(tf.points[0].x, 0.0f);
    EXPECT_EQ(tf.points[2].x, 1.0f);

    // An end point pressed and dragged stays where it is.
    ASSERT_TRUE(tf.onMouse(barLeft, barMiddleRow, leftButton, down));
    ASSERT_EQ(tf.dragIndex, 0);
    ASSERT_TRUE(tf.onMotion(100));
    EXPECT_EQ(tf.points[0].x, 0.0f);

    // A drag index that the list no longer has is not followed.
    tf.dragIndex = 3;
    EXPECT_FALSE(tf.onMotion(100));
}

TEST(EditorRules, ClampPrefersDragMinWhenTheBoundsCross)
{
    EXPECT_EQ(clampDrag(0.5f, 0.2f, 0.8f), 0.5f);
    EXPECT_EQ(clampDrag(0.1f, 0.2f, 0.8f), 0.2f);
    EXPECT_EQ(clampDrag(0.9f, 0.2f, 0.8f), 0.8f);
    for (float ex : {0.0f, 0.5f, 1.0f}) EXPECT_EQ(clampDrag(ex, 0.6f, 0.4f), 0.6f) << ex;
}

TEST(EditorRules, AddPointFromTheMenuIsWhiteAtTheCursor)
{
    TransferFunction tf;
    tf.initialiseModel(2);
    tf.onPassiveMotion(266, barMiddleRow);
    tf.applyMenu(menuAddPoint);
    ASSERT_EQ(tf.points.size(), 4u);
    EXPECT_EQ(tf.points[2].x, 0.5f);
    EXPECT_EQ(tf.points[2].y, 0.5f);
    EXPECT_EQ(tf.points[2].red, 1.0f);
    EXPECT_EQ(tf.points[2].green, 1.0f);
    EXPECT_EQ(tf.points[2].blue, 1.0f);
    EXPECT_EQ(tf.sampledBlue[256], 1.0f);

    // From the margin left of the bar it becomes the new first point.
    tf.onPassiveMotion(6, barMiddleRow);
    ASSERT_EQ(tf.hoverIndex, 0);  // within reach of the point at 0, but the entry ignores that
    tf.applyMenu(menuAddPoint);
    ASSERT_EQ(tf.points.size(), 5u);
    EXPECT_EQ(tf.points[0].x, -4.0f / 512);
    EXPECT_EQ(tf.points[0].red, 1.0f);
}

TEST(EditorRules, DeleteNeverTakesAnEndPointOrAStaleOne)
{
    TransferFunction tf;
    tf.initialiseModel(2);

    // Over the yellow point: it goes; choosing the entry again without moving
    // must not remove what has slid into its index (here the last point).
    tf.onPassiveMotion(columnOf(0.05f), barMiddleRow);
    ASSERT_EQ(tf.hoverIndex, 1);
    tf.applyMenu(menuDeletePoint);
    ASSERT_EQ(tf.points.size(), 2u);
    EXPECT_EQ(tf.hoverIndex, -1);
    tf.applyMenu(menuDeletePoint);
    ASSERT_EQ(tf.points.size(), 2u);
    EXPECT_EQ(tf.points[0].x, 0.0f);
    EXPECT_EQ(tf.points[1].x, 1.0f);
    for (int i = 0; i < tableSize; ++i) ASSERT_EQ(tf.sampledRed[i], 0.0f) << "yellow left at texel " << i;

    // End points offer no deletion.
    for (int column : {barLeft, barRight}) {
        tf.onPassiveMotion(column, barMiddleRow);
        ASSERT_NE(tf.hoverIndex, -1);
        tf.applyMenu(menuDeletePoint);
        EXPECT_EQ(tf.points.size(), 2u) << column;
    }

    // With a neighbour still under the cursor, the second choice removes that
    // one, the point the user now sees under the cursor.
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
    tf.applyMenu(menuDeletePoint);
    EXPECT_EQ(tf.points.size(), 3u);
}

TEST(EditorRules, ChangeColourMarksTheHoveredPoint)
{
    TransferFunction tf;
    tf.initialiseModel(2);
    tf.onPassiveMotion(266, barMiddleRow);
    tf.applyMenu(menuChangeColour);
    EXPECT_FALSE(tf.colourDialogPending);

    tf.onPassiveMotion(barRight, barMiddleRow);
    tf.applyMenu(menuChangeColour);
    EXPECT_TRUE(tf.colourDialogPending);
    EXPECT_EQ(tf.colourEditIndex, 2);
}

TEST(EditorRules, DialogColourRoundTrip)
{
    ControlPoint p{0.5f, 0.5f, 1.0f, 0.5f, 0.0f};
    const Rgb8 shown = initialDialogColour(p);
    EXPECT_EQ(shown.red, 255);
    EXPECT_EQ(shown.green, 127);
    EXPECT_EQ(shown.blue, 0);
    applyDialogColour(p, shown);
    EXPECT_EQ(p.red, 1.0f);
    EXPECT_FLOAT_EQ(p.green, 127.0f / 255.0f);
    EXPECT_EQ(p.blue, 0.0f);
    EXPECT_EQ(p.x, 0.5f);

    // Channels outside 0..1 (from a loaded file) are clamped, not wrapped.
    const Rgb8 clamped = initialDialogColour(ControlPoint{0, 0.5f, 1.5f, -0.1f, std::nanf("")});
    EXPECT_EQ(clamped.red, 255);
    EXPECT_EQ(clamped.green, 0);
    EXPECT_EQ(clamped.blue, 0);
    const Rgb8 huge = initialDialogColour(ControlPoint{0, 0.5f, 1e30f, -1e30f, INFINITY});
    EXPECT_EQ(huge.red, 255);
    EXPECT_EQ(huge.green, 0);
    EXPECT_EQ(huge.blue, 255);
}

}  // namespace
