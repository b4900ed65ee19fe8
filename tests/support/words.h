// A command line from one string, as argc and argv: the words stay owned
// here, so a parser may keep pointers into them.
#pragma once

#include <sstream>
#include <string>
#include <vector>

struct Words {
    std::vector<std::string> text;
    std::vector<char*> argv;
    explicit Words(const std::string& line)
    {
        std::istringstream in(line);
        for (std::string w; in >> w;) text.push_back(w);
        for (std::string& w : text) argv.push_back(w.data());
    }
    int argc() const { return int(argv.size()); }
};
