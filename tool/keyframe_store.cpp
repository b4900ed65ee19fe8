// The keyframe folder. A file is recognised by its name alone (movie.txt,
// keyframe-NNNN.counts and their temporary .partXXXXXX siblings), so a
// folder of the same name that holds other things loses only ours.
#include "tool/keyframe_store.h"
#include "platform/safe_write.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;

constexpr char magic[8] = {'F', 'K', 'E', 'Y', 'F', 'R', 'M', '1'};
constexpr size_t headerBytes = 20;

bool ours(const std::string& name)
{
    if (name == "movie.txt" || name.rfind("movie.txt.part", 0) == 0) return true;
    const size_t counts = name.find(".counts");
    if (name.rfind("keyframe-", 0) != 0 || counts == std::string::npos) return false;
    return counts + 7 == name.size() || name.compare(counts + 7, 5, ".part") == 0;
}

// Ours only: every keyframe and leftover, or (keyframesToo false) the leftovers.
void removeOurs(const std::string& folder, bool keyframesToo)
{
    std::error_code e;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, e)) {
        const std::string name = entry.path().filename().string();
        const bool leftover = name.find(".part") != std::string::npos;
        if (ours(name) && (keyframesToo || leftover)) fs::remove(entry.path(), e);
    }
}

bool writeWhole(const std::string& path, const void* head, size_t headSize, const void* data, size_t size)
{
    SafeWrite write;
    if (!beginSafeWrite(path, write)) return false;
    if (!writeAll(write.fd, head, headSize) || !writeAll(write.fd, data, size)) return abortSafeWrite(write), false;
    return commitSafeWrite(write);
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

std::string keyframeFolderFor(const std::string& output)
{
    const size_t slash = output.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : output.substr(0, slash + 1);
    std::string name = output.substr(folder.size());
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    const size_t percent = name.find('%');
    if (percent != std::string::npos) {
        const size_t d = name.find('d', percent);
        const size_t from = percent > 0 && std::strchr("-_.", name[percent - 1]) ? percent - 1 : percent;
        name.erase(from, d == std::string::npos ? std::string::npos : d + 1 - from);
    }
    return folder + (name.empty() ? "film" : name) + ".keyframes";
}

bool openKeyframeStore(KeyframeStore& store, const std::string& output, const std::string& description,
                       std::string& error)
{
    store.folder = keyframeFolderFor(output);
    std::error_code e;
    fs::create_directory(store.folder, e);
    if (!fs::is_directory(store.folder, e) || access(store.folder.c_str(), W_OK | X_OK) != 0)
        return error = "'" + store.folder + "' l\xC3\xA4sst sich nicht anlegen", false;
    const std::string described = store.folder + "/movie.txt";
    const bool same = readText(described) == description;
    removeOurs(store.folder, !same);
    if (!same && !writeWhole(described, description.data(), description.size(), nullptr, 0))
        return error = "Fehler beim Schreiben von '" + described + "'", false;
    return true;
}

std::string keyframePath(const KeyframeStore& store, int index)
{
    char name[40];
    std::snprintf(name, sizeof name, "/keyframe-%04d.counts", index);
    return store.folder + name;
}

bool saveKeyframe(const KeyframeStore& store, int index, int width, int height, const std::vector<float>& counts,
                  std::string& error)
{
    unsigned char head[headerBytes];
    const int32_t numbers[3] = {index, width, height};
    std::memcpy(head, magic, sizeof magic);
    std::memcpy(head + sizeof magic, numbers, sizeof numbers);
    const std::string path = keyframePath(store, index);
    if (counts.size() == size_t(width) * height &&
        writeWhole(path, head, sizeof head, counts.data(), counts.size() * sizeof(float)))
        return true;
    return error = "Fehler beim Schreiben von '" + path + "'", false;
}

bool loadKeyframe(const KeyframeStore& store, int index, int width, int height, std::vector<float>& counts)
{
    const std::string bytes = readText(keyframePath(store, index));
    const size_t size = size_t(width) * height;
    int32_t numbers[3] = {0, 0, 0};
    if (bytes.size() != headerBytes + size * sizeof(float) || bytes.compare(0, sizeof magic, magic, sizeof magic) != 0)
        return false;
    std::memcpy(numbers, bytes.data() + sizeof magic, sizeof numbers);
    if (numbers[0] != index || numbers[1] != width || numbers[2] != height) return false;
    counts.resize(size);
    std::memcpy(counts.data(), bytes.data() + headerBytes, size * sizeof(float));
    return true;
}

int keptKeyframes(const KeyframeStore& store, const std::vector<int>& indices, int width, int height)
{
    int kept = 0;
    std::error_code e;
    for (int index : indices)
        kept += fs::file_size(keyframePath(store, index), e) == headerBytes + sizeof(float) * size_t(width) * height;
    return kept;
}

void removeKeyframeStore(const KeyframeStore& store)
{
    removeOurs(store.folder, true);
    std::error_code e;
    if (fs::is_empty(store.folder, e)) fs::remove(store.folder, e);
}
