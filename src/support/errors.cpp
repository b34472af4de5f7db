#include "support/errors.h"

#include <cstdlib>
#include <cxxabi.h>
#include <execinfo.h>
#include <memory>
#include <sstream>

// libbacktrace, from GCC's runtime: reads the program's own debug information.
extern "C" {
struct backtrace_state;
typedef void (*backtrace_error_callback)(void* data, const char* msg, int errnum);
typedef int (*backtrace_full_callback)(void* data, uintptr_t pc, const char* filename, int lineno,
                                       const char* function);
typedef void (*backtrace_syminfo_callback)(void* data, uintptr_t pc, const char* symname,
                                           uintptr_t symval, uintptr_t symsize);
backtrace_state* backtrace_create_state(const char* filename, int threaded,
                                        backtrace_error_callback error_callback, void* data);
int backtrace_pcinfo(backtrace_state* state, uintptr_t pc, backtrace_full_callback callback,
                     backtrace_error_callback error_callback, void* data);
int backtrace_syminfo(backtrace_state* state, uintptr_t addr, backtrace_syminfo_callback callback,
                      backtrace_error_callback error_callback, void* data);
}

namespace dunvale {

namespace {

constexpr int maxCapturedAddresses = 256;
constexpr size_t maxListedFrames = 21;

void ignoreError(void*, const char*, int) {}

backtrace_state* symbolState() {
    static backtrace_state* state = backtrace_create_state(nullptr, 0, ignoreError, nullptr);
    return state;
}

std::string demangle(const char* name) {
    if (name == nullptr) return "";
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> out(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                               std::free);
    return status == 0 && out ? std::string(out.get()) : std::string(name);
}

// A place in the program: which function, and the source line within it.
struct Place {
    std::string function;
    std::string file;
    int32_t line = 0;
};

#ifndef DUNVALE_BUILD_DIR_NAME
#define DUNVALE_BUILD_DIR_NAME ""
#endif

// Source paths as the repository names them: some compilers record them
// relative to the build directory.
std::string sourcePath(const char* filename) {
    if (filename == nullptr) return "?";
    std::string path = filename;
    const std::string buildDir = DUNVALE_BUILD_DIR_NAME;
    if (!buildDir.empty() && path.rfind(buildDir, 0) == 0) path.erase(0, buildDir.size());
    if (path.rfind("./", 0) == 0) path.erase(0, 2);
    return path;
}

int collectPlace(void* data, uintptr_t, const char* filename, int lineno, const char* function) {
    auto* places = static_cast<std::vector<Place>*>(data);
    if (function == nullptr) return 0;
    places->push_back({demangle(function), sourcePath(filename), lineno});
    return 0;
}

void collectSymbol(void* data, uintptr_t, const char* symname, uintptr_t, uintptr_t) {
    auto* places = static_cast<std::vector<Place>*>(data);
    if (symname != nullptr) places->push_back({demangle(symname), "?", 0});
}

// The raising functions themselves are not part of the reported chain.
bool isErrorMachinery(const std::string& function) {
    for (const char* name : {"dunvale::raiseError(", "dunvale::raiseMissingCase(",
                             "dunvale::raiseMissingDefault(", "backtrace"})
        if (function.rfind(name, 0) == 0) return true;
    return false;
}

bool isEntryPoint(const std::string& function) {
    return function == "main";
}

// Skips a bracketed group starting at text[i] (one of "(<{["); returns the
// index just past its closing bracket.
size_t skipGroup(const std::string& text, size_t i) {
    int depth = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '(' || c == '<' || c == '{' || c == '[') ++depth;
        if (c == ')' || c == '>' || c == '}' || c == ']') {
            if (--depth == 0) return i + 1;
        }
    }
    return text.size();
}

} // namespace

void raiseError(std::string message, int32_t code, SourcePlace where) {
    RuntimeError error;
    error.message = std::move(message);
    error.code = code;
    error.raiseFile = where.file;
    error.raiseLine = where.line;
    error.returnAddresses.resize(maxCapturedAddresses);
    int count = backtrace(error.returnAddresses.data(), maxCapturedAddresses);
    error.returnAddresses.resize(count > 0 ? static_cast<size_t>(count) : 0);
    throw error;
}

void raiseMissingCase(SourcePlace where) {
    raiseError("Missing case", errorCode::missingCase, where);
}

void raiseMissingDefault(SourcePlace where) {
    raiseError("Missing default", errorCode::missingCase, where);
}

Frame frameForFunction(const std::string& demangled) {
    Frame frame;
    std::string name;
    // Keep the qualified name up to its parameter list; a lambda's name is
    // "outer(args)::{lambda(args)#1}::operator()(args)".
    for (size_t i = 0; i < demangled.size();) {
        char c = demangled[i];
        if (c == '<') {
            size_t end = skipGroup(demangled, i);
            name += demangled.substr(i, end - i);
            i = end;
        } else if (c == '(') {
            if (demangled.compare(i, 20, "(anonymous namespace") == 0) {
                i = skipGroup(demangled, i);
                if (demangled.compare(i, 2, "::") == 0) i += 2;
                continue;
            }
            i = skipGroup(demangled, i);
            if (demangled.compare(i, 10, "::{lambda(") == 0) {
                frame.anonymous = true;
                break;
            }
            // Anything after the parameters (const, ::member) is not part of
            // this function's own name unless a lambda follows.
            size_t lambda = demangled.find("::{lambda(", i);
            if (lambda != std::string::npos) frame.anonymous = true;
            break;
        } else {
            name += c;
            ++i;
        }
    }
    const std::string prefix = "dunvale::";
    if (name.rfind(prefix, 0) == 0) name.erase(0, prefix.size());
    frame.function = name;
    return frame;
}

std::vector<Frame> callChain(const RuntimeError& error) {
    // Every return address expands into the function it lies in and, when the
    // compiler inlined calls there, the functions inlined at that place.
    std::vector<Place> places;
    for (size_t i = 0; i < error.returnAddresses.size(); ++i) {
        auto pc = reinterpret_cast<uintptr_t>(error.returnAddresses[i]);
        // A return address points after the call; step back into it.
        if (i > 0 && pc > 0) --pc;
        size_t before = places.size();
        backtrace_pcinfo(symbolState(), pc, collectPlace, ignoreError, &places);
        if (places.size() == before)
            backtrace_syminfo(symbolState(), pc, collectSymbol, ignoreError, &places);
    }
    // The chain starts after the raising function; whatever the capture itself
    // put before it (a sanitizer's interceptor, say) goes too.
    size_t first = 0;
    for (size_t i = 0; i < places.size() && i < 8; ++i)
        if (isErrorMachinery(places[i].function)) first = i + 1;
    std::vector<Frame> frames;
    for (size_t i = first; i < places.size(); ++i) {
        Frame frame = frameForFunction(places[i].function);
        bool entry = isEntryPoint(places[i].function);
        if (!entry && i + 1 < places.size()) {
            frame.callFile = places[i + 1].file;
            frame.callLine = places[i + 1].line;
        }
        frames.push_back(frame);
        if (entry) break;
    }
    return frames;
}

std::string formatReport(const std::string& message, int32_t code, const std::string& raiseFile,
                         int32_t raiseLine, const std::vector<Frame>& frames) {
    std::ostringstream out;
    out << message << " (error code " << code << ")";
    if (raiseLine == 0)
        out << " thrown\n";
    else
        out << " thrown at " << raiseFile << ":" << raiseLine << "\n";
    size_t listed = frames.size() < maxListedFrames ? frames.size() : maxListedFrames;
    for (size_t i = 0; i < listed; ++i) {
        const Frame& frame = frames[i];
        if (frame.anonymous) out << "lambda in ";
        out << frame.function;
        if (i + 1 == frames.size())
            out << " [entry point]\n";
        else
            out << " called from " << frames[i + 1].function << " at " << frame.callFile << ":"
                << frame.callLine << "\n";
    }
    if (frames.size() > maxListedFrames)
        out << "[... " << frames.size() - maxListedFrames << " more elided...]\n";
    return out.str();
}

std::string formatReport(const RuntimeError& error) {
    return formatReport(error.message, error.code, error.raiseFile, error.raiseLine,
                        callChain(error));
}

} // namespace dunvale
