// Files, processes and a stand-in for zenity.
//
// ScriptedZenity puts an executable `zenity` first on PATH for its lifetime
// (or, not installed, leaves PATH without any). Each call appends its
// arguments to a log and answers with the next queued line on standard
// output, status 0; "CANCEL", or nothing queued, exits 1 as a cancel does.
#pragma once

#include <functional>
#include <string>
#include <vector>

// A fresh folder under /tmp (0755: an unprivileged child can reach it),
// removed with all it holds.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> entries() const;  // sorted

private:
    std::string path_;
};

class ScriptedZenity {
public:
    explicit ScriptedZenity(bool installed = true);
    ~ScriptedZenity();
    void answer(const std::string& line);
    void cancel() { answer("CANCEL"); }
    std::vector<std::vector<std::string>> calls() const;  // arguments, without the program name

private:
    TempFolder folder_;
    std::string oldPath_;
};

// Everything the body prints on stdout, through stdio or straight to fd 1.
std::string captureStdout(const std::function<void()>& body);

// Runs body in a forked child (asNobody: as uid 65534, so that file
// permissions apply to it); exit code 0 when body returned true, 1 when
// false, couldNotDropPrivileges, or -1 on a signal. No gtest assertions in body.
struct ChildOutcome {
    int exitCode = -1;
    std::string output;  // its stdout
};
constexpr int couldNotDropPrivileges = 77;
ChildOutcome runInChild(const std::function<bool()>& body, bool asNobody = false);

std::string readFile(const std::string& path);  // empty when unreadable
bool writeFile(const std::string& path, const std::string& bytes);
