#include "support/scripted_zenity.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempFolder::TempFolder()
{
    char name[] = "/tmp/fraktale-test-XXXXXX";
    if (!mkdtemp(name)) throw std::runtime_error("mkdtemp failed");
    path_ = name;
    chmod(name, 0755);
}

TempFolder::~TempFolder()
{
    std::error_code ec;  // a test may have left it read-only
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::vector<std::string> TempFolder::entries() const
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

ScriptedZenity::ScriptedZenity(bool installed) : oldPath_(std::getenv("PATH") ? std::getenv("PATH") : "")
{
    // Alone in a folder of its own, so nothing else shadows a program on PATH.
    const std::string bin = folder_.file("bin"), log = folder_.file("calls"), answers = folder_.file("answers");
    mkdir(bin.c_str(), 0755);
    setenv("PATH", installed ? (bin + ":" + oldPath_).c_str() : bin.c_str(), 1);
    if (installed && !writeFile(bin + "/zenity", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >>" + log +
                                                     "\necho '<end>' >>" + log + "\nIFS= read -r a <" + answers +
                                                     " || exit 1\nsed -i 1d " + answers +
                                                     "\n[ \"$a\" != CANCEL ] && printf '%s\\n' \"$a\"\n"))
        throw std::runtime_error("cannot write a zenity");
    chmod((bin + "/zenity").c_str(), 0755);
    writeFile(answers, "");
}

ScriptedZenity::~ScriptedZenity() { setenv("PATH", oldPath_.c_str(), 1); }

void ScriptedZenity::answer(const std::string& line) { std::ofstream(folder_.file("answers"), std::ios::app) << line << '\n'; }

std::vector<std::vector<std::string>> ScriptedZenity::calls() const
{
    std::vector<std::vector<std::string>> result(1);
    std::istringstream log(readFile(folder_.file("calls")));
    for (std::string line; std::getline(log, line);)
        if (line == "<end>") result.emplace_back();
        else result.back().push_back(line);
    result.pop_back();
    return result;
}

std::string captureStdout(const std::function<void()>& body)
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

ChildOutcome runInChild(const std::function<bool()>& body, bool asNobody)
{
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    std::fflush(nullptr);  // or the child prints the parent's pending output again
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        if (asNobody && geteuid() == 0 && (setgroups(0, nullptr) || setgid(65534) || setuid(65534)))
            _exit(couldNotDropPrivileges);
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

std::string readFile(const std::string& path)
{
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    return !out.write(bytes.data(), std::streamsize(bytes.size())).fail() && (out.close(), !out.fail());
}
