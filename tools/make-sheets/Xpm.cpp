// Reader for the XPM pixel-art sources: only the subset our sources use (one character per pixel, "c" colours).
#include "Xpm.h"

#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace sheets {

namespace {

// The quoted strings of the file, in order; comments and C syntax around them are skipped.
std::vector<std::string> quotedStrings(const std::string& text) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, 2, "/*") == 0) {
            std::size_t end = text.find("*/", i + 2);
            i = end == std::string::npos ? text.size() : end + 2;
        } else if (text[i] == '"') {
            std::size_t end = text.find('"', i + 1);
            if (end == std::string::npos) throw std::runtime_error("unterminated string");
            out.push_back(text.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            ++i;
        }
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw std::runtime_error(std::string("bad hex digit '") + c + "'");
}

PaletteEntry parseColour(const std::string& colourText) {
    PaletteEntry e;
    if (colourText == "None" || colourText == "none") {
        e.transparent = true;
        return e;
    }
    if (colourText.size() != 7 || colourText[0] != '#')
        throw std::runtime_error("colour must be #RRGGBB or None: " + colourText);
    auto byte = [&](std::size_t at) {
        return static_cast<std::uint8_t>(hexDigit(colourText[at]) * 16 + hexDigit(colourText[at + 1]));
    };
    e.r = byte(1);
    e.g = byte(3);
    e.b = byte(5);
    return e;
}

}  // namespace

int IndexedPicture::transparentIndex() const {
    for (std::size_t i = 0; i < palette.size(); ++i)
        if (palette[i].transparent) return static_cast<int>(i);
    return -1;
}

IndexedPicture readXpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot open");
    std::stringstream buffer;
    buffer << in.rdbuf();
    try {
        std::vector<std::string> s = quotedStrings(buffer.str());
        if (s.empty()) throw std::runtime_error("no header");
        std::istringstream header(s[0]);
        int colours = 0, perPixel = 0;
        IndexedPicture pic;
        if (!(header >> pic.width >> pic.height >> colours >> perPixel)) throw std::runtime_error("bad header");
        if (perPixel != 1) throw std::runtime_error("only one character per pixel is supported");
        if (colours < 1 || colours > 256) throw std::runtime_error("a GIF palette holds 1 to 256 colours");
        if (s.size() != 1 + static_cast<std::size_t>(colours) + static_cast<std::size_t>(pic.height))
            throw std::runtime_error("expected " + std::to_string(colours) + " colours and " +
                                     std::to_string(pic.height) + " rows");
        std::map<char, std::uint8_t> index;
        for (int i = 0; i < colours; ++i) {
            const std::string& line = s[1 + static_cast<std::size_t>(i)];
            std::istringstream rest(line.substr(1));
            std::string key, colourText;
            if (line.empty() || !(rest >> key >> colourText) || key != "c")
                throw std::runtime_error("bad colour line: " + line);
            if (index.count(line[0])) throw std::runtime_error(std::string("colour character used twice: ") + line[0]);
            index[line[0]] = static_cast<std::uint8_t>(i);
            pic.palette.push_back(parseColour(colourText));
        }
        pic.pixels.reserve(static_cast<std::size_t>(pic.width) * static_cast<std::size_t>(pic.height));
        for (int y = 0; y < pic.height; ++y) {
            const std::string& row = s[1 + static_cast<std::size_t>(colours) + static_cast<std::size_t>(y)];
            if (static_cast<int>(row.size()) != pic.width)
                throw std::runtime_error("row " + std::to_string(y) + " is " + std::to_string(row.size()) +
                                         " wide, not " + std::to_string(pic.width));
            for (char c : row) {
                auto it = index.find(c);
                if (it == index.end()) throw std::runtime_error(std::string("unknown colour character '") + c + "'");
                pic.pixels.push_back(it->second);
            }
        }
        return pic;
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

}  // namespace sheets
