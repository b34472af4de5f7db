#pragma once
// A new empty directory under the temporary directory, made HOME while it
// lives, so that a game played for watching or testing keeps its store there
// and never in the player's own; removed with all it holds afterwards.
#include <optional>
#include <string>

namespace dunvale {

struct PrivateHome {
    std::string path; // empty when it could not be made
    std::string problem;

    explicit PrivateHome(const std::string& prefix);
    ~PrivateHome();
    PrivateHome(const PrivateHome&) = delete;
    PrivateHome& operator=(const PrivateHome&) = delete;

  private:
    std::optional<std::string> savedHome;
};

} // namespace dunvale
