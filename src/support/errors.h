#pragma once
// Runtime errors: the one kind of failure in the game. Nothing inside the game
// catches them; they unwind to the game main, which restores the terminal, and
// the program entry prints the report.
#include <cstdint>
#include <exception>
#include <iosfwd>
#include <string>
#include <vector>

namespace dunvale {

namespace errorCode {
constexpr int32_t divideByZero = 0;
constexpr int32_t cursesError = 1;
constexpr int32_t fileError = 2;
constexpr int32_t outOfBounds = 20;
constexpr int32_t missingCase = 127;
constexpr int32_t objectNumberMismatch = 252;
constexpr int32_t invalidUnmarshallingId = 253;
constexpr int32_t invalidUnmarshall = 254;
constexpr int32_t valueOutOfRange = 1000;
constexpr int32_t couldntFind = -1;
} // namespace errorCode

// Where an error was raised. Like std::source_location, filled in at the
// call site through the default arguments; clang 14 with this standard
// library has no std::source_location, but both compilers have the builtins.
struct SourcePlace {
    const char* file = "";
    int line = 0;
    static constexpr SourcePlace here(const char* file = __builtin_FILE(),
                                      int line = __builtin_LINE()) {
        return SourcePlace{file, line};
    }
};

// One entry of the chain of calls active when an error was raised.
struct Frame {
    std::string function; // for an anonymous function: the function containing it
    bool anonymous = false;
    std::string callFile; // where this function was called from
    int32_t callLine = 0;
};

struct RuntimeError : std::exception {
    std::string message;
    int32_t code = 0;
    std::string raiseFile;
    int32_t raiseLine = 0;
    // Return addresses captured at the raise, innermost first; turned into
    // Frames only when a report is made.
    std::vector<void*> returnAddresses;

    const char* what() const noexcept override { return message.c_str(); }
};

[[noreturn]] void raiseError(std::string message, int32_t code,
                             SourcePlace where = SourcePlace::here());

// "Missing case" / "Missing default" (code 127) for a choice with no branch.
[[noreturn]] void raiseMissingCase(SourcePlace where = SourcePlace::here());
[[noreturn]] void raiseMissingDefault(SourcePlace where = SourcePlace::here());

// The chain of calls of an error, innermost first, ending with the program's
// entry point; frames of the error machinery itself are left out.
std::vector<Frame> callChain(const RuntimeError& error);

// The uncaught-error report, at most 21 frames listed.
std::string formatReport(const std::string& message, int32_t code, const std::string& raiseFile,
                         int32_t raiseLine, const std::vector<Frame>& frames);
std::string formatReport(const RuntimeError& error);

// Turns a demangled C++ name into the Frame's function name: no parameter
// list, no "dunvale::" prefix; a lambda yields its containing function.
Frame frameForFunction(const std::string& demangled);

} // namespace dunvale
