// Reading regular files without blocking and writing files by rename, for levels and the tools' output.
#include "base/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace blubbi {

namespace {

constexpr int kMaxLinks = 40;  // as the kernel allows in one path
constexpr int kNameTries = 100;

std::string SystemError() { return std::strerror(errno); }

// The file that a path names in the end: symbolic links of the last part followed, also when
// the last one points at nothing yet.
std::optional<std::filesystem::path> FinalTarget(const std::string& path, std::string& error) {
    std::filesystem::path target = path;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
        if (hops == kMaxLinks) {
            error = "too many levels of symbolic links";
            return std::nullopt;
        }
        std::error_code ec;
        const std::filesystem::path link = std::filesystem::read_symlink(target, ec);
        if (ec) {
            error = ec.message();
            return std::nullopt;
        }
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
}

// A new file under a short name of its own in `folder`, open for writing; -1 when none could
// be made. The name stays short, so any name the folder allows for the target still fits.
int CreateUniqueFile(const std::filesystem::path& folder, std::string& name) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device;
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        std::string leaf = ".blubbi-";
        for (int i = 0; i < 8; ++i) leaf += kLetters[pick(device)];
        name = (folder / leaf).string();
        // 0666: the umask takes off what it always takes off a new file.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool WriteAllTo(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Reads fd to its end; nullopt, with the reason, on a read error or past maxBytes. The size
// is only a hint: the file may change while it is read, so the limit holds for what is
// actually read.
std::optional<std::vector<uint8_t>> ReadToEnd(int fd, size_t sizeHint, uint64_t maxBytes, std::string& error) {
    std::vector<uint8_t> got(sizeHint + 1);
    size_t used = 0;
    for (;;) {
        if (used == got.size()) {
            if (got.size() > maxBytes) break;
            got.resize(std::min<uint64_t>(uint64_t{got.size()} * 2, maxBytes + 1));
        }
        const ssize_t n = ::read(fd, got.data() + used, got.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = SystemError();
            return std::nullopt;
        }
        if (n == 0) {
            got.resize(used);
            return got;
        }
        used += static_cast<size_t>(n);
    }
    error = "larger than " + std::to_string(maxBytes) + " bytes";
    return std::nullopt;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadRegularFile(const std::string& path, uint64_t maxBytes, std::string& error) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = SystemError();
        return std::nullopt;
    }
    std::optional<std::vector<uint8_t>> bytes;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = SystemError();
    } else if (!S_ISREG(st.st_mode)) {
        error = "not a regular file";
    } else if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        error = "larger than " + std::to_string(maxBytes) + " bytes";
    } else {
        bytes = ReadToEnd(fd, static_cast<size_t>(st.st_size), maxBytes, error);
    }
    ::close(fd);
    return bytes;
}

bool WriteFileSafely(const std::string& path, const void* data, size_t size, std::string& error) {
    const std::optional<std::filesystem::path> target = FinalTarget(path, error);
    if (!target) return false;
    const std::filesystem::path folder = target->has_parent_path() ? target->parent_path() : ".";
    struct stat old {};
    const bool replacing = ::stat(target->c_str(), &old) == 0;

    std::string temp;
    const int fd = CreateUniqueFile(folder, temp);
    if (fd < 0) {
        error = SystemError();
        return false;
    }
    if (replacing) {
        // Ownership first: a change of owner may clear mode bits, the mode then puts them back.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) (void)!::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        (void)!::fchmod(fd, old.st_mode & 07777);
    }
    bool ok = WriteAllTo(fd, static_cast<const uint8_t*>(data), size);
    if (!ok) error = SystemError();
    if (ok && ::fsync(fd) != 0) {
        error = SystemError();
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        error = SystemError();
        ok = false;
    }
    if (ok && std::rename(temp.c_str(), target->c_str()) != 0) {
        error = SystemError();
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself lasts once the folder is on the disk too.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace blubbi
