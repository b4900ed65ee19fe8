// The dialogs: the zenity command lines and the parsing of its colour answer,
// then the dialogs as the user meets them, with a scripted zenity standing in
// for the real one: what a chosen name or colour turns into, and that a cancel
// or a missing zenity changes nothing.
#include "platform/dialogs.h"
#include "screenshot/screenshot.h"
#include "support/scripted_zenity.h"
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <climits>
#include <cstdio>

namespace {

using Args = std::vector<std::string>;

const std::string kTfcFilter = "--file-filter=Transferfunktion (*.tfc) | *.tfc";
const std::string kNoZenity = "\nKein Dialog verf\xC3\xBCgbar: 'zenity' konnte nicht gestartet werden.";

// The save dialog's name rule: the extension is added unless the name
// already ends in it exactly, case included.
TEST(DialogArguments, EnsureExtension)
{
    const struct {
        const char *name, *ext, *expected;
    } cases[] = {
        {"/home/u/bild", ".tif", "/home/u/bild.tif"},        {"/home/u/bild.tif", ".tif", "/home/u/bild.tif"},
        {"/home/u/bild.TIF", ".tif", "/home/u/bild.TIF.tif"}, {"/home/u/bild.tiff", ".tif", "/home/u/bild.tiff.tif"},
        {"/home/u/x.tif/bild", ".tif", "/home/u/x.tif/bild.tif"},
        {"farben", ".tfc", "farben.tfc"},         {"farben.tfc", ".tfc", "farben.tfc"},
        {"farben.TFC", ".tfc", "farben.TFC.tfc"}, {"farben.tif", ".tfc", "farben.tif.tfc"},
        // Names no longer than the extension compare as a whole.
        {"", ".tif", ".tif"}, {"a", ".tif", "a.tif"}, {"tif", ".tif", "tif.tif"}, {".tif", ".tif", ".tif"},
        {".tfc", ".tif", ".tfc.tif"},
    };
    for (const auto& c : cases) EXPECT_EQ(ensureExtension(c.name, c.ext), c.expected) << "name '" << c.name << "'";
}

// A folder with a trailing slash opens the dialog there with an empty name;
// without a folder (getcwd failed) the dialog gets none rather than the root.
// The full command lines are checked with the scripted zenity below.
TEST(DialogArguments, StartingFolder)
{
    const FileDialog tfc{"Transferfunktion speichern", "Transferfunktion (*.tfc)", "*.tfc"};
    EXPECT_EQ(fileDialogArguments(tfc, false, "/").back(), "--filename=/");
    EXPECT_EQ(fileDialogArguments(tfc, true, "/home/user").back(), "--filename=/home/user/");
    EXPECT_EQ(fileDialogArguments(tfc, true, "").back(), "--save");
}

TEST(DialogArguments, ColourAnswers)
{
    const struct {
        const char* text;
        int red, green, blue;
    } answers[] = {{"rgb(255,127,0)\n", 255, 127, 0}, {"rgba(1,2,3,0.5)", 1, 2, 3},      {"#0a0b0c", 10, 11, 12},
                   {"#FFfe00\r\n", 255, 254, 0},      {"rgb(300,-5,127.6)", 255, 0, 128}};
    for (const auto& a : answers) {
        Rgb8 c{-1, -1, -1};
        ASSERT_TRUE(parseColourAnswer(a.text, c)) << a.text;
        EXPECT_EQ((std::array<int, 3>{c.red, c.green, c.blue}), (std::array<int, 3>{a.red, a.green, a.blue})) << a.text;
    }
    for (const char* garbage : {"", "\n", "garbage", "rgb(1,2)", "rgb(1,2,3", "rgba(1,2,3)", "#0a0b0", "#0a0b0c0d",
                                "#zzzzzz", "255,127,0"}) {
        Rgb8 c{7, 8, 9};
        EXPECT_FALSE(parseColourAnswer(garbage, c)) << garbage;
        EXPECT_EQ((std::array<int, 3>{c.red, c.green, c.blue}), (std::array<int, 3>{7, 8, 9})) << garbage;
    }
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
        startArg = std::string("--filename=") + cwd + "/";
        tf.initialiseModel(1);
        tf.addPoint(0.4f, 0.1f, 0.7f, 0.3f);
        before = values(tf);
    }

    void TearDown() override { ASSERT_EQ(chdir(oldFolder.c_str()), 0); }

    static std::vector<float> values(const TransferFunction& t)
    {
        std::vector<float> out;
        for (const ControlPoint& p : t.points) out.insert(out.end(), {p.x, p.y, p.red, p.green, p.blue});
        return out;
    }

    std::string oldFolder, startArg;
    TempFolder dir;
    TransferFunction tf;
    std::vector<float> before;
};

// The name gets .tfc unless it ends in it; a loaded name is used unchanged.
TEST_F(FileDialogs, SaveAddsTfcAndLoadTakesTheNameAsItIs)
{
    ScriptedZenity zenity;
    zenity.answer(dir.file("farben"));
    zenity.answer(dir.file("schon.tfc"));
    EXPECT_EQ(captureStdout([&] { tf.saveDialog(); tf.saveDialog(); }),
              "- Saving file '" + dir.file("farben.tfc") + "'...- File saved.- Saving file '" +
                  dir.file("schon.tfc") + "'...- File saved.");
    EXPECT_EQ(dir.entries(), (Args{"farben.tfc", "schon.tfc"}));
    const std::string noExtension = dir.file("datensatz");
    ASSERT_EQ(rename(dir.file("farben.tfc").c_str(), noExtension.c_str()), 0);

    TransferFunction julia;
    julia.initialiseModel(2);
    zenity.answer(noExtension);
    EXPECT_EQ(captureStdout([&] { julia.loadDialog(); }), "- Loading file '" + noExtension + "'...- File loaded.");
    EXPECT_EQ(values(julia), before);

    const Args save = {"--file-selection", "--title=Transferfunktion speichern", kTfcFilter, "--save", startArg};
    const Args load = {"--file-selection", "--title=Datensatz \xC3\xB6" "ffnen", kTfcFilter, startArg};
    EXPECT_EQ(zenity.calls(), (std::vector<Args>{save, save, load}));
}

TEST_F(FileDialogs, CancelledDialogsWriteLoadAndPrintNothing)
{
    ScriptedZenity zenity;
    zenity.cancel();
    zenity.cancel();
    EXPECT_EQ(captureStdout([&] { tf.saveDialog(); tf.loadDialog(); }), "");
    EXPECT_EQ(zenity.calls().size(), 2u);
    EXPECT_TRUE(dir.entries().empty());
    EXPECT_EQ(values(tf), before);
}

// The dialog starts at the point's colour; an answer recolours the point and
// rebuilds the table, while a cancel or an answer that is no colour keeps it.
TEST_F(FileDialogs, ColourDialogRecoloursThePoint)
{
    ScriptedZenity zenity;
    zenity.cancel();
    zenity.answer("kein Farbwert");
    zenity.answer("rgb(0,0,255)");
    tf.colourEditIndex = 2;  // the white end point
    for (int i = 0; i < 2; ++i) {
        tf.chooseColour();
        EXPECT_EQ(values(tf), before);
    }
    tf.chooseColour();
    EXPECT_EQ(zenity.calls(), (std::vector<Args>(3, Args{"--color-selection", "--color=rgb(255,255,255)"})));
    EXPECT_EQ(tf.points[2].red, 0.0f);
    EXPECT_EQ(tf.points[2].blue, 1.0f);
    const float* lastTexel = &tf.colourTable[4 * (tableSize - 1)];
    EXPECT_LT(lastTexel[0], 0.01f) << "the colour table was not rebuilt";
    EXPECT_GT(lastTexel[2], 0.99f) << "the colour table was not rebuilt";
}

TEST_F(FileDialogs, WithoutZenityEveryDialogSaysSoAndCountsAsCancelled)
{
    TempFolder emptyBin;
    ScopedPath path(emptyBin.path());
    tf.colourEditIndex = 2;
    EXPECT_EQ(captureStdout([&] { tf.saveDialog(); }), kNoZenity);
    EXPECT_EQ(captureStdout([&] { tf.loadDialog(); }), kNoZenity);
    EXPECT_EQ(captureStdout([&] { tf.chooseColour(); }), kNoZenity);
    EXPECT_TRUE(dir.entries().empty());
    EXPECT_EQ(values(tf), before);
}

}  // namespace
