// A transfer function without GL or GLUT (attaching a menu does nothing):
// defaults, the sampled table, picking, the editor's mouse rules and menus.
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

using Rgb = std::array<float, 3>;
constexpr float pixel = 1.0f / 512.0f;
// GLUT's values, spelled out so that this file needs no GLUT header.
constexpr int leftButton = 0, middleButton = 1, wheelDown = 4, down = 0, up = 1, row = 20;

// From the table the texture gets, so that its layout is checked with every colour.
static Rgb texel(const TransferFunction& tf, int i) { const float* t = &tf.colourTable.at(4 * i); return {t[0], t[1], t[2]}; }
static TransferFunction model(int windowNumber) { TransferFunction tf; tf.initialiseModel(windowNumber); return tf; }

static void expectTexels(const TransferFunction& tf, std::initializer_list<std::pair<int, Rgb>> texels, float tolerance = 1e-6f)
{
    for (const auto& [i, rgb] : texels)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(texel(tf, i)[c], rgb[c], tolerance) << "texel " << i << "/" << c;
}

// The yellow point at 0.05 falls between texels 25 and 26; every texel is opaque.
TEST(Transfer, DefaultsAndTheirTables)
{
    const TransferFunction mandelbrot = model(1), julia = model(2);
    std::vector<std::array<float, 5>> points;
    for (const TransferFunction* tf : {&mandelbrot, &julia}) {
        for (const ControlPoint& p : tf->points) points.push_back({p.x, p.y, p.red, p.green, p.blue});
        EXPECT_TRUE(tf->hoverIndex == -1 && tf->dragIndex == -1 && !tf->colourDialogPending);
        for (int i = 0; i < tableSize; ++i) ASSERT_EQ(tf->colourTable.at(4 * i + 3), 1.0f) << i;
    }
    EXPECT_EQ(points, (std::vector<std::array<float, 5>>{{0, 0.5f, 0, 0, 0}, {1, 0.5f, 1, 1, 1}, {0, 0.5f, 0, 0, 0},
                                                         {0.05f, 0.5f, 1, 1, 0}, {1, 0.5f, 0, 0, 0}}));
    auto grey = [](float v) { return Rgb{v, v, v}; };
    auto yellow = [](float v) { return Rgb{v, v, 0}; };
    expectTexels(mandelbrot, {{0, grey(0)}, {1, grey(0.000011f)}, {128, grey(0.15625f)}, {256, grey(0.5f)},
                              {384, grey(0.84375f)}, {511, grey(0.999989f)}});
    expectTexels(julia, {{0, yellow(0)}, {13, yellow(0.511718f)}, {25, yellow(0.998378f)}, {26, yellow(0.999998f)},
                         {256, yellow(0.539437f)}, {511, yellow(0.000013f)}});
}

// Equal x: a hard edge in the colour of the point first in the list, so the
// sort must be stable (with more ties than an insertion sort sees). Outer
// colours hold beyond the ends, blends start flat; one point colours all,
// none (a loaded file) is black.
TEST(Transfer, SamplingEdgesEndsAndSort)
{
    TransferFunction tf;
    tf.points = {{1, 0.5f, 0, 0, 0}, {0.5f, 0.5f, 1, 0, 0}, {0.5f, 0.5f, 0, 0, 0}, {0, 0.5f, 0, 0, 0}};
    tf.rebuild();
    EXPECT_TRUE(texel(tf, 256)[0] == 1.0f && texel(tf, 257)[0] == 0.0f && texel(tf, 255)[0] > 0.99f);
    tf.points = {ControlPoint{0.25f, 0.5f, 1, 0, 0}, ControlPoint{0.75f, 0.5f, 0, 0, 1}};
    tf.rebuild();
    expectTexels(tf, {{0, {1, 0, 0}}, {128, {1, 0, 0}}, {256, {0.5f, 0, 0.5f}}, {384, {0, 0, 1}}, {511, {0, 0, 1}}}, 0);
    for (float near : {texel(tf, 129)[0], texel(tf, 383)[2]}) EXPECT_TRUE(near < 1.0f && near > 0.999f) << near;
    for (const auto& [points, rgb] : {std::pair{std::vector{ControlPoint{0.3f, 0.5f, 0.25f, 0.5f, 0.75f}}, Rgb{0.25f, 0.5f, 0.75f}},
                                      {{}, {0, 0, 0}}}) {
        tf.points = points;
        tf.rebuild();
        for (int i = 0; i < tableSize; i += 73) EXPECT_EQ(texel(tf, i), rgb) << i;
    }
    tf.points.clear();
    for (int i = 0; i < 60; ++i) tf.points.push_back(ControlPoint{float(2 - i % 3) / 4, 0.5f, float(i), 0, 0});
    tf.sortPoints();
    EXPECT_TRUE(std::is_sorted(tf.points.begin(), tf.points.end(),
                               [](auto& a, auto& b) { return a.x < b.x || (a.x == b.x && a.red < b.red); }));
}

// The pick window is open on both sides (vertically 0.25 about the
// marker's y of 0.5), and overlapping points go to the lower index.
TEST(Transfer, PickBoundsAreStrict)
{
    TransferFunction tf = model(1);
    const float radius = 5 * pixel;
    for (const auto& [x, expected] : {std::pair{radius, -1}, {std::nextafter(radius, 0.0f), 0}, {-4 * pixel, 0},
                                      {1.0f - radius, -1}, {1.0f - 4 * pixel, 1}, {0.5f, -1}})
        EXPECT_EQ(tf.hoverPick(x), expected) << x;
    for (const auto& [x, y, expected] : {std::tuple{radius, 0.5f, -1}, {4 * pixel, 0.5f, 0}, {0.0f, 0.75f, -1},
                                         {0.0f, 0.25f, -1}, {0.0f, 0.7f, 0}, {0.0f, 0.3f, 0}})
        EXPECT_EQ(tf.pressPick(x, y), expected) << x << "," << y;
    tf.points = {ControlPoint{0.0f}, ControlPoint{0.5f}, ControlPoint{0.5f + 2 * pixel}, ControlPoint{1.0f}};
    EXPECT_TRUE(tf.hoverPick(0.5f + pixel) == 1 && tf.pressPick(0.5f + pixel, 0.5f) == 1 && tf.hoverPick(0.5f + 6 * pixel) == 2);
}

// The editor area, the bar widened by the pick radius, takes every button
// event; motion outside it changes nothing; the menu follows the cursor.
TEST(Transfer, EditorAreaAndMenus)
{
    TransferFunction tf = model(1);
    for (const auto& [x, y, inside, hover] : {std::tuple{6, 6, true, 0}, {14, 34, true, 0}, {526, 34, true, 1},
                                              {526, 6, true, 1}, {300, 20, true, -1}, {15, 20, true, -1},
                                              {5, 20, false, 7}, {527, 20, false, 7}, {100, 5, false, 7}, {100, 35, false, 7}}) {
        for (int button = leftButton; button <= wheelDown; ++button)
            for (int state : {down, up}) EXPECT_EQ(tf.onMouse(x, y, button, state), inside) << x << "," << y;
        tf.cursorX = -1, tf.hoverIndex = 7;
        tf.onPassiveMotion(x, y);
        EXPECT_TRUE(tf.cursorX == (inside ? float(x - 10) / 512 : -1.0f) && tf.hoverIndex == hover) << x << "," << y;
    }
    const auto background = EditorMenuKind::background, end = EditorMenuKind::endPoint, inner = EditorMenuKind::point;
    for (const auto& [hover, count, kind] :
         {std::tuple{-1, 3, background}, {0, 3, end}, {2, 3, end}, {1, 3, inner}, {0, 1, end}, {3, 3, background}})
        EXPECT_EQ(menuForHover(hover, count), kind) << hover << " of " << count;
}

// Only a left press on a point starts a drag, and any button event ends it,
// even far outside the editor. An inner point moves to 1/256 short of each
// neighbour, an end point not at all; where the bounds cross, dragMin wins.
TEST(Transfer, DragFollowsALeftPressWithinItsRange)
{
    TransferFunction tf = model(2);
    EXPECT_TRUE(tf.onMouse(36, row, middleButton, down) && tf.dragIndex == -1);
    ASSERT_TRUE(tf.onMouse(36, row, leftButton, down) && tf.dragIndex == 1 && tf.onMotion(266));
    EXPECT_EQ(tf.points[1].x, 0.5f);
    EXPECT_FLOAT_EQ(texel(tf, 256)[0], 1.0f) << "the yellow peak did not move with the point";
    for (const auto& [column, x] : {std::pair{5000, 1.0f - 1.0f / 256}, {-500, 1.0f / 256}}) {
        ASSERT_TRUE(tf.onMotion(column));  // the mouse may leave the window
        EXPECT_FLOAT_EQ(tf.points[1].x, x);
    }
    EXPECT_TRUE(tf.onMouse(36, row, middleButton, up) && !tf.onMotion(100));
    for (int end : {0, 2}) {
        ASSERT_TRUE(tf.onMouse(end == 0 ? barLeft : barRight, row, leftButton, down) && tf.dragIndex == end && tf.onMotion(266));
        EXPECT_EQ(tf.points[size_t(end)].x, end / 2.0f);
    }
    EXPECT_TRUE(!tf.onMouse(400, 400, leftButton, up) && tf.dragIndex == -1);
    tf.dragIndex = 3;  // an index the list no longer has
    EXPECT_FALSE(tf.onMotion(100));
    EXPECT_TRUE(clampDrag(0.0f, 0.6f, 0.4f) == 0.6f && clampDrag(1.0f, 0.6f, 0.4f) == 0.6f && clampDrag(0.5f, 0.2f, 0.8f) == 0.5f);
}

// "Add" puts a white point at the cursor, whatever is under it (left of the
// bar: a new first point); "change colour" marks the point under it; only
// inner points are deleted, and then what lies under the cursor decides a
// second choice. The dialog starts at truncated bytes, clamped.
TEST(Transfer, MenuEntriesAndTheDialogColour)
{
    TransferFunction tf = model(2);
    auto choose = [&](int column, int entry) { tf.onPassiveMotion(column, row), tf.applyMenu(entry); };
    for (int column : {266, 6}) choose(column, menuAddPoint);
    ASSERT_EQ(tf.points.size(), 5u);
    EXPECT_EQ((std::array{tf.points[0].x, tf.points[3].x, tf.points[3].red, tf.points[3].green, tf.points[3].blue}),
              (std::array{-4.0f / 512, 0.5f, 1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(texel(tf, 256)[2], 1.0f);
    choose(300, menuChangeColour);
    EXPECT_FALSE(tf.colourDialogPending);
    choose(266, menuChangeColour);
    EXPECT_TRUE(tf.colourDialogPending && tf.colourEditIndex == 3);

    tf = model(2);
    choose(36, menuDeletePoint);
    ASSERT_EQ(tf.points.size(), 2u);
    EXPECT_EQ(tf.hoverIndex, -1);
    for (int i = 0; i < tableSize; ++i) ASSERT_EQ(texel(tf, i)[0], 0.0f) << i;
    for (int column : {barLeft, barRight}) choose(column, menuDeletePoint);
    EXPECT_EQ(tf.points.size(), 2u) << "an end point was deleted";
    for (float x : {0.5f, 0.5f + 3.0f / 512, 0.7f}) tf.addPoint(x, 0, x == 0.5f ? 0 : 1, 0);
    choose(266, menuDeletePoint);
    ASSERT_EQ(tf.points.size(), 4u);
    EXPECT_TRUE(tf.points[1].green == 1.0f && tf.hoverIndex == 1);
    tf.applyMenu(menuDeletePoint);
    ASSERT_EQ(tf.points.size(), 3u);
    EXPECT_EQ(tf.points[1].x, 0.7f);

    for (const auto& [channel, byte] : {std::pair{1.0f, 255}, {0.5f, 127}, {0.0f, 0}, {1.5f, 255}, {-0.1f, 0},
                                        {INFINITY, 255}, {std::nanf(""), 0}}) {
        const Rgb8 shown = initialDialogColour(ControlPoint{0, 0.5f, channel, 0.25f, channel});
        EXPECT_EQ((std::array{shown.red, shown.green, shown.blue}), (std::array{byte, 63, byte})) << channel;
    }
}
