// The three modal dialogs the viewer needs: save a file, open a file, choose
// a colour. On Linux they come from zenity, spawned with an argument vector
// (never through a shell) and answered through a pipe. Without zenity every
// dialog prints one German line and counts as cancelled.
#pragma once

#include <string>
#include <vector>

// 8-bit channels as the colour dialog takes and gives them.
struct DialogColour {
    int red = 0;
    int green = 0;
    int blue = 0;
};

struct FileDialog {
    std::string title;
    std::string filterName;     // e.g. "TIFF (*.tif)"
    std::string filterPattern;  // e.g. "*.tif"
};

// True and a full path when the user chose a file; false when cancelled.
// Both start in the current directory with an empty name and ask nothing
// before overwriting.
bool saveFileDialog(const FileDialog& dialog, std::string& path);
bool openFileDialog(const FileDialog& dialog, std::string& path);

// True and the chosen 8-bit colour on OK; false on cancel.
bool chooseColourDialog(DialogColour initial, DialogColour& chosen);

// The pieces that need no process, for the tests.
std::vector<std::string> fileDialogArguments(const FileDialog& dialog, bool save, const std::string& folder);
std::vector<std::string> colourDialogArguments(DialogColour initial);
bool parseColourAnswer(const std::string& answer, DialogColour& colour);
std::string currentFolder();

// Runs argv (argv[0] searched on PATH) and collects its standard output.
// False when the program could not be started or did not exit with 0.
bool runDialogProgram(const std::vector<std::string>& argv, std::string& output);
