#include "rules/store_files.h"

#include "support/errors.h"
#include "support/serial.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dunvale {

namespace {

struct FileCloser {
    int fd;
    ~FileCloser() {
        if (fd >= 0) close(fd);
    }
};

[[noreturn]] void fileFailure(const char* what, const std::string& path) {
    std::string message = what;
    message += path;
    raiseError(std::move(message), errorCode::fileError);
}

[[noreturn]] void notSafe(const std::string& directory, const char* why) {
    std::string message = "Directory is not safe: ";
    message += directory;
    message += why;
    raiseError(std::move(message), errorCode::valueOutOfRange);
}

// A name with ".." could lead out of the store.
void checkDirectoryName(const std::string& directory) {
    if (directory.find("..") != std::string::npos)
        raiseError("Directory is not safe", errorCode::valueOutOfRange);
}

void checkId(const std::string& id) {
    if (id.find("..") != std::string::npos)
        raiseError("Directory is not safe", errorCode::valueOutOfRange);
    if (id.find('/') != std::string::npos)
        raiseError("Object id is not safe", errorCode::valueOutOfRange);
}

// Opens the directory itself, never through a link, and only when it is the
// user's own and no one else may write to it: whoever could would be able to
// swap sectors or plant files for the game to read. One level is made when
// it is missing, private to the user since it holds a whole labyrinth.
int openStoreDirectory(const std::string& directory) {
    checkDirectoryName(directory);
    // Without its trailing "/" the last name is the directory's own, so that
    // a link there is refused rather than followed.
    std::string path = directory;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) fileFailure("File Error: ", directory);
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        struct stat link {};
        if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
            notSafe(directory, " is a symbolic link");
        fileFailure("File Error: ", directory);
    }
    FileCloser closer{fd};
    struct stat status {};
    if (fstat(fd, &status) != 0) fileFailure("File Error: ", directory);
    if (status.st_uid != geteuid()) notSafe(directory, " belongs to another user");
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        notSafe(directory, " may be written by group or others");
    closer.fd = -1;
    return fd;
}

// The store's lock, taken without waiting: -1 when another game holds it.
int takeLock(int directoryFd, const std::string& directory) {
    std::string path = directory;
    path += storeLockName;
    const int fd = openat(directoryFd, storeLockName,
                          O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) fileFailure("Couldn't write file ", path);
    FileCloser closer{fd};
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        fileFailure("Couldn't write file ", path);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return -1;
        fileFailure("Couldn't lock file ", path);
    }
    closer.fd = -1;
    return fd;
}

bool writeAll(int fd, const std::string& content) {
    size_t written = 0;
    while (written < content.size()) {
        ssize_t n = write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

// The sector file `id`, opened for writing from its start. An earlier file
// is reused, which spares the file system a new file on every store;
// anything else at the name (a link, a pipe, a file with other names) is
// removed and replaced by a new file, never followed or written through.
int openSectorFile(int directoryFd, const std::string& id, off_t& earlierSize) {
    earlierSize = 0;
    int fd = openat(directoryFd, id.c_str(),
                    O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd >= 0) {
        struct stat status {};
        if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 1) {
            earlierSize = status.st_size;
            return fd;
        }
        close(fd);
    }
    if (unlinkat(directoryFd, id.c_str(), 0) != 0 && errno != ENOENT) return -1;
    return openat(directoryFd, id.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  0600);
}

std::vector<std::string> listNames(int directoryFd, const std::string& directory) {
    // The listing owns the descriptor it is given, so it gets a copy, read
    // from the start whatever an earlier listing left behind.
    DIR* listing = nullptr;
    if (int copy = dup(directoryFd); copy >= 0) {
        listing = fdopendir(copy);
        if (listing == nullptr) close(copy);
    }
    if (listing == nullptr) fileFailure("Couldn't list directory ", directory);
    rewinddir(listing);
    std::vector<std::string> names;
    while (const dirent* entry = readdir(listing))
        names.emplace_back(entry->d_name);
    closedir(listing);
    return names;
}

} // namespace

std::string storeDirectory() {
    const char* home = std::getenv("HOME");
    std::string base = home != nullptr && *home != '\0' ? home : ".";
    return base + "/.dunvale/";
}

GameStore::~GameStore() {
    if (lockFd >= 0) close(lockFd);
    if (directoryFd >= 0) close(directoryFd);
}

std::unique_ptr<GameStore> openGameStore(const std::string& directory) {
    auto store = std::make_unique<GameStore>();
    store->directory = directory;
    store->directoryFd = openStoreDirectory(directory);
    // Found now rather than at the first sector stored, turns into the game.
    if (faccessat(store->directoryFd, ".", W_OK | X_OK, AT_EACCESS) != 0)
        fileFailure("File Error: ", directory);
    store->lockFd = takeLock(store->directoryFd, directory);
    if (store->lockFd < 0) return nullptr;
    return store;
}

std::string storeInUseMessage(const std::string& directory) {
    std::string message = "Another dunvale game is using ";
    message += directory;
    message += "; finish it first.";
    return message;
}

std::optional<std::string> cacheGet(const GameStore& store, const std::string& id) {
    checkId(id);
    const std::string path = store.directory + id;
    // No link is followed, and a pipe planted at the name cannot block.
    FileCloser file{
        openat(store.directoryFd, id.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        if (errno == ENOENT) return std::nullopt;
        fileFailure("Couldn't read file ", path);
    }
    struct stat status {};
    if (fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode))
        fileFailure("Couldn't read file ", path);
    if (static_cast<uint64_t>(status.st_size) > maxValueText) raiseValueTooLarge();
    std::string content;
    content.reserve(static_cast<size_t>(status.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = read(file.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fileFailure("Couldn't read file ", path);
        if (n == 0) break;
        // The file may have grown since it was measured.
        if (content.size() + static_cast<size_t>(n) > maxValueText) raiseValueTooLarge();
        content.append(buffer, static_cast<size_t>(n));
    }
    return content;
}

void cachePut(const GameStore& store, const std::string& id, const std::string& content) {
    checkId(id);
    const std::string path = store.directory + id;
    // Written over the earlier file in place: the store is the running game's
    // own, read only by it, and a file that could not be written whole is
    // removed so that no half sector is ever read back.
    off_t earlierSize = 0;
    int fd = openSectorFile(store.directoryFd, id, earlierSize);
    if (fd < 0) fileFailure("Couldn't write file ", path);
    const auto size = static_cast<off_t>(content.size());
    bool written = writeAll(fd, content) && (earlierSize <= size || ftruncate(fd, size) == 0);
    bool closed = close(fd) == 0;
    if (!written || !closed) {
        unlinkat(store.directoryFd, id.c_str(), 0);
        fileFailure("Couldn't write file ", path);
    }
}

void cacheDelete(const GameStore& store, const std::string& id) {
    checkId(id);
    if (unlinkat(store.directoryFd, id.c_str(), 0) != 0 && errno != ENOENT)
        fileFailure("Couldn't delete file ", store.directory + id);
}

void clearStore(const GameStore& store) {
    for (const std::string& name : listNames(store.directoryFd, store.directory))
        if (name.starts_with("S")) cacheDelete(store, name);
}

} // namespace dunvale
