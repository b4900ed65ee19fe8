// The render tool as a process, the pictures it wrote, and the machine
// around it: what fraktale_render_bench needs outside GL.
#include "bench/render_bench.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace renderbench {
namespace {

double cpuOf(const rusage& u)
{
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

bool readTiff(const std::string& path, Picture& p)
{
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return false;
    uint32_t width = 0, height = 0;
    uint16_t channels = 0, bits = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &channels);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    bool ok = channels == 3 && bits == 8 && TIFFScanlineSize(tif) == tmsize_t(width) * 3;
    p.width = int(width), p.height = int(height);
    p.rgb.assign(size_t(width) * height * 3, 0);
    for (uint32_t row = 0; ok && row < height; ++row) ok = TIFFReadScanline(tif, &p.rgb[size_t(row) * width * 3], row) >= 0;
    TIFFClose(tif);
    return ok;
}

int boxSum(const Picture& p, int x, int y, int n, int channel)
{
    int sum = 0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) sum += p.rgb[(size_t(y * n + j) * p.width + x * n + i) * 3 + channel];
    return sum;
}

// Measured where the tool is started: see spawnTool.
ToolRun measureTool(const std::string& tool, const std::vector<std::string>& args, const std::string& log)
{
    std::vector<char*> argv{const_cast<char*>(tool.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::string folder = std::filesystem::path(tool).parent_path().string();
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0 || chdir(folder.c_str()) != 0) _exit(127);
        execv(tool.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    ToolRun run;
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = cpuOf(usage);
    run.peakMiB = double(usage.ru_maxrss) / 1024.0;  // KiB on Linux
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

}  // namespace

int spawnTool(int argc, char** argv)
{
    if (argc < 5) return 2;
    const ToolRun run = measureTool(argv[4], std::vector<std::string>(argv + 5, argv + argc), argv[3]);
    std::ofstream result(argv[2]);
    result.precision(17);
    result << run.seconds << ' ' << run.cpuSeconds << ' ' << run.peakMiB << ' ' << run.ok << '\n';
    return result.good() ? 0 : 1;
}

ToolRun runTool(const std::string& tool, const std::vector<std::string>& args, const std::string& log)
{
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string(), report = log + ".run";
    std::vector<std::string> words{self, "--spawn", report, log, tool};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execv(self.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    ToolRun run;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return run;
    std::ifstream result(report);
    result >> run.seconds >> run.cpuSeconds >> run.peakMiB >> run.ok;
    return run;
}

int worstBoxError(const std::string& averagedTiff, const std::string& largeTiff, int n)
{
    Picture a, large;
    if (!readTiff(averagedTiff, a) || !readTiff(largeTiff, large) || large.width != a.width * n ||
        large.height != a.height * n)
        return -1;
    int worst = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            for (int ch = 0; ch < 3; ++ch)
                worst = std::max(worst, std::abs(n * n * a.rgb[(size_t(y) * a.width + x) * 3 + ch] - boxSum(large, x, y, n, ch)));
    return worst;
}

std::string cpuModel()
{
    std::string model = "?";
    if (FILE* p = popen("lscpu", "r")) {
        char line[512];
        const std::string key = "Model name:";
        while (std::fgets(line, sizeof line, p)) {
            const std::string s = line;
            const size_t from = s.find_first_not_of(" \t", key.size());
            if (s.rfind(key, 0) == 0 && model == "?" && from != std::string::npos)
                model = s.substr(from, s.find_last_not_of(" \t\n") + 1 - from);
        }
        pclose(p);
    }
    return model;
}

std::string loadAverage()
{
    std::ifstream f("/proc/loadavg");
    std::string a, b, c;
    f >> a >> b >> c;
    return a + " " + b + " " + c;
}

double machineBusySeconds()
{
    std::ifstream f("/proc/stat");
    std::string cpu;
    double user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    f >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
    return (user + nice + system + irq + softirq + steal) / double(sysconf(_SC_CLK_TCK));
}

double ownCpuSeconds()
{
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return cpuOf(self) + cpuOf(children);
}

double median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : 0.5 * (v[m - 1] + v[m]);
}

}  // namespace renderbench
