#include "app/private_home.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace dunvale {

PrivateHome::PrivateHome(const std::string& prefix) {
    std::error_code failure;
    std::filesystem::path base = std::filesystem::temp_directory_path(failure);
    if (failure) base = "/tmp";
    std::string pattern = (base / (prefix + "-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        problem = "cannot make a directory like " + pattern + ": " + std::strerror(errno);
        return;
    }
    path = name.data();
    if (const char* home = std::getenv("HOME")) savedHome = home;
    setenv("HOME", path.c_str(), 1);
}

PrivateHome::~PrivateHome() {
    if (path.empty()) return;
    if (savedHome)
        setenv("HOME", savedHome->c_str(), 1);
    else
        unsetenv("HOME");
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

} // namespace dunvale
