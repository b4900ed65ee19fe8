// Files, captured output and a stand-in for zenity.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

inline std::string readFile(const std::string& path)  // empty when unreadable
{
    std::ostringstream content;
    return content << std::ifstream(path, std::ios::binary).rdbuf(), content.str();
}

inline bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    return !out.write(bytes.data(), std::streamsize(bytes.size())).fail() && (out.close(), !out.fail());
}

// Everything the body prints on stdout, through stdio or straight to fd 1.
template <class Body> std::string printed(Body body)
{
    return testing::internal::CaptureStdout(), body(), testing::internal::GetCapturedStdout();
}

// A fresh folder under /tmp (0755: an unprivileged child can reach it),
// removed with all it holds.
class TempFolder {
public:
    TempFolder()
    {
        char name[] = "/tmp/fraktale-test-XXXXXX";
        if (!mkdtemp(name)) throw std::runtime_error("mkdtemp failed");
        chmod(path_.assign(name).c_str(), 0755);
    }
    ~TempFolder()
    {
        std::error_code ec;  // a test may have left it read-only
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> entries() const  // sorted
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename());
        return std::sort(names.begin(), names.end()), names;
    }

private:
    std::string path_;
};

// A `zenity` alone first on PATH while the object lives (not installed: no
// PATH but its empty folder) that logs its arguments and prints the next
// queued answer; "CANCEL", or none queued, exits 1 as a cancel does.
class ScriptedZenity {
public:
    explicit ScriptedZenity(bool installed = true) : oldPath_(std::getenv("PATH") ? std::getenv("PATH") : "")
    {
        const std::string bin = folder_.file("bin"), log = folder_.file("calls"), answers = folder_.file("answers");
        mkdir(bin.c_str(), 0755);
        setenv("PATH", installed ? (bin + ":" + oldPath_).c_str() : bin.c_str(), 1);
        if (!writeFile(answers, "") ||
            (installed && !writeFile(bin + "/zenity", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >>" + log +
                                                          "\necho '<end>' >>" + log + "\nIFS= read -r a <" + answers +
                                                          " || exit 1\nsed -i 1d " + answers +
                                                          "\n[ \"$a\" != CANCEL ] && printf '%s\\n' \"$a\"\n")))
            throw std::runtime_error("cannot write a zenity");
        chmod((bin + "/zenity").c_str(), 0755);
    }
    ~ScriptedZenity() { setenv("PATH", oldPath_.c_str(), 1); }
    void answer(const std::string& line) { std::ofstream(folder_.file("answers"), std::ios::app) << line << '\n'; }
    std::vector<std::vector<std::string>> calls() const  // arguments, without the program name
    {
        std::vector<std::vector<std::string>> result(1);
        std::istringstream log(readFile(folder_.file("calls")));
        for (std::string line; std::getline(log, line);)
            if (line == "<end>") result.emplace_back();
            else result.back().push_back(line);
        return result.pop_back(), result;
    }

private:
    TempFolder folder_;
    std::string oldPath_;
};
