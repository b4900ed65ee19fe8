// Files, processes and a stand-in for zenity, shared by the file, dialog and
// whole-program tests.
//
// ScriptedZenity puts an executable `zenity` script first on PATH for its
// lifetime. Each call appends its arguments to a log and answers with the
// next queued answer: a line on standard output with status 0, or a cancel
// (status 1). A call with nothing queued cancels, so an unexpected dialog
// cannot hang a test.
#pragma once

#include <functional>
#include <string>
#include <vector>

// A fresh folder under /tmp (mode 0755, so an unprivileged child can reach
// it), removed with everything in it on destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> entries() const;  // sorted names in the folder itself

private:
    std::string path_;
};

class ScriptedZenity {
public:
    explicit ScriptedZenity(bool installed = true);  // false: PATH holds no zenity at all
    ~ScriptedZenity();
    void answer(const std::string& line);
    void cancel() { answer("CANCEL"); }
    // Arguments of every call so far, without the program name.
    std::vector<std::vector<std::string>> calls() const;

private:
    TempFolder folder_;
    std::string oldPath_;
};

// Everything the body prints on stdout (through stdio or straight to fd 1).
std::string captureStdout(const std::function<void()>& body);

// Runs body in a forked child; its exit code is 0 when body returned true,
// 1 when false, 77 when asNobody could not drop root's privileges (so that
// file permissions apply), -1 on a signal. The body must not use gtest
// assertions.
struct ChildOutcome {
    int exitCode = -1;
    std::string output;  // what the child wrote on stdout
};
constexpr int couldNotDropPrivileges = 77;
ChildOutcome runInChild(const std::function<bool()>& body, bool asNobody = false);

std::string readFile(const std::string& path);  // empty when unreadable
bool writeFile(const std::string& path, const std::string& bytes);
