// The dialogs: the extension rule, the colour answers zenity gives, and the
// dialogs as the user meets them with a scripted zenity standing in: what a
// chosen name or colour turns into, and that a cancel or a missing zenity
// changes nothing.
#include "platform/dialogs.h"
#include "screenshot/screenshot.h"
#include "support/scripted_zenity.h"
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <climits>

namespace {

using Args = std::vector<std::string>;

// The extension is added unless the name already ends in it exactly, case
// included; names no longer than the extension compare as a whole.
TEST(DialogArguments, EnsureExtensionAndColourAnswers)
{
    const struct {
        const char *name, *ext, *expected;
    } names[] = {{"/home/u/bild", ".tif", "/home/u/bild.tif"},      {"/home/u/bild.tif", ".tif", "/home/u/bild.tif"},
                 {"/u/bild.TIF", ".tif", "/u/bild.TIF.tif"},         {"/u/bild.tiff", ".tif", "/u/bild.tiff.tif"},
                 {"/u/x.tif/bild", ".tif", "/u/x.tif/bild.tif"},     {"farben.tfc", ".tfc", "farben.tfc"},
                 {"farben.tif", ".tfc", "farben.tif.tfc"},           {"", ".tif", ".tif"},
                 {"tif", ".tif", "tif.tif"},                         {".tif", ".tif", ".tif"},
                 {".tfc", ".tif", ".tfc.tif"}};
    for (const auto& c : names) EXPECT_EQ(ensureExtension(c.name, c.ext), c.expected) << "name '" << c.name << "'";

    const struct {
        const char* text;
        int red, green, blue;
    } answers[] = {{"rgb(255,127,0)\n", 255, 127, 0}, {"rgba(1,2,3,0.5)", 1, 2, 3}, {"#0a0b0c", 10, 11, 12},
                   {"#FFfe00\r\n", 255, 254, 0},      {"rgb(300,-5,127.6)", 255, 0, 128}};
    for (const auto& a : answers) {
        Rgb8 c{-1, -1, -1};
        ASSERT_TRUE(parseColourAnswer(a.text, c)) << a.text;
        EXPECT_EQ((std::array{c.red, c.green, c.blue}), (std::array{a.red, a.green, a.blue})) << a.text;
    }
    for (const char* garbage : {"", "garbage", "rgb(1,2)", "rgb(1,2,3", "rgba(1,2,3)", "#0a0b0", "#0a0b0c0d", "#zzzzzz"}) {
        Rgb8 c{7, 8, 9};
        EXPECT_FALSE(parseColourAnswer(garbage, c)) << garbage;
        EXPECT_EQ((std::array{c.red, c.green, c.blue}), (std::array{7, 8, 9})) << garbage;
    }
    // Without a folder (getcwd failed) the dialog gets none rather than the root.
    const FileDialog tfc{"T", "Transferfunktion (*.tfc)", "*.tfc"};
    EXPECT_EQ(fileDialogArguments(tfc, false, "/").back(), "--filename=/");
    EXPECT_EQ(fileDialogArguments(tfc, true, "/home/user").back(), "--filename=/home/user/");
    EXPECT_EQ(fileDialogArguments(tfc, true, "").back(), "--save");
}

// The dialogs start in the current folder, so each test runs in its own.
class FileDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        char cwd[PATH_MAX];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        oldFolder = cwd;
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        start = std::string("--filename=") + cwd + "/";
        tf.initialiseModel(1);
        tf.addPoint(0.4f, 0.1f, 0.7f, 0.3f);
        before = tf.colourTable;
    }
    void TearDown() override { ASSERT_EQ(chdir(oldFolder.c_str()), 0); }

    std::string oldFolder, start;
    TempFolder dir;
    TransferFunction tf;
    std::vector<float> before;
};

// The saved name gets .tfc unless it ends in it; a loaded name is used as it
// is; a cancel writes, loads and prints nothing.
TEST_F(FileDialogs, SaveAndLoadThroughTheDialogs)
{
    ScriptedZenity zenity;
    for (const std::string& answer : {dir.file("farben"), dir.file("schon.tfc"), std::string("CANCEL"),
                                      std::string("CANCEL"), dir.file("datensatz")})
        zenity.answer(answer);
    EXPECT_EQ(captureStdout([&] { tf.saveDialog(); tf.saveDialog(); }),
              "- Saving file '" + dir.file("farben.tfc") + "'...- File saved.- Saving file '" + dir.file("schon.tfc") +
                  "'...- File saved.");
    EXPECT_EQ(captureStdout([&] { tf.saveDialog(); tf.loadDialog(); }), "");
    ASSERT_EQ(rename(dir.file("farben.tfc").c_str(), dir.file("datensatz").c_str()), 0);
    TransferFunction julia;
    julia.initialiseModel(2);
    EXPECT_EQ(captureStdout([&] { julia.loadDialog(); }), "- Loading file '" + dir.file("datensatz") + "'...- File loaded.");
    EXPECT_EQ(julia.colourTable, before);
    EXPECT_EQ(dir.entries(), (Args{"datensatz", "schon.tfc"}));
    const Args save = {"--file-selection", "--title=Transferfunktion speichern",
                       "--file-filter=Transferfunktion (*.tfc) | *.tfc", "--save", start};
    const Args load = {"--file-selection", "--title=Datensatz \xC3\xB6" "ffnen",
                       "--file-filter=Transferfunktion (*.tfc) | *.tfc", start};
    EXPECT_EQ(zenity.calls(), (std::vector<Args>{save, save, save, load, load}));
}

// The colour dialog starts at the point's colour; an answer recolours the
// point and rebuilds the table, a cancel or an answer that is no colour
// keeps it. Without zenity every dialog says so and counts as cancelled.
TEST_F(FileDialogs, ColourDialogAndNoZenity)
{
    {
        ScriptedZenity zenity;
        for (const char* answer : {"CANCEL", "kein Farbwert", "rgb(0,0,255)"}) zenity.answer(answer);
        tf.colourEditIndex = 2;  // the white end point
        for (int i = 0; i < 3; ++i) {
            tf.chooseColour();
            EXPECT_EQ(tf.colourTable == before, i < 2) << "answer " << i;
        }
        EXPECT_EQ(zenity.calls(), (std::vector<Args>(3, Args{"--color-selection", "--color=rgb(255,255,255)"})));
        EXPECT_EQ((std::array{tf.points[2].red, tf.points[2].green, tf.points[2].blue}), (std::array{0.f, 0.f, 1.f}));
        EXPECT_GT(tf.colourTable[4 * (tableSize - 1) + 2], 0.99f);
        EXPECT_LT(tf.colourTable[4 * (tableSize - 1)], 0.01f) << "the colour table was not rebuilt";
    }
    ScriptedZenity missing(false);
    const std::vector<float> recoloured = tf.colourTable;
    const std::string none = "\nKein Dialog verf\xC3\xBCgbar: 'zenity' konnte nicht gestartet werden.";
    EXPECT_EQ(captureStdout([&] { tf.saveDialog(); }), none);
    EXPECT_EQ(captureStdout([&] { tf.loadDialog(); }), none);
    EXPECT_EQ(captureStdout([&] { tf.chooseColour(); }), none);
    EXPECT_TRUE(dir.entries().empty());
    EXPECT_EQ(tf.colourTable, recoloured);
}

}  // namespace
