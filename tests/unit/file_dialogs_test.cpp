// The dialogs: the extension rule, the colour answers zenity gives, and the
// colour dialog with a scripted zenity standing in, or none. (The file
// dialogs as the user meets them are in the whole-program journey.)
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

// The colour dialog starts at the point's colour; an answer recolours the
// point and rebuilds the table, a cancel or an answer that is no colour
// keeps it. Without zenity every dialog says so and counts as cancelled.
TEST(Dialogs, ColourDialogAndNoZenity)
{
    // In a folder of its own: a file dialog without zenity must not write.
    TempFolder dir;
    char cwd[PATH_MAX];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd) && chdir(dir.path().c_str()) == 0);
    TransferFunction tf;
    tf.initialiseModel(1);
    const std::vector<float> before = tf.colourTable;
    {
        ScriptedZenity zenity;
        for (const char* answer : {"CANCEL", "kein Farbwert", "rgb(0,0,255)"}) zenity.answer(answer);
        tf.colourEditIndex = 1;  // the white end point
        for (int i = 0; i < 3; ++i) {
            tf.chooseColour();
            EXPECT_EQ(tf.colourTable == before, i < 2) << "answer " << i;
        }
        EXPECT_EQ(zenity.calls(), (std::vector<Args>(3, Args{"--color-selection", "--color=rgb(255,255,255)"})));
        EXPECT_EQ((std::array{tf.points[1].red, tf.points[1].green, tf.points[1].blue}), (std::array{0.f, 0.f, 1.f}));
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
    ASSERT_EQ(chdir(cwd), 0);
}

}  // namespace
