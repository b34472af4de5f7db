#pragma once
// The files of the sector store. The store directory is opened once, as a
// handle, and every file of the store is reached through that handle: a link,
// a rename or a swapped path can never send a sector file anywhere else.
#include <memory>
#include <optional>
#include <string>

namespace dunvale {

// HOME + "/.dunvale/", with "." for an unset or empty HOME.
std::string storeDirectory();

// The lock file of a store. Its name does not begin with "S", so clearing
// the store at the end of a game leaves it alone.
inline constexpr const char* storeLockName = "lock";

// A store directory opened for one game and locked against every other game
// for as long as it lives; the lock dies with it, or with the process. Every
// file of the store is reached through its directory handle.
struct GameStore {
    std::string directory; // as named, ending in "/"
    int directoryFd = -1;
    int lockFd = -1;

    GameStore() = default;
    ~GameStore();
    GameStore(const GameStore&) = delete;
    GameStore& operator=(const GameStore&) = delete;
};

// Opens the store of a game before play, making the directory (one level,
// mode 0700) if it is missing. A name with "..", a link, a directory of
// another user or one that group or others may write are refused with
// "Directory is not safe" (code 1000); a directory that cannot be made, opened
// or written with "File Error" (code 2). Null, with nothing changed, when
// another game holds the store's lock.
std::unique_ptr<GameStore> openGameStore(const std::string& directory);

// The one line that refuses a second game on a store.
std::string storeInUseMessage(const std::string& directory);

// The per-user cache, in an open store. Each checks the id first ("Directory
// is not safe" for "..", "Object id is not safe" for "/", code 1000).
std::optional<std::string> cacheGet(const GameStore& store, const std::string& id);
void cachePut(const GameStore& store, const std::string& id, const std::string& content);
void cacheDelete(const GameStore& store, const std::string& id);

// Deletes every "S" file of the store.
void clearStore(const GameStore& store);

} // namespace dunvale
