// How shader sources are read: in pieces of at most 199 characters, each
// followed by one extra line feed.
#include "shaders/shader_set.h"
#include "support/scripted_zenity.h"

#include <gtest/gtest.h>

namespace {

TEST(SourceLoader, EveryPieceGetsAnExtraLineFeed)
{
    const std::string s198(198, 'x'), s199(199, 'y');
    const struct {
        std::string content, expected;
    } cases[] = {
        {"void main()\n{\n}\n", "void main()\n\n{\n\n}\n\n"},
        {"a\n\nb", "a\n\n\n\nb\n"},
        {"", ""},
        {s198 + "\nend\n", s198 + "\n\nend\n\n"},
        // 199 characters fill the buffer, so the line feed arrives as a piece of its own.
        {s199 + "\nend\n", s199 + "\n\n\nend\n\n"},
        {s199 + "Z\nend\n", s199 + "\nZ\n\nend\n\n"},
        {s199 + std::string(199, 'b') + std::string(102, 'c'),
         s199 + "\n" + std::string(199, 'b') + "\n" + std::string(102, 'c') + "\n"},
    };
    TempFolder dir;
    for (const auto& c : cases) {
        const std::string path = dir.file("shader.glsl");
        ASSERT_TRUE(writeFile(path, c.content));
        std::string text;
        EXPECT_EQ(captureStdout([&] { text = loadShaderSource(path); }), "");
        EXPECT_EQ(text, c.expected) << "from " << c.content.size() << " bytes";
    }
}

TEST(SourceLoader, MissingFileIsReportedByItsName)
{
    TempFolder dir;
    const std::string name = dir.file("no such shader.glsl");
    std::string text = "unset";
    EXPECT_EQ(captureStdout([&] { text = loadShaderSource(name); }),
              "\nShader Source File ('" + name + "') konnte nicht geladen werden... \n");
    EXPECT_EQ(text, "");
}

}  // namespace
