// A stand-in for zenity, and the file and process plumbing that the file,
// dialog and whole-program tests share with it.
//
// ScriptedZenity puts an executable `zenity` shell script first on PATH. Each
// call appends its arguments to a log (one per line, then kCallEnd) and
// answers with the next queued answer: a line printed on standard output with
// exit status 0, or a cancel (exit status 1). A call with nothing queued
// counts as a cancel, so a dialog the test did not expect cannot hang it.
#pragma once

#include <functional>
#include <string>
#include <vector>

// A fresh folder under /tmp, removed with everything in it on destruction.
// Mode 0755, so that a child running as an unprivileged user can reach it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Names in the folder itself, sorted.
    std::vector<std::string> entries() const;

private:
    std::string path_;
};

// Sets PATH for the lifetime of the object and puts the old value back.
class ScopedPath {
public:
    explicit ScopedPath(const std::string& value);
    ~ScopedPath();
    ScopedPath(const ScopedPath&) = delete;
    ScopedPath& operator=(const ScopedPath&) = delete;

private:
    bool hadValue_ = false;
    std::string oldValue_;
};

class ScriptedZenity {
public:
    static constexpr const char* kCallEnd = "<<end of call>>";

    ScriptedZenity();
    // The next call prints text (one line) and exits 0.
    void answer(const std::string& text);
    // The next call exits 1, as zenity does on Cancel.
    void cancel() { answer("CANCEL"); }
    // Arguments of every call so far, without the program name.
    std::vector<std::vector<std::string>> calls() const;

private:
    TempFolder folder_;
    ScopedPath path_;
};

// Everything the body prints on stdout (through stdio or straight to fd 1).
std::string captureStdout(const std::function<void()>& body);

// How a body run by runInChild ended.
struct ChildOutcome {
    static constexpr int kCouldNotDropPrivileges = 77;
    int exitCode = -1;   // 0 when the body returned true, 1 when false; -1 on a signal
    std::string output;  // what the child wrote on stdout
};

// Runs body in a forked child and waits for it. With asNobody and a root
// parent, the child first becomes uid/gid 65534, so that file permissions
// apply to it (root ignores them); if that fails it exits with
// kCouldNotDropPrivileges. The body must not use gtest assertions: its
// verdict is its return value.
ChildOutcome runInChild(const std::function<bool()>& body, bool asNobody = false);

// Whole file content; empty when the file cannot be read.
std::string readFile(const std::string& path);
// Writes bytes to path, replacing it; false on failure.
bool writeFile(const std::string& path, const std::string& bytes);
