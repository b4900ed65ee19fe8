#include "app/history.h"

bool sameView(const WindowView& a, const WindowView& b)
{
    if (a.deep != b.deep || a.left != b.left || a.right != b.right || a.bottom != b.bottom || a.top != b.top) return false;
    return !a.deep || sameBounds(a.deepView, b.deepView);
}

void remember(ViewHistory& h, const WindowView& view)
{
    if (!h.views.empty() && sameView(h.views.back(), view)) return;
    h.views.push_back(view);
    while (h.views.size() > historyDepth) h.views.pop_front();
}

bool takeNewest(ViewHistory& h, WindowView& view)
{
    if (h.views.empty()) return false;
    view = std::move(h.views.back());
    h.views.pop_back();
    return true;
}
