// fraktale-render started as a user starts it, for the program tests.
#pragma once

#include "support/scripted_zenity.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace fx {

// Runs build/fraktale-render with `words`, DISPLAY kept or removed; its
// status, stdout and stderr together in `said`.
// `meanwhile`, if given, is called every 20 ms while it runs, with its
// process id, until it returns false.
inline int runTool(std::vector<std::string> words, std::string& said, bool display = true,
                   const std::function<bool(pid_t)>& meanwhile = nullptr)
{
    TempFolder folder;
    const std::string log = folder.file("said");
    words.insert(words.begin(), "fraktale-render");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (!display) unsetenv("DISPLAY");
        if (fd >= 0 && dup2(fd, 1) == 1 && dup2(fd, 2) == 2) execv(FRAKTALE_BINARY_DIR "/fraktale-render", argv.data());
        _exit(127);
    }
    int status = -1;
    bool reaped = false;
    while (meanwhile && !(reaped = waitpid(pid, &status, WNOHANG) == pid) && meanwhile(pid))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!reaped) waitpid(pid, &status, 0);
    said = readFile(log);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace fx
