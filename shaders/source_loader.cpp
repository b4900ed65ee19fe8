#include "shaders/shader_set.h"

#include <cstdio>

std::string loadShaderSource(const std::string& fileName)
{
    std::string text;
    FILE* file = std::fopen(fileName.c_str(), "r");
    if (!file) {
        std::printf("\nShader Source File ('%s') konnte nicht geladen werden... \n", fileName.c_str());
        return text;
    }
    char line[200];
    while (std::fgets(line, sizeof line, file)) {
        text += line;
        text += '\n';
    }
    std::fclose(file);
    return text;
}
