// Files, processes and a stand-in for zenity.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

inline std::string readFile(const std::string& path)  // empty when unreadable
{
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

inline bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    return !out.write(bytes.data(), std::streamsize(bytes.size())).fail() && (out.close(), !out.fail());
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
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> entries() const  // sorted
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string path_;
};

// An executable `zenity` first on PATH while the object lives (or, not
// installed, a PATH without any). Each call appends its arguments to a log
// and prints the next queued answer, status 0; "CANCEL", or nothing
// queued, exits 1 as a cancel does.
class ScriptedZenity {
public:
    explicit ScriptedZenity(bool installed = true) : oldPath_(std::getenv("PATH") ? std::getenv("PATH") : "")
    {
        // Alone in a folder of its own, so nothing else shadows a program on PATH.
        const std::string bin = folder_.file("bin"), log = folder_.file("calls"), answers = folder_.file("answers");
        mkdir(bin.c_str(), 0755);
        setenv("PATH", installed ? (bin + ":" + oldPath_).c_str() : bin.c_str(), 1);
        writeFile(answers, "");
        if (installed && !writeFile(bin + "/zenity", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >>" + log +
                                                         "\necho '<end>' >>" + log + "\nIFS= read -r a <" + answers +
                                                         " || exit 1\nsed -i 1d " + answers +
                                                         "\n[ \"$a\" != CANCEL ] && printf '%s\\n' \"$a\"\n"))
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

// Everything the body prints on stdout, through stdio or straight to fd 1.
inline std::string captureStdout(const std::function<void()>& body)
{
    std::fflush(stdout);
    FILE* sink = std::tmpfile();
    const int saved = dup(STDOUT_FILENO);
    dup2(fileno(sink), STDOUT_FILENO);
    body();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::string text(size_t(std::ftell(sink)), '\0');
    std::rewind(sink);
    text.resize(std::fread(text.data(), 1, text.size(), sink));
    std::fclose(sink);
    return text;
}

// Runs body in a forked child: exit code 0 when body returned true, 1 when
// false, -1 on a signal. No gtest assertions in body.
struct ChildOutcome {
    int exitCode = -1;
    std::string output;  // its stdout
};

inline ChildOutcome runInChild(const std::function<bool()>& body)
{
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    std::fflush(nullptr);  // or the child prints the parent's pending output again
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        const bool ok = body();
        std::fflush(stdout);
        _exit(ok ? 0 : 1);
    }
    close(fds[1]);
    ChildOutcome outcome;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) outcome.output.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}
