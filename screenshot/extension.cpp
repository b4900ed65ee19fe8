#include "screenshot/screenshot.h"

std::string ensureExtension(const std::string& name, const std::string& ext)
{
    const size_t n = name.size() < 4 ? name.size() : 4;
    if (name.compare(name.size() - n, n, ext) == 0) return name;
    return name + ext;
}
