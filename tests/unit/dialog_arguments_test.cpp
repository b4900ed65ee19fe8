// The zenity command lines and the parsing of its colour answer; no process
// is started here.
#include "platform/dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

bool has(const std::vector<std::string>& argv, const std::string& argument)
{
    return std::find(argv.begin(), argv.end(), argument) != argv.end();
}

const FileDialog tfcSave{"Transferfunktion speichern", "Transferfunktion (*.tfc)", "*.tfc"};

TEST(DialogArguments, FileSelection)
{
    const auto save = fileDialogArguments(tfcSave, true, "/home/user/fraktale");
    ASSERT_FALSE(save.empty());
    EXPECT_EQ(save[0], "zenity");
    EXPECT_TRUE(has(save, "--file-selection"));
    EXPECT_TRUE(has(save, "--title=Transferfunktion speichern"));
    EXPECT_TRUE(has(save, "--file-filter=Transferfunktion (*.tfc) | *.tfc"));
    EXPECT_TRUE(has(save, "--save"));
    EXPECT_TRUE(has(save, "--filename=/home/user/fraktale/"));

    const auto open = fileDialogArguments(FileDialog{"Datensatz \xC3\xB6" "ffnen", "Transferfunktion (*.tfc)", "*.tfc"},
                                          false, "/");
    EXPECT_FALSE(has(open, "--save"));
    EXPECT_TRUE(has(open, "--title=Datensatz \xC3\xB6" "ffnen"));
    EXPECT_TRUE(has(open, "--filename=/"));

    // No folder (getcwd failed): no starting folder rather than the root.
    const auto nowhere = fileDialogArguments(tfcSave, true, "");
    EXPECT_TRUE(std::none_of(nowhere.begin(), nowhere.end(),
                             [](const std::string& a) { return a.rfind("--filename", 0) == 0; }));

    // The vector goes to the program as it is, with no shell to split it.
    const auto spaced = fileDialogArguments(FileDialog{"a 'b' \"c\"", "TIFF (*.tif)", "*.tif"}, true, "/x y");
    EXPECT_TRUE(has(spaced, "--title=a 'b' \"c\""));
    EXPECT_TRUE(has(spaced, "--filename=/x y/"));
}

TEST(DialogArguments, ColourSelectionStartsAtThePointsColour)
{
    const auto argv = colourDialogArguments(Rgb8{255, 127, 0});
    ASSERT_FALSE(argv.empty());
    EXPECT_EQ(argv[0], "zenity");
    EXPECT_TRUE(has(argv, "--color-selection"));
    EXPECT_TRUE(has(argv, "--color=rgb(255,127,0)"));
}

TEST(DialogArguments, ColourAnswers)
{
    struct Answer {
        const char* text;
        int red, green, blue;
    };
    for (const Answer& a : {Answer{"rgb(255,127,0)\n", 255, 127, 0},
                            Answer{"rgba(1,2,3,0.5)", 1, 2, 3},
                            Answer{"#0a0b0c", 10, 11, 12},
                            Answer{"#FFfe00\r\n", 255, 254, 0},
                            Answer{"rgb(300,-5,127.6)", 255, 0, 128}}) {
        Rgb8 c{-1, -1, -1};
        ASSERT_TRUE(parseColourAnswer(a.text, c)) << a.text;
        EXPECT_EQ(c.red, a.red) << a.text;
        EXPECT_EQ(c.green, a.green) << a.text;
        EXPECT_EQ(c.blue, a.blue) << a.text;
    }

    for (const char* garbage : {"", "\n", "garbage", "rgb(1,2)", "rgb(1,2,3", "rgba(1,2,3)", "#0a0b0", "#0a0b0c0d",
                                "#zzzzzz", "255,127,0"}) {
        Rgb8 c{7, 8, 9};
        EXPECT_FALSE(parseColourAnswer(garbage, c)) << garbage;
        EXPECT_EQ(c.red, 7) << garbage;
        EXPECT_EQ(c.green, 8) << garbage;
        EXPECT_EQ(c.blue, 9) << garbage;
    }
}

}  // namespace
