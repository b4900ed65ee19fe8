// The dialogs: the extension rule, the colour answers zenity gives, and the
// colour dialog with a scripted zenity standing in, or none.
#include "platform/dialogs.h"
#include "screenshot/screenshot.h"
#include "support/scripted_zenity.h"
#include "transfer/transfer_function.h"

#include <array>
#include <climits>

static std::array<int, 3> rgb(Rgb8 c) { return {c.red, c.green, c.blue}; }

// The extension is added unless the name already ends in it exactly, case
// included; names no longer than the extension compare as a whole.
TEST(DialogArguments, EnsureExtensionAndColourAnswers)
{
    const char* names[][3] = {{"/home/u/bild", ".tif", "/home/u/bild.tif"}, {"/home/u/bild.tif", ".tif", "/home/u/bild.tif"},
                              {"/u/bild.TIF", ".tif", "/u/bild.TIF.tif"},    {"/u/bild.tiff", ".tif", "/u/bild.tiff.tif"},
                              {"/u/x.tif/bild", ".tif", "/u/x.tif/bild.tif"}, {"farben.tfc", ".tfc", "farben.tfc"},
                              {"farben.tif", ".tfc", "farben.tif.tfc"},      {"", ".tif", ".tif"},
                              {"tif", ".tif", "tif.tif"},                    {".tif", ".tif", ".tif"},
                              {".tfc", ".tif", ".tfc.tif"}};
    for (const auto& [name, ext, expected] : names) EXPECT_EQ(ensureExtension(name, ext), expected) << name;

    for (const auto& [text, expected] : {std::pair{"rgb(255,127,0)\n", std::array{255, 127, 0}}, {"rgba(1,2,3,0.5)", {1, 2, 3}},
                                         {"#0a0b0c", {10, 11, 12}}, {"#FFfe00\r\n", {255, 254, 0}},
                                         {"rgb(300,-5,127.6)", {255, 0, 128}}}) {
        Rgb8 c{-1, -1, -1};
        EXPECT_TRUE(parseColourAnswer(text, c) && rgb(c) == expected) << text;
    }
    for (const char* garbage : {"", "garbage", "rgb(1,2)", "rgb(1,2,3", "rgba(1,2,3)", "#0a0b0", "#0a0b0c0d", "#zzzzzz"}) {
        Rgb8 c{7, 8, 9};
        EXPECT_TRUE(!parseColourAnswer(garbage, c) && rgb(c) == (std::array{7, 8, 9})) << garbage;
    }
    // Without a folder (getcwd failed) the dialog gets none rather than the root.
    const FileDialog tfc{"T", "Transferfunktion (*.tfc)", "*.tfc"};
    EXPECT_EQ(fileDialogArguments(tfc, false, "/").back(), "--filename=/");
    EXPECT_EQ(fileDialogArguments(tfc, true, "/home/user").back(), "--filename=/home/user/");
    EXPECT_EQ(fileDialogArguments(tfc, true, "").back(), "--save");
}

// An answer recolours the point, a cancel or a non-colour keeps it; without
// zenity every dialog says so and counts as cancelled.
TEST(Dialogs, ColourDialogAndNoZenity)
{
    TempFolder dir;  // the working folder: a file dialog without zenity must not write
    char cwd[PATH_MAX];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd) && chdir(dir.path().c_str()) == 0);
    TransferFunction tf;
    tf.initialiseModel(1);
    const std::vector<float> before = tf.colourTable;
    {
        ScriptedZenity zenity;
        tf.colourEditIndex = 1;  // the white end point
        for (const char* answer : {"CANCEL", "kein Farbwert", "rgb(0,0,255)"}) {
            zenity.answer(answer);
            tf.chooseColour();
            EXPECT_EQ(tf.colourTable == before, answer[0] != 'r') << answer;
        }
        EXPECT_EQ(zenity.calls(), std::vector(3, std::vector<std::string>{"--color-selection", "--color=rgb(255,255,255)"}));
        EXPECT_EQ((std::array{tf.points[1].red, tf.points[1].green, tf.points[1].blue}), (std::array{0.f, 0.f, 1.f}));
        EXPECT_TRUE(tf.colourTable[4 * tableSize - 2] > 0.99f && tf.colourTable[4 * tableSize - 4] < 0.01f);
    }
    ScriptedZenity missing(false);
    const std::vector<float> recoloured = tf.colourTable;
    const std::string none = "\nKein Dialog verf\xC3\xBCgbar: 'zenity' konnte nicht gestartet werden.";
    EXPECT_EQ(printed([&] { tf.saveDialog(), tf.loadDialog(), tf.chooseColour(); }), none + none + none);
    EXPECT_TRUE(dir.entries().empty() && tf.colourTable == recoloured);
    ASSERT_EQ(chdir(cwd), 0);
}
