// How shader sources are read: in pieces of at most 199 characters, each
// followed by one extra line feed.
#include "shaders/shader_set.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

class SourceLoader : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/fraktale-source-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }

    void TearDown() override
    {
        for (const std::string& f : files) std::remove(f.c_str());
        if (!folder.empty()) rmdir(folder.c_str());
    }

    std::string write(const std::string& name, const std::string& content)
    {
        const std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        files.push_back(path);
        return path;
    }

    // Loads and also returns what went to standard output meanwhile.
    static std::string load(const std::string& path, std::string& printed)
    {
        testing::internal::CaptureStdout();
        std::string text = loadShaderSource(path);
        std::fflush(stdout);
        printed = testing::internal::GetCapturedStdout();
        return text;
    }

    std::string folder;
    std::vector<std::string> files;
};

TEST_F(SourceLoader, EveryLineGetsAnExtraLineFeed)
{
    std::string printed;
    EXPECT_EQ(load(write("a.glsl", "void main()\n{\n}\n"), printed), "void main()\n\n{\n\n}\n\n");
    EXPECT_EQ(printed, "");
    EXPECT_EQ(load(write("b.glsl", "a\n\nb"), printed), "a\n\n\n\nb\n");
}

TEST_F(SourceLoader, LongLinesAreCutAfter199Characters)
{
    std::string printed;
    const std::string s198(198, 'x');
    EXPECT_EQ(load(write("198.glsl", s198 + "\nend\n"), printed), s198 + "\n\nend\n\n");

    // 199 characters fill the buffer, so the line feed arrives as a piece of its own.
    const std::string s199(199, 'y');
    EXPECT_EQ(load(write("199.glsl", s199 + "\nend\n"), printed), s199 + "\n\n\nend\n\n");

    EXPECT_EQ(load(write("200.glsl", s199 + "Z\nend\n"), printed), s199 + "\nZ\n\nend\n\n");

    const std::string s500 = std::string(199, 'a') + std::string(199, 'b') + std::string(102, 'c');
    EXPECT_EQ(load(write("500.glsl", s500), printed),
              std::string(199, 'a') + "\n" + std::string(199, 'b') + "\n" + std::string(102, 'c') + "\n");
}

TEST_F(SourceLoader, EmptyFileGivesNothing)
{
    std::string printed = "unset";
    EXPECT_EQ(load(write("empty.glsl", ""), printed), "");
    EXPECT_EQ(printed, "");
}

TEST_F(SourceLoader, MissingFileIsReportedByItsName)
{
    const std::string name = folder + "/no such shader.glsl";
    std::string printed;
    EXPECT_EQ(load(name, printed), "");
    EXPECT_EQ(printed, "\nShader Source File ('" + name + "') konnte nicht geladen werden... \n");
}

}  // namespace
