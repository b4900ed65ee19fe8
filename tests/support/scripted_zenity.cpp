#include "support/scripted_zenity.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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
    // A test may have left the folder read-only; without write permission
    // its entries could not be removed by a user other than root.
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::vector<std::string> TempFolder::entries() const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(path_, ec)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

ScopedPath::ScopedPath(const std::string& value)
{
    if (const char* old = std::getenv("PATH")) {
        hadValue_ = true;
        oldValue_ = old;
    }
    setenv("PATH", value.c_str(), 1);
}

ScopedPath::~ScopedPath()
{
    if (hadValue_)
        setenv("PATH", oldValue_.c_str(), 1);
    else
        unsetenv("PATH");
}

namespace {

// The script sits alone in a folder of its own, so that nothing else the
// test folder holds shadows a program on PATH.
std::string scriptFolder(const TempFolder& folder)
{
    const std::string bin = folder.file("bin");
    mkdir(bin.c_str(), 0755);
    const char* old = std::getenv("PATH");
    return old && *old ? bin + ":" + old : bin;
}

}  // namespace

ScriptedZenity::ScriptedZenity() : path_(scriptFolder(folder_))
{
    // The folder comes from mkdtemp and holds no quote, so single quotes do.
    const std::string script = folder_.file("bin/zenity");
    const bool written = writeFile(script, "#!/bin/sh\n"
                                           "log='" + folder_.file("calls.log") + "'\n"
                                           "answers='" + folder_.file("answers") + "'\n"
                                           "for arg in \"$@\"; do printf '%s\\n' \"$arg\" >>\"$log\"; done\n"
                                           "printf '%s\\n' '" + kCallEnd + "' >>\"$log\"\n"
                                           "[ -s \"$answers\" ] || exit 1\n"
                                           "IFS= read -r answer <\"$answers\"\n"
                                           "sed '1d' \"$answers\" >\"$answers.next\" && mv \"$answers.next\" \"$answers\"\n"
                                           "[ \"$answer\" = CANCEL ] && exit 1\n"
                                           "printf '%s\\n' \"$answer\"\n");
    if (!written || chmod(script.c_str(), 0755) != 0) throw std::runtime_error("cannot write " + script);
}

void ScriptedZenity::answer(const std::string& text)
{
    if (text.find('\n') != std::string::npos) throw std::invalid_argument("an answer is a single line");
    std::ofstream(folder_.file("answers"), std::ios::app) << text << '\n';
}

std::vector<std::vector<std::string>> ScriptedZenity::calls() const
{
    std::vector<std::vector<std::string>> result;
    std::istringstream log(readFile(folder_.file("calls.log")));
    std::vector<std::string> current;
    for (std::string line; std::getline(log, line);) {
        if (line != kCallEnd) {
            current.push_back(line);
        } else {
            result.push_back(current);
            current.clear();
        }
    }
    return result;
}

std::string captureStdout(const std::function<void()>& body)
{
    std::fflush(stdout);
    FILE* sink = std::tmpfile();
    const int saved = dup(STDOUT_FILENO);
    if (!sink || saved < 0) throw std::runtime_error("cannot capture stdout");
    dup2(fileno(sink), STDOUT_FILENO);
    body();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::rewind(sink);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, sink)) > 0;) text.append(buffer, n);
    std::fclose(sink);
    return text;
}

ChildOutcome runInChild(const std::function<bool()>& body, bool asNobody)
{
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    std::fflush(nullptr);  // or the child would print the parent's pending output again
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        close(fds[1]);
        if (asNobody && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(ChildOutcome::kCouldNotDropPrivileges);
        const bool ok = body();
        std::fflush(stdout);
        _exit(ok ? 0 : 1);
    }
    close(fds[1]);
    ChildOutcome outcome;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            outcome.output.append(buffer, static_cast<size_t>(n));
        else if (errno != EINTR)
            break;
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}
