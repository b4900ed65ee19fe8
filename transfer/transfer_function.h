// A window's colour transfer function: the control points, the editor state
// around them, the sampled colour table and the 1D texture it is uploaded to.
//
// The model operations (add, remove, pick, sort, sample) touch neither GL nor
// GLUT and are unit-tested directly. uploadTable, the menus and the drawing
// need a GL context; they do nothing while the record has no texture or menus
// (that is, before initialise), which is how the tests use the model alone.
#pragma once

#include "platform/dialogs.h"

#include <string>
#include <vector>

constexpr int tableSize = 512;

struct ControlPoint {
    float x = 0;
    float y = 0.5f;
    float red = 0;
    float green = 0;
    float blue = 0;
};

// A point's colour as the colour dialog takes and gives it.
using Rgb8 = DialogColour;

// Editor bar geometry in window pixels, measured from the top edge.
constexpr int barLeft = 10;
constexpr int barRight = 522;
constexpr int barTop = 10;
constexpr int barBottom = 30;

// What the right button should open at a position of the editor.
enum class EditorMenuKind { none, background, endPoint, point };

// Values of the editor's context-menu entries.
enum EditorMenuValue {
    menuAddPoint = 3,
    menuDeletePoint = 4,
    menuChangeColour = 5,
    menuLoad = 6,
    menuSave = 7,
};

struct TransferFunction {
    unsigned texture = 0;
    int windowNumber = 0;
    int windowId = 0;  // GLUT id of the owning window, taken at initialise
    int windowHeight = 0;
    int pointMenu = 0;
    int endPointMenu = 0;
    int backgroundMenu = 0;
    int hoverIndex = 0;
    int colourEditIndex = 0;
    float cursorX = 0;
    bool colourDialogPending = false;
    std::vector<ControlPoint> points;
    int pickRadius = 0;
    int dragIndex = 0;
    float dragMin = 0;
    float dragMax = 0;
    std::vector<float> sampledRed;
    std::vector<float> sampledGreen;
    std::vector<float> sampledBlue;
    std::vector<float> colourTable;  // tableSize texels of RGBA

    ~TransferFunction() { destroy(); }

    // Life cycle (transfer_function.cpp, texture.cpp).
    // Menus (all calling menuCallback), texture, defaults; the owning window
    // must be current.
    void initialise(int number, void (*menuCallback)(int));
    void initialiseModel(int number);  // everything initialise does without GL or GLUT
    void destroy();                    // points and arrays; never touches GL
    void releaseTexture();             // GL: delete the texture while its context lives

    // Model (transfer_function.cpp).
    void addPoint(float x, float red, float green, float blue);
    void removePoint(int index);
    int hoverPick(float x) const;
    int pressPick(float x, float y);
    void sortPoints();
    void rebuild();
    bool isInnerPoint(int index) const;

    // Colour table (sampling.cpp, texture.cpp).
    void sampleChannels();
    void fillColourTable();
    void uploadTable();

    // Overlay (overlay.cpp).
    bool drawEditor();  // true when the window must be drawn once more
    void drawColourBar();
    void drawMarkers();

    // Editor input (editor_input.cpp).
    void createMenus(void (*menuCallback)(int));
    void onPassiveMotion(int x, int y);
    bool onMouse(int x, int y, int button, int state);
    bool onMotion(int x);
    void chooseColour();
    void applyMenu(int value);  // editorMenu's action on this record
    void onHoverChanged();

    // Files (tfc_file.cpp).
    void saveDialog();
    void loadDialog();
    bool saveFile(const std::string& path);
    bool loadFile(const std::string& path);
};

// Pure editor geometry and rules (editor_input.cpp).
bool inEditorArea(int x, int y, int pickRadius);
float editorX(int x);
float editorY(int y);
EditorMenuKind menuForHover(int hoverIndex, int pointCount);
float clampDrag(float ex, float dragMin, float dragMax);
Rgb8 initialDialogColour(const ControlPoint& p);
void applyDialogColour(ControlPoint& p, Rgb8 chosen);

// True while a pop-up menu is open: freeglut ends the program when a menu
// is attached then. Kept by the owner's menu status callback.
extern bool menuInUse;

// Uploads 512 RGBA texels into a 1D texture of the current context as every
// colour table is kept: float texels where the driver has them, filtered
// linearly, clamped at the ends (texture.cpp).
void uploadColourTexture(unsigned texture, const std::vector<float>& table);

// Sampling of a sorted point list at position x (sampling.cpp).
void sampleAt(const std::vector<ControlPoint>& points, float x, float rgb[3]);

// The .tfc stored form (tfc_file.cpp).
std::string encodeTfc(const std::vector<ControlPoint>& points);
bool decodeTfc(const std::string& stored, std::vector<ControlPoint>& points);
// The whole file at `path`, checked as loadFile checks it; false (points
// untouched) for anything but a regular, complete .tfc file.
bool readTfcFile(const std::string& path, std::vector<ControlPoint>& points);
std::string toStoredForm(const std::string& content);
std::string fromStoredForm(const std::string& stored);
