// Shader sources are read in pieces of at most 199 characters, each
// followed by one extra line feed; a missing file is reported by its name.
#include "shaders/shader_set.h"
#include "support/scripted_zenity.h"

TEST(SourceLoader, EveryPieceGetsAnExtraLineFeed)
{
    const std::string x(198, 'x'), y(199, 'y'), b(199, 'b'), c(102, 'c');
    TempFolder dir;
    // 199 characters fill the buffer, so a line feed after them arrives as a piece of its own.
    for (const auto& [content, expected] : std::vector<std::pair<std::string, std::string>>{
             {"void main()\n{\n}\n", "void main()\n\n{\n\n}\n\n"}, {"a\n\nb", "a\n\n\n\nb\n"}, {"", ""},
             {x + "\nend\n", x + "\n\nend\n\n"}, {y + "\nend\n", y + "\n\n\nend\n\n"}, {y + "Z\n", y + "\nZ\n\n"},
             {y + b + c, y + "\n" + b + "\n" + c + "\n"}}) {
        ASSERT_TRUE(writeFile(dir.file("shader.glsl"), content));
        std::string text;
        EXPECT_EQ(printed([&] { text = loadShaderSource(dir.file("shader.glsl")); }), "");
        EXPECT_EQ(text, expected) << "from " << content.size() << " bytes";
    }
    const std::string missing = dir.file("no such shader.glsl");
    EXPECT_EQ(printed([&] { EXPECT_EQ(loadShaderSource(missing), ""); }),
              "\nShader Source File ('" + missing + "') konnte nicht geladen werden... \n");
}
