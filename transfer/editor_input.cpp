// The editor's mouse handling and context menus. The editor area is the
// colour bar widened by the pick radius on every side; every button event
// inside it belongs to the editor, so the wheel does not zoom there and a
// click does not move the Julia constant.
#include "transfer/transfer_function.h"

#include <GL/freeglut.h>

#include <algorithm>

bool menuInUse = false;

namespace {

void attachMenu(int menu)
{
    if (menu == 0) return;  // the menus exist only once initialise has run
    if (menuInUse) return;  // the next motion after the menu closes attaches it
    glutSetMenu(menu);
    glutAttachMenu(GLUT_RIGHT_BUTTON);
}

int createMenu(void (*callback)(int), std::initializer_list<std::pair<const char*, int>> entries)
{
    int menu = glutCreateMenu(callback);
    glutSetMenu(menu);
    for (const auto& entry : entries) glutAddMenuEntry(entry.first, entry.second);
    glutAttachMenu(GLUT_RIGHT_BUTTON);
    return menu;
}

int channelByte(float channel)
{
    const double scaled = double(channel) * 255.0;
    if (!(scaled > 0)) return 0;  // also NaN
    return scaled >= 255.0 ? 255 : static_cast<int>(scaled);
}

}  // namespace

bool inEditorArea(int x, int y, int r)
{
    return barLeft - r < x && x < barRight + r && barTop - r < y && y < barBottom + r;
}

float editorX(int x) { return static_cast<float>(x - barLeft) / 512.0f; }
float editorY(int y) { return 1.0f - static_cast<float>(y - barTop) / 20.0f; }

EditorMenuKind menuForHover(int hoverIndex, int pointCount)
{
    if (hoverIndex < 0 || hoverIndex >= pointCount) return EditorMenuKind::background;
    if (hoverIndex == 0 || hoverIndex == pointCount - 1) return EditorMenuKind::endPoint;
    return EditorMenuKind::point;
}

float clampDrag(float ex, float dragMin, float dragMax)
{
    float m = std::min(dragMax, ex);
    if (dragMin > m) m = dragMin;  // crossed bounds: dragMin wins
    return m;
}

// Channels outside 0..1 (only a loaded file can hold them) are clamped to the
// dialog's range; inside it the byte is truncated, so 0.5 gives 127.
Rgb8 initialDialogColour(const ControlPoint& p)
{
    return Rgb8{channelByte(p.red), channelByte(p.green), channelByte(p.blue)};
}

void applyDialogColour(ControlPoint& p, Rgb8 chosen)
{
    p.red = static_cast<float>(chosen.red / 255.0);
    p.green = static_cast<float>(chosen.green / 255.0);
    p.blue = static_cast<float>(chosen.blue / 255.0);
}

void TransferFunction::createMenus(void (*menuCallback)(int))
{
    pointMenu = createMenu(menuCallback,
                           {{"Farbe \xE4ndern", menuChangeColour}, {"Kontrollpunkt l\xF6schen", menuDeletePoint}});
    endPointMenu = createMenu(menuCallback, {{"Farbe \xE4ndern", menuChangeColour}});
    backgroundMenu = createMenu(menuCallback, {{"Neuen Kontrollpunkt setzen", menuAddPoint},
                                 {"Transferfunktion laden", menuLoad},
                                 {"Transferfunktion speichern", menuSave}});
}

void TransferFunction::onPassiveMotion(int x, int y)
{
    if (!inEditorArea(x, y, pickRadius)) return;
    cursorX = editorX(x);
    hoverIndex = hoverPick(cursorX);
    onHoverChanged();
}

bool TransferFunction::onMouse(int x, int y, int button, int state)
{
    dragIndex = -1;
    if (!inEditorArea(x, y, pickRadius)) return false;
    if (button == GLUT_LEFT_BUTTON && state == GLUT_DOWN) dragIndex = pressPick(editorX(x), editorY(y));
    return true;
}

bool TransferFunction::onMotion(int x)
{
    if (dragIndex < 0 || dragIndex >= static_cast<int>(points.size())) return false;
    ControlPoint& p = points[dragIndex];
    p.y = 0.5f;
    p.x = clampDrag(editorX(x), dragMin, dragMax);
    rebuild();
    return true;
}

void TransferFunction::chooseColour()
{
    if (colourEditIndex < 0 || colourEditIndex >= static_cast<int>(points.size())) return;
    Rgb8 chosen;
    if (!chooseColourDialog(initialDialogColour(points[colourEditIndex]), chosen)) return;
    // The dialog is modal, but the index is checked again in case the list
    // was replaced while it was open.
    if (colourEditIndex >= static_cast<int>(points.size())) return;
    applyDialogColour(points[colourEditIndex], chosen);
    rebuild();
}

void TransferFunction::applyMenu(int value)
{
    const bool hovering = hoverIndex >= 0 && hoverIndex < static_cast<int>(points.size());
    switch (value) {
    case menuAddPoint: addPoint(cursorX, 1, 1, 1); break;
    case menuDeletePoint:
        // Only an inner point may go: the list keeps its two end points.
        if (hovering && isInnerPoint(hoverIndex)) removePoint(hoverIndex);
        // The menu stays attached after the removal; what lies under the
        // cursor now decides what the next choice acts on.
        hoverIndex = hoverPick(cursorX);
        onHoverChanged();
        break;
    case menuChangeColour:
        if (hovering) {
            colourEditIndex = hoverIndex;
            colourDialogPending = true;
        }
        break;
    case menuLoad: loadDialog(); break;
    case menuSave: saveDialog(); break;
    default: break;
    }
    rebuild();
}

// Attaches the right-button menu that fits what lies under the cursor.
void TransferFunction::onHoverChanged()
{
    switch (menuForHover(hoverIndex, static_cast<int>(points.size()))) {
    case EditorMenuKind::background: attachMenu(backgroundMenu); break;
    case EditorMenuKind::endPoint: attachMenu(endPointMenu); break;
    case EditorMenuKind::point: attachMenu(pointMenu); break;
    case EditorMenuKind::none: break;
    }
}

