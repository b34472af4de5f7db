#include "terminal/recording.h"

#include "terminal/key_notation.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dunvale {

namespace {

constexpr std::string_view firstLine = "dunvale recording 1";
constexpr std::string_view chosenMark = " chosen";
// Key lines are wrapped for people reading a recording; the reader ignores
// the line ends.
constexpr size_t keyLineLength = 72;

// Writes all of `text`, or returns why not.
std::string writeAll(int file, std::string_view text) {
    while (!text.empty()) {
        ssize_t written = ::write(file, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return written < 0 ? std::strerror(errno) : "nothing written";
        text.remove_prefix(static_cast<size_t>(written));
    }
    return "";
}

// The next line of `text` from `at` on (without its end), moving `at` past it.
std::string_view takeLine(std::string_view text, size_t& at) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end < text.size() ? end + 1 : end;
    return line;
}

} // namespace

std::optional<int32_t> parseSeed(std::string_view text) {
    int32_t value = 0;
    const char* last = text.data() + text.size();
    auto [end, problem] = std::from_chars(text.data(), last, value);
    if (text.empty() || problem != std::errc() || end != last) return std::nullopt;
    return value;
}

std::optional<Recording> parseRecording(const std::string& text, std::string& error) {
    size_t at = 0;
    if (takeLine(text, at) != firstLine) {
        error = "not a dunvale recording";
        return std::nullopt;
    }
    std::string_view seedLine = takeLine(text, at);
    Recording recording;
    recording.seedChosen = seedLine.ends_with(chosenMark);
    if (recording.seedChosen) seedLine.remove_suffix(chosenMark.size());
    std::optional<int32_t> seed;
    if (seedLine.starts_with("seed ")) seed = parseSeed(seedLine.substr(5));
    if (!seed) {
        error = "the recording's second line is not \"seed N\"";
        return std::nullopt;
    }
    recording.seed = *seed;
    std::optional<std::vector<int>> keys = parseKeyScript(text.substr(at), error);
    if (!keys) return std::nullopt;
    recording.keys = std::move(*keys);
    return recording;
}

std::optional<Recording> readRecordingFile(const std::string& path, std::string& error) {
    int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    struct stat status {};
    bool plain = ::fstat(file, &status) == 0 && S_ISREG(status.st_mode);
    std::string text;
    int readError = 0;
    char buffer[65536];
    while (plain) {
        ssize_t got = ::read(file, buffer, sizeof buffer);
        if (got > 0)
            text.append(buffer, static_cast<size_t>(got));
        else if (got == 0 || errno != EINTR) {
            readError = got < 0 ? errno : 0;
            break;
        }
    }
    ::close(file);
    if (!plain || readError != 0) {
        error =
            "cannot read " + path + ": " + (plain ? std::strerror(readError) : "not a plain file");
        return std::nullopt;
    }
    std::optional<Recording> recording = parseRecording(text, error);
    if (!recording) error = path + ": " + error;
    return recording;
}

int createRecordingFile(const std::string& path, bool replace, int32_t seed, bool seedChosen,
                        std::string& error) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0) {
        if (!replace) {
            error = path + " exists; give --force to replace it";
            return -1;
        }
        bool replaceable = S_ISREG(status.st_mode) || S_ISLNK(status.st_mode);
        if (!replaceable || ::unlink(path.c_str()) != 0) {
            error = "cannot replace " + path + ": " +
                    (replaceable ? std::strerror(errno) : "not a plain file or a link");
            return -1;
        }
    }
    // O_EXCL refuses whatever appeared since, a link included.
    int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (file < 0) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return -1;
    }
    std::string header = std::string(firstLine) + "\nseed " + std::to_string(seed) +
                         (seedChosen ? std::string(chosenMark) : "") + "\n";
    std::string problem = writeAll(file, header);
    if (!problem.empty()) {
        ::close(file);
        error = "cannot write " + path + ": " + problem;
        return -1;
    }
    return file;
}

int RecordingTerminal::readKey() {
    int k = inner.readKey();
    if (k == key::Resize || !failure.empty()) return k;
    std::string text = keyNotation(k);
    size_t length = text.size();
    if (lineLength + length > keyLineLength) {
        text = "\n" + text;
        lineLength = 0;
    }
    failure = writeAll(file, text);
    lineLength += length;
    if (failure.empty()) ++keysWritten;
    return k;
}

} // namespace dunvale
