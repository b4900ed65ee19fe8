// Where a window has been: the views Backspace goes back to, newest last,
// at most historyDepth of them (the oldest go first), deep ones with their
// bounds at full precision. No GL or GLUT here.
#pragma once

#include "deep/deep_view.h"

#include <cstddef>
#include <deque>

constexpr size_t historyDepth = 128;

// A window's view as navigation holds it: float bounds, and the arbitrary
// precision ones while `deep`.
struct WindowView {
    bool deep = false;
    DeepView deepView;
    float left = 0, right = 0, bottom = 0, top = 0;
};

struct ViewHistory {
    std::deque<WindowView> views;
};

// The same view: the same float bounds, and the same deep bounds where deep.
bool sameView(const WindowView& a, const WindowView& b);

// Adds a view to go back to, unless it is the newest already.
void remember(ViewHistory& history, const WindowView& view);

// The newest view, taken out; false when there is none.
bool takeNewest(ViewHistory& history, WindowView& view);
