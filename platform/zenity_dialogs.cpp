// zenity implementation of the dialogs. zenity prints the chosen path (or
// colour) on standard output and exits with 0; Cancel and closing the dialog
// exit with 1. posix_spawnp reports a missing zenity as ENOENT.
#include "platform/dialogs.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

extern char** environ;

namespace {

std::string chomp(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

bool fileDialog(const FileDialog& dialog, bool save, std::string& path)
{
    std::string output;
    if (!runDialogProgram(fileDialogArguments(dialog, save, currentFolder()), output)) return false;
    path = chomp(output);
    return !path.empty();
}

int channel(double value) { return value < 0 ? 0 : value > 255 ? 255 : static_cast<int>(value + 0.5); }

}  // namespace

std::string currentFolder()
{
    char buffer[PATH_MAX];
    if (!getcwd(buffer, sizeof buffer)) return std::string();
    return buffer;
}

std::vector<std::string> fileDialogArguments(const FileDialog& dialog, bool save, const std::string& folder)
{
    std::vector<std::string> argv = {"zenity", "--file-selection", "--title=" + dialog.title,
                                     "--file-filter=" + dialog.filterName + " | " + dialog.filterPattern};
    if (save) argv.push_back("--save");
    // A folder with a trailing slash opens the dialog there with an empty name.
    if (!folder.empty()) argv.push_back("--filename=" + folder + (folder.back() == '/' ? "" : "/"));
    return argv;
}

std::vector<std::string> colourDialogArguments(DialogColour initial)
{
    char colour[64];
    std::snprintf(colour, sizeof colour, "--color=rgb(%d,%d,%d)", initial.red, initial.green, initial.blue);
    // Without --show-palette zenity opens straight into the full colour editor.
    return {"zenity", "--color-selection", colour};
}

// zenity answers "rgb(r,g,b)", "rgba(r,g,b,a)" or, in some versions, "#rrggbb".
bool parseColourAnswer(const std::string& answer, DialogColour& colour)
{
    const std::string s = chomp(answer);
    double r, g, b, a;
    unsigned hr, hg, hb;
    char end;
    if (std::sscanf(s.c_str(), "rgb(%lf,%lf,%lf%c", &r, &g, &b, &end) == 4 && end == ')') {
    } else if (std::sscanf(s.c_str(), "rgba(%lf,%lf,%lf,%lf%c", &r, &g, &b, &a, &end) == 5 && end == ')') {
    } else if (s.size() == 7 && std::sscanf(s.c_str(), "#%2x%2x%2x", &hr, &hg, &hb) == 3) {
        r = hr, g = hg, b = hb;
    } else {
        return false;
    }
    colour = DialogColour{channel(r), channel(g), channel(b)};
    return true;
}

bool runDialogProgram(const std::vector<std::string>& argv, std::string& output)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (error != 0) {
        close(pipeFds[0]);
        std::printf("\nKein Dialog verf\xC3\xBCgbar: '%s' konnte nicht gestartet werden.", argv[0].c_str());
        return false;
    }
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        output.append(buffer, static_cast<size_t>(n));
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool saveFileDialog(const FileDialog& dialog, std::string& path) { return fileDialog(dialog, true, path); }
bool openFileDialog(const FileDialog& dialog, std::string& path) { return fileDialog(dialog, false, path); }

bool chooseColourDialog(DialogColour initial, DialogColour& chosen)
{
    std::string output;
    if (!runDialogProgram(colourDialogArguments(initial), output)) return false;
    return parseColourAnswer(output, chosen);
}
