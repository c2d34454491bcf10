// Reading the builder's little text formats: lines of words, comments, numbers with line numbers.
#pragma once
#include <string>
#include <vector>

namespace makesounds {

// One non-empty line, split into words at blanks; a word beginning with '#' starts a comment.
struct TLine {
    int Number = 0;
    std::vector<std::string> Words;
};

// Throws std::runtime_error naming the file when it cannot be read.
std::vector<TLine> ReadLines(const std::string& fileName);

// Throws std::runtime_error "<file>:<line>: <message>".
[[noreturn]] void Fail(const std::string& fileName, int line, const std::string& message);

// Whole-word numbers; anything else throws through Fail.
double Number(const std::string& fileName, int line, const std::string& word);
int Integer(const std::string& fileName, int line, const std::string& word);

}  // namespace makesounds
