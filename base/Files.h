// Whole files read and written safely: regular files only, bounded reads, replacing writes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace blubbi {

// Reads a whole regular file of at most `maxBytes` bytes. Opening never waits: a FIFO, a
// device or a folder is refused, as is a longer file. nullopt with `error` saying why.
std::optional<std::vector<uint8_t>> ReadRegularFile(const std::string& path, uint64_t maxBytes, std::string& error);

// Puts `size` bytes into `path` in one step: the file holds either all of them or what it
// held before. They are written beside the target under a short unique name and renamed over
// it. A symbolic link is followed, so its target gets the bytes and the link stays; a file
// that exists keeps its mode (and its group where we may keep it), a new one gets the usual
// mode (0666 less the umask). False with `error` saying why; no temporary file is left.
bool WriteFileSafely(const std::string& path, const void* data, size_t size, std::string& error);

}  // namespace blubbi
