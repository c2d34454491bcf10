// Line and number reading shared by the effect and tune readers.
#include "Text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace makesounds {

std::vector<TLine> ReadLines(const std::string& fileName) {
    std::ifstream in(fileName);
    if (!in) throw std::runtime_error(fileName + ": cannot be read");
    std::vector<TLine> lines;
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        // A comment starts with a '#' that begins a word, so sharps like "f#5" stay notes.
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '#' && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '\t')) {
                text.resize(i);
                break;
            }
        }
        std::istringstream words(text);
        TLine line{number, {}};
        for (std::string w; words >> w;) line.Words.push_back(w);
        if (!line.Words.empty()) lines.push_back(std::move(line));
    }
    return lines;
}

void Fail(const std::string& fileName, int line, const std::string& message) {
    throw std::runtime_error(fileName + ":" + std::to_string(line) + ": " + message);
}

double Number(const std::string& fileName, int line, const std::string& word) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(word.c_str(), &end);
    if (word.empty() || *end != '\0' || errno != 0 || !std::isfinite(v))
        Fail(fileName, line, "\"" + word + "\" is not a number");
    return v;
}

int Integer(const std::string& fileName, int line, const std::string& word) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(word.c_str(), &end, 10);
    if (word.empty() || *end != '\0' || errno != 0 || v < -1000000 || v > 1000000)
        Fail(fileName, line, "\"" + word + "\" is not a whole number");
    return static_cast<int>(v);
}

}  // namespace makesounds
