// build/fraktale started as a user starts it (from a folder with or without
// the shaders, its console in a log), the user's gestures, and the waits.
//
// A wait ends as soon as what it waits for is there, or as soon as the
// program has rested (used no processor time) for a moment without it: a
// healthy program that rests has drawn what it was asked to, so a fault
// fails the step at once, saying what was there. The time-outs only stop
// a program that never rests.
#pragma once

#include "support/reference.h"
#include "support/scripted_zenity.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <sstream>
#include <optional>

namespace fx {

using ::testing::AssertionFailure, ::testing::AssertionResult, ::testing::AssertionSuccess;

// Generous: an ASan build under llvmpipe on a loaded two-core machine.
constexpr double startTimeout = 90, stepTimeout = 60;
// How long a program must rest before a wait gives up on it: more at the
// start (it may wait on the X server) and for menus (their window is drawn
// on exposes up to 1.6 s after it opens, app/menu_workaround.cpp).
constexpr double restSeconds = 0.5, startRest = 2, menuRest = 2;

class Program {
public:
    // The log lies beside the working directory, which a test may list.
    explicit Program(bool withShaders = true, std::vector<std::string> arguments = {})
        : workDir_(folder_.file("work")), logPath_(folder_.file("output.log"))
    {
        namespace fs = std::filesystem;
        fs::create_directory(workDir_);
        for (const auto& entry : fs::directory_iterator(FRAKTALE_BINARY_DIR))
            if (withShaders && entry.path().extension() == ".glsl") fs::copy_file(entry.path(), fs::path(workDir_) / entry.path().filename());
        arguments.insert(arguments.begin(), "fraktale");
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int log = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        // A process group of its own, set on both sides of the fork, so that
        // the clean-up also reaches the dialogs it starts.
        if ((pid_ = fork()) > 0) setpgid(pid_, pid_);
        if (pid_ == 0) {
            setpgid(0, 0);
            if (chdir(workDir_.c_str()) == 0 && dup2(log, 1) == 1 && dup2(log, 2) == 2)
                execv(FRAKTALE_BINARY_DIR "/fraktale", argv.data());
            _exit(127);
        }
        close(log);
    }
    ~Program()
    {
        kill(-pid_, SIGKILL);
        if (!status_) waitpid(pid_, nullptr, 0);
        // The server drops a dead client's windows when it gets round to it.
        XConnection x;
        waitFor([&] { return x.windows("Mandelbrot Set").empty() && x.windows("Julia Set").empty(); }, 10);
    }

    const std::string& directory() const { return workDir_; }
    std::string output() const { return readFile(logPath_); }  // stdout and stderr so far
    AssertionResult waitForOutput(const std::string& text) const
    {
        if (settles([&] { return output().find(text) != std::string::npos; })) return AssertionSuccess();
        return AssertionFailure() << "no '" << text << "' in the output:\n" << output();
    }
    // Until the condition holds (true), or until the program has rested
    // for `rest` seconds without it (false); `cap` only stops a program
    // that never rests.
    template <typename Condition>
    bool settles(Condition condition, double rest = restSeconds, double cap = stepTimeout) const
    {
        double before = cpuSeconds(), restingSince = now();
        for (const double end = now() + cap; !condition(); pause(0.03)) {
            const double used = cpuSeconds();
            if (used != before) before = used, restingSince = now();
            else if (now() - restingSince >= rest) return condition();
            if (now() >= end) return false;
        }
        return true;
    }
    // Until both windows show the editor's frame and the program is idle.
    AssertionResult ready(XConnection& x)
    {
        std::string missing = "not one window of each title";
        Image undrawn;
        settles([&] {
            const auto m = x.windows("Mandelbrot Set"), j = x.windows("Julia Set");
            if (!running()) return missing = "the program ended", true;
            if (m.size() != 1 || j.size() != 1) return false;
            for (const WindowId w : {m[0], j[0]})
                if (!showsEditorFrame(undrawn = x.capture(w))) return missing = "a window without the editor's frame", false;
            return mandelbrot_ = m[0], julia_ = j[0], missing.clear(), true;
        }, startRest, startTimeout);
        if (!undrawn.rgb.empty() && !missing.empty()) missing += ": " + savePicture(undrawn, "not-ready");
        if (missing.empty() && !idle()) missing = "the program kept drawing";
        return missing.empty() ? AssertionSuccess() : AssertionFailure() << missing << "\noutput so far:\n" << output();
    }
    void hold(bool stopped) { kill(pid_, stopped ? SIGSTOP : SIGCONT); }  // events queue meanwhile
    int status() const { return status_.value_or(-1); }  // once it has ended
    WindowId mandelbrot() const { return mandelbrot_; }
    WindowId julia() const { return julia_; }
    bool running()
    {
        int s = 0;
        if (!status_ && waitpid(pid_, &s, WNOHANG) == pid_) status_ = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
        return !status_;
    }
    // Exit status 0 (a sanitizer's report ends it with 1).
    AssertionResult endsCleanly()
    {
        settles([&] { return !running(); });
        return status_ == 0 ? AssertionSuccess() : AssertionFailure() << "exit status " << status_.value_or(-1) << "\n" << output();
    }
    double cpuSeconds() const  // user + system so far; negative when unknown
    {
        // The name may hold spaces and parentheses; utime and stime are the
        // 12th and 13th fields after the last ')'.
        std::string line;
        std::getline(std::ifstream("/proc/" + std::to_string(pid_) + "/stat"), line);
        std::istringstream fields(line.substr(line.rfind(')') + 1));
        const std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
        return f.size() < 13 ? -1 : double(std::stoull(f[11]) + std::stoull(f[12])) / double(sysconf(_SC_CLK_TCK));
    }
    // No processor time used for a moment: every pass due is on the screen.
    bool idle() const
    {
        double before = cpuSeconds();
        return waitFor([&] { return pause(0.3), std::exchange(before, cpuSeconds()) == before; }, stepTimeout);
    }

private:
    // The editor's frame, black around white, along the top of a drawn window.
    static bool showsEditorFrame(const Image& im)
    {
        for (int x = 9; x <= 522 && im.width >= 530 && im.height >= 40; ++x)
            if ((im.at(x, 8)[0] | im.at(x, 8)[1] | im.at(x, 8)[2]) || (im.at(x, 9)[0] & im.at(x, 9)[1] & im.at(x, 9)[2]) != 255)
                return false;
        return im.width >= 530 && im.height >= 40;
    }
    TempFolder folder_;
    std::string workDir_, logPath_;
    pid_t pid_ = -1;
    std::optional<int> status_;  // exit code, or 128 + the signal
    WindowId mandelbrot_ = 0, julia_ = 0;
};

// The pointer on (wx, wy); XTest makes no motion to where it already is, so
// it arrives from the next column.
inline void hover(XConnection& x, WindowId w, int wx, int wy)
{
    const Rect r = x.where(w);
    x.movePointer(r.x + wx + 1, r.y + wy);
    x.movePointer(r.x + wx, r.y + wy);
}

// Left press at (fromX, row), motion through the midway column, release at (toX, row).
inline void drag(XConnection& x, WindowId w, int row, int fromX, int toX)
{
    const Rect r = x.where(w);
    hover(x, w, fromX, row);
    x.pressButton(1);
    x.movePointer(r.x + (fromX + toX) / 2, r.y + row);
    x.movePointer(r.x + toX, r.y + row);
    x.releaseButton(1);
}

// The middle button pressed at (fromX, fromY), moved there in four steps
// to (toX, toY), released: a drag of the view.
inline void dragView(XConnection& x, WindowId w, int fromX, int fromY, int toX, int toY)
{
    const Rect r = x.where(w);
    hover(x, w, fromX, fromY);
    x.pressButton(2);
    for (int step = 1; step <= 4; ++step)
        x.movePointer(r.x + fromX + (toX - fromX) * step / 4, r.y + fromY + (toY - fromY) * step / 4);
    x.releaseButton(2);
}

// freeglut's pop-up menu: a border of 2 pixels, white over grey (128),
// around equal entries in grey 178 with black text, in the order added.
struct PopupMenu {
    WindowId window = 0;
    Rect frame;  // root coordinates
    int entries = 0;
    Rect entry(int i) const { const int h = (frame.height - 4) / entries; return {frame.x, frame.y + 2 + i * h, frame.width, h}; }
};

inline bool isDrawnMenu(const Image& menu, int entries)
{
    if (menu.width <= 0 || menu.height <= 4 || (menu.height - 4) % entries) return false;
    std::vector<int> text(size_t(entries), 0);
    for (int y = 0; y < menu.height; ++y)
        for (int x = 0; x < menu.width; ++x) {
            const std::uint8_t* p = menu.at(x, y);
            if (p[0] != p[1] || p[1] != p[2] || (p[0] != 0 && p[0] != 128 && p[0] != 178 && p[0] != 255)) return false;
            if (!p[0] && y >= 2 && y < menu.height - 2) ++text[size_t((y - 2) * entries / (menu.height - 4))];
        }
    return menu.at(menu.width / 2, 0)[0] == 255 && menu.at(menu.width / 2, menu.height - 1)[0] == 128 &&
           *std::min_element(text.begin(), text.end()) > 0;
}

inline AssertionResult closes(XConnection& x, const Program& program, const PopupMenu& menu)
{
    return program.settles([&] { return !x.isViewable(menu.window); }) ? AssertionSuccess()
                                                                       : AssertionFailure() << "the menu stayed open";
}

// The right button pressed at (wx, wy) once the program is idle: the menu
// must be drawn before the pointer moves and, released at once, stay open.
inline AssertionResult openMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy, int entries,
                                PopupMenu& menu, bool release = true)
{
    if (!program.idle()) return AssertionFailure() << "the program never came to rest";
    program.settles([&] { return !x.popupMenu(); });  // the last one can outlive its choice a moment
    hover(x, w, wx, wy);
    x.pressButton(3);
    menu = PopupMenu{0, {}, entries};
    Image opened;
    if (!program.settles([&] { return (menu.window = x.popupMenu()) && (menu.frame = x.where(menu.window)).width &&
                                      isDrawnMenu(opened = x.capture(menu.window), entries); }, menuRest))
        return x.releaseButton(3), AssertionFailure() << "no menu of " << entries << " entries drawn as it opened at "
                                                      << wx << ", " << wy << ": " << savePicture(opened, "menu");
    if (release) x.releaseButton(3), pause(0.2);
    return !release || x.isViewable(menu.window) ? AssertionSuccess() : AssertionFailure() << "a click closed the menu";
}

// Two clicks, one to open the menu and one on the entry; or one gesture,
// the button pressed, the pointer dragged onto the entry and let go there.
constexpr bool byDrag = true;
inline AssertionResult chooseFromMenu(XConnection& x, const Program& program, WindowId w, int wx, int wy, int entries,
                                      int index, bool drag = false)
{
    PopupMenu menu;
    if (auto opened = openMenu(x, program, w, wx, wy, entries, menu, !drag); !opened) return opened;
    const Rect r = x.where(w), to = menu.entry(index);
    for (int step = 1; step <= 4 && drag; ++step)
        x.movePointer(r.x + wx + (to.centreX() - r.x - wx) * step / 4, r.y + wy + (to.centreY() - r.y - wy) * step / 4);
    drag ? x.releaseButton(3) : (x.movePointer(to.centreX(), to.centreY()), x.click(3));
    return closes(x, program, menu);
}

// Until the window shows `e` twice in a row (a frame can be caught half-way
// through its arrival), or the program rests without it; exactNearEditor:
// an editor element drawn a pixel too large shows in the fractal next to it.
inline AssertionResult shows(XConnection& x, const Program& program, WindowId w, const Expected& e,
                             const std::string& name, bool exactNearEditor = false)
{
    Image captured;
    Mismatches m;
    auto judge = [&] { return (m = compareWindow(captured = x.capture(w), e)).within(0.01, exactNearEditor); };
    if (program.settles([&] { return judge() && (pause(0.05), judge()); })) return AssertionSuccess();
    return AssertionFailure() << name << ": " << m.editor << " editor pixels off, fractal pixels off: " << m.fractal[0]
                              << " in the editor's rows, " << m.fractal[1] << " of " << m.compared[1] << " below; "
                              << savePicture(captured, name) << ", " << savePicture(e.picture, name + "-expected");
}

inline AssertionResult showsFractal(XConnection& x, const Program& program, WindowId w, const Image& fractal,
                                    const std::string& name)
{
    return shows(x, program, w, fractalFrom(fractal, editorBottom), name);
}

// The picture of a TIFF, row 0 at the top; empty when there is none.
inline Image readTiff(const std::string& path)
{
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.c_str(), "r"), TIFFClose);
    uint32_t width = 0, height = 0;
    if (!tif || !TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height))
        return {};
    std::vector<uint32_t> rgba(size_t(width) * height);
    if (!TIFFReadRGBAImageOriented(tif.get(), width, height, rgba.data(), ORIENTATION_TOPLEFT, 0)) return {};
    Image image(static_cast<int>(width), static_cast<int>(height));
    for (size_t i = 0; i < rgba.size(); ++i)
        image.rgb[3 * i] = TIFFGetR(rgba[i]), image.rgb[3 * i + 1] = TIFFGetG(rgba[i]), image.rgb[3 * i + 2] = TIFFGetB(rgba[i]);
    return image;
}

}  // namespace fx
