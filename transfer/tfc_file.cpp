// .tfc transfer-function files: a little-endian int32 count, then per point
// x, red, green, blue, y as float32. Files have always been written through a
// Windows text stream, so the stored form has a 0x0D in front of every 0x0A;
// both directions keep that form on every platform.
//
// A file is read and checked whole before the points are replaced, and a
// save goes through a temporary file, so neither a bad file nor a failed
// write ever costs the user the transfer function they had.
#include "platform/dialogs.h"
#include "platform/safe_write.h"
#include "screenshot/screenshot.h"
#include "transfer/transfer_function.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t pointBytes = 20;

void putU32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint32_t getU32(const std::string& in, size_t offset)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(static_cast<unsigned char>(in[offset + i])) << (8 * i);
    return v;
}

void putFloat(std::string& out, float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    putU32(out, bits);
}

float getFloat(const std::string& in, size_t offset)
{
    const uint32_t bits = getU32(in, offset);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// Far more than any transfer function needs; a larger file is not one.
constexpr off_t maximumFileSize = 64 << 20;

bool readWholeFile(const std::string& path, std::string& data)
{
    // Non-blocking, so that opening a pipe nobody writes does not hang.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    // A folder opens but cannot be read; a device or a pipe could be read
    // forever. Only a regular file of sane size is a .tfc file.
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= maximumFileSize;
    char buffer[65536];
    while (ok) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        data.append(buffer, static_cast<size_t>(n));
        ok = data.size() <= size_t(maximumFileSize);
    }
    close(fd);
    return ok;
}

const FileDialog tfcDialog(const char* title)
{
    return FileDialog{title, "Transferfunktion (*.tfc)", "*.tfc"};
}

}  // namespace

std::string toStoredForm(const std::string& content)
{
    std::string stored;
    stored.reserve(content.size() + content.size() / 16);
    for (char c : content) {
        if (c == '\n') stored.push_back('\r');
        stored.push_back(c);
    }
    return stored;
}

std::string fromStoredForm(const std::string& stored)
{
    std::string content;
    content.reserve(stored.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\r' && i + 1 < stored.size() && stored[i + 1] == '\n') continue;
        content.push_back(stored[i]);
    }
    return content;
}

std::string encodeTfc(const std::vector<ControlPoint>& points)
{
    std::string content;
    putU32(content, static_cast<uint32_t>(static_cast<int32_t>(points.size())));
    for (const ControlPoint& p : points) {
        putFloat(content, p.x);
        putFloat(content, p.red);
        putFloat(content, p.green);
        putFloat(content, p.blue);
        putFloat(content, p.y);
    }
    return toStoredForm(content);
}

// Accepts a file only when its count is not negative, all the points it
// announces are present in full and every value is finite. The stored y is
// not used: every point sits on the bar's middle line.
bool decodeTfc(const std::string& stored, std::vector<ControlPoint>& points)
{
    const std::string content = fromStoredForm(stored);
    if (content.size() < 4) return false;
    const int32_t count = static_cast<int32_t>(getU32(content, 0));
    if (count < 0) return false;
    if (uint64_t(count) > (content.size() - 4) / pointBytes) return false;
    std::vector<ControlPoint> loaded;
    loaded.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const size_t at = 4 + pointBytes * static_cast<size_t>(i);
        float v[5];
        for (int k = 0; k < 5; ++k) {
            v[k] = getFloat(content, at + 4 * k);
            if (!std::isfinite(v[k])) return false;
        }
        loaded.push_back(ControlPoint{v[0], 0.5f, v[1], v[2], v[3]});
    }
    points.swap(loaded);
    return true;
}

bool TransferFunction::saveFile(const std::string& path)
{
    std::printf("- Saving file '%s'...", path.c_str());
    const std::string stored = encodeTfc(points);
    SafeWrite write;
    bool ok = beginSafeWrite(path, write) && writeAll(write.fd, stored.data(), stored.size());
    if (ok) ok = commitSafeWrite(write);
    else abortSafeWrite(write);  // harmless when nothing was opened
    std::printf(ok ? "- File saved." : "Error saving file.");
    return ok;
}

bool readTfcFile(const std::string& path, std::vector<ControlPoint>& points)
{
    std::string stored;
    return readWholeFile(path, stored) && decodeTfc(stored, points);
}

bool TransferFunction::loadFile(const std::string& path)
{
    std::printf("- Loading file '%s'...", path.c_str());
    std::vector<ControlPoint> loaded;
    if (!readTfcFile(path, loaded)) {
        std::printf("Error loading file.");
        return false;
    }
    points.swap(loaded);
    rebuild();
    std::printf("- File loaded.");
    return true;
}

void TransferFunction::saveDialog()
{
    std::string path;
    if (!saveFileDialog(tfcDialog("Transferfunktion speichern"), path)) return;
    saveFile(ensureExtension(path, ".tfc"));
}

void TransferFunction::loadDialog()
{
    std::string path;
    if (!openFileDialog(tfcDialog("Datensatz \xC3\xB6" "ffnen"), path)) return;
    loadFile(path);
}
