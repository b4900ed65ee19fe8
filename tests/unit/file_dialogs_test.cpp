// The dialogs as the user meets them, with a scripted zenity standing in for
// the real one: what each dialog is asked with, what a chosen name turns into,
// and that a cancel or a missing zenity changes nothing.
#include "platform/dialogs.h"
#include "support/scripted_zenity.h"
#include "transfer/transfer_function.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <climits>

namespace {

using Args = std::vector<std::string>;

const std::string kTfcFilter = "--file-filter=Transferfunktion (*.tfc) | *.tfc";
const std::string kNoZenity = "\nKein Dialog verf\xC3\xBCgbar: 'zenity' konnte nicht gestartet werden.";

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
    }

    void TearDown() override { ASSERT_EQ(chdir(oldFolder.c_str()), 0); }

    std::string oldFolder;
    std::string startArg;
    TempFolder dir;
    TransferFunction tf;
};

std::vector<float> pointValues(const TransferFunction& t)
{
    std::vector<float> out;
    for (const ControlPoint& p : t.points) out.insert(out.end(), {p.x, p.y, p.red, p.green, p.blue});
    return out;
}

bool has(const Args& args, const std::string& arg)
{
    return std::find(args.begin(), args.end(), arg) != args.end();
}

TEST_F(FileDialogs, SaveDialogStartsInTheCurrentFolderAndAddsTfc)
{
    ScriptedZenity zenity;
    zenity.answer(dir.file("farben"));
    zenity.answer(dir.file("schon.tfc"));
    const std::string out = captureStdout([&] {
        tf.saveDialog();
        tf.saveDialog();
    });

    const Args expected = {"--file-selection", "--title=Transferfunktion speichern", kTfcFilter, "--save", startArg};
    EXPECT_EQ(zenity.calls(), (std::vector<Args>{expected, expected}));
    EXPECT_EQ(out, "- Saving file '" + dir.file("farben.tfc") + "'...- File saved.- Saving file '" +
                       dir.file("schon.tfc") + "'...- File saved.");
    EXPECT_EQ(dir.entries(), (Args{"farben.tfc", "schon.tfc"}));

    TransferFunction reloaded;
    reloaded.initialiseModel(2);
    captureStdout([&] { ASSERT_TRUE(reloaded.loadFile(dir.file("farben.tfc"))); });
    EXPECT_EQ(pointValues(reloaded), pointValues(tf));
}

TEST_F(FileDialogs, CancelledDialogsWriteLoadAndPrintNothing)
{
    ScriptedZenity zenity;
    zenity.cancel();
    zenity.cancel();
    const std::vector<float> before = pointValues(tf);
    const std::string out = captureStdout([&] {
        tf.saveDialog();
        tf.loadDialog();
    });
    EXPECT_EQ(zenity.calls().size(), 2u);
    EXPECT_EQ(out, "");
    EXPECT_TRUE(dir.entries().empty());
    EXPECT_EQ(pointValues(tf), before);
}

TEST_F(FileDialogs, LoadDialogLoadsTheChosenNameUnchanged)
{
    const std::string path = dir.file("datensatz");  // no extension, and none is added
    captureStdout([&] { ASSERT_TRUE(tf.saveFile(path)); });
    TransferFunction julia;
    julia.initialiseModel(2);

    ScriptedZenity zenity;
    zenity.answer(path);
    const std::string out = captureStdout([&] { julia.loadDialog(); });

    EXPECT_EQ(zenity.calls(),
              (std::vector<Args>{{"--file-selection", "--title=Datensatz \xC3\xB6" "ffnen", kTfcFilter, startArg}}));
    EXPECT_EQ(out, "- Loading file '" + path + "'...- File loaded.");
    EXPECT_EQ(pointValues(julia), pointValues(tf));
}

TEST_F(FileDialogs, ColourDialogReadsEveryAnswerFormAndCancel)
{
    ScriptedZenity zenity;
    zenity.answer("rgb(255,128,0)");
    zenity.answer("rgba(1,2,3,0.5)");
    zenity.answer("#0a0B0c");
    zenity.answer("rgb(300,-4,127.6)");
    zenity.answer("kein Farbwert");
    zenity.cancel();

    const struct {
        bool ok;
        int red, green, blue;
    } expected[] = {{true, 255, 128, 0}, {true, 1, 2, 3},     {true, 10, 11, 12},
                    {true, 255, 0, 128}, {false, 7, 7, 7},    {false, 7, 7, 7}};
    for (const auto& e : expected) {
        Rgb8 chosen{7, 7, 7};
        EXPECT_EQ(chooseColourDialog(Rgb8{10, 20, 30}, chosen), e.ok);
        if (e.ok) {
            EXPECT_EQ(chosen.red, e.red);
            EXPECT_EQ(chosen.green, e.green);
            EXPECT_EQ(chosen.blue, e.blue);
        }
    }
    const std::vector<Args> calls = zenity.calls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_TRUE(has(calls[0], "--color-selection"));
    EXPECT_TRUE(has(calls[0], "--color=rgb(10,20,30)")) << "the dialog does not start from the given colour";
}

TEST_F(FileDialogs, ChosenColourRecoloursThePointAndCancelKeepsIt)
{
    ScriptedZenity zenity;
    zenity.answer("rgb(0,0,255)");
    zenity.cancel();
    tf.colourEditIndex = 2;  // the white end point
    tf.chooseColour();
    ASSERT_EQ(zenity.calls().size(), 1u);
    EXPECT_TRUE(has(zenity.calls()[0], "--color=rgb(255,255,255)"));
    EXPECT_EQ(tf.points[2].red, 0.0f);
    EXPECT_EQ(tf.points[2].blue, 1.0f);
    const float* lastTexel = &tf.colourTable[4 * (tableSize - 1)];
    EXPECT_LT(lastTexel[0], lastTexel[2]) << "the colour table was not rebuilt";

    const std::vector<float> before = pointValues(tf);
    tf.chooseColour();
    EXPECT_EQ(pointValues(tf), before);
}

TEST_F(FileDialogs, WithoutZenityEveryDialogSaysSoAndCountsAsCancelled)
{
    TempFolder emptyBin;
    ScopedPath path(emptyBin.path());
    std::string chosen;
    Rgb8 colour;
    bool opened = true;
    EXPECT_EQ(captureStdout([&] { opened = openFileDialog(FileDialog{"t", "f", "*"}, chosen); }), kNoZenity);
    EXPECT_FALSE(opened);
    EXPECT_EQ(captureStdout([&] { opened = chooseColourDialog(Rgb8{}, colour); }), kNoZenity);
    EXPECT_FALSE(opened);

    const std::vector<float> before = pointValues(tf);
    EXPECT_EQ(captureStdout([&] { tf.saveDialog(); }), kNoZenity);
    EXPECT_EQ(captureStdout([&] { tf.loadDialog(); }), kNoZenity);
    EXPECT_TRUE(dir.entries().empty());
    EXPECT_EQ(pointValues(tf), before);
}

}  // namespace
