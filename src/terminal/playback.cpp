#include "terminal/playback.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <signal.h>

namespace dunvale {

namespace {

constexpr int noticeRow = screenRows - 1;
constexpr int noticeColumn = 2;
// The longest the viewer's keys and signals wait to be noticed.
constexpr int waitSlice = 50;
constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

volatile std::sig_atomic_t receivedSignal = 0;
struct sigaction savedActions[std::size(stopSignals)];

void noteSignal(int signal) {
    receivedSignal = signal;
}

int fasterDelay(int delay) {
    return delay / 2;
}

int slowerDelay(int delay) {
    return std::clamp(delay * 2, 10, maxPlaybackDelay);
}

} // namespace

PlaybackTerminal::~PlaybackTerminal() {
    if (!started) return;
    for (size_t i = 0; i < std::size(stopSignals); ++i)
        sigaction(stopSignals[i], &savedActions[i], nullptr);
}

void PlaybackTerminal::start() {
    screen.start();
    started = true;
    receivedSignal = 0;
    // No SA_RESTART: a signal cuts the wait for the viewer's key short.
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(stopSignals); ++i)
        sigaction(stopSignals[i], &action, &savedActions[i]);
}

void PlaybackTerminal::end() {
    if (!started) return;
    if (!stopped) {
        showNotice(" End of recording: press a key ");
        waitForAnyKey();
    }
    for (size_t i = 0; i < std::size(stopSignals); ++i)
        sigaction(stopSignals[i], &savedActions[i], nullptr);
    started = false;
    screen.end();
}

int PlaybackTerminal::stopSignal() const {
    return receivedSignal;
}

void PlaybackTerminal::writeText(Brightness brightness, Colour colour, std::string_view text,
                                 int row, int column) {
    drawn.writeText(brightness, colour, text, row, column);
    screen.writeText(brightness, colour, text, row, column);
}

void PlaybackTerminal::clear() {
    drawn.clear();
    screen.clear();
    noticeLength = 0;
}

void PlaybackTerminal::showNotice(const std::string& text) {
    clearNotice();
    screen.writeText(Brightness::Bright, Colour::White, text, noticeRow, noticeColumn);
    noticeLength = static_cast<int>(text.size());
    screen.refresh();
}

void PlaybackTerminal::clearNotice() {
    for (int column = noticeColumn; column < noticeColumn + noticeLength; ++column) {
        ScreenCell cell = drawn.cell(noticeRow, column);
        screen.writeText(cell.brightness, cell.colour, std::string(1, cell.ch), noticeRow, column);
    }
    noticeLength = 0;
}

void PlaybackTerminal::showStatus() {
    std::string every = "a key every " + std::to_string(delay) + " ms";
    if (paused)
        showNotice(" Paused, " + every + ": Space plays on, + faster, - slower, q stops ");
    else
        showNotice(" Playing " + every + " ");
}

bool PlaybackTerminal::steer(int pressed) {
    switch (pressed) {
    case ' ': paused = !paused; break;
    case '+': delay = fasterDelay(delay); break;
    case '-': delay = slowerDelay(delay); break;
    case 'q': stop();
    default: return false;
    }
    showStatus();
    return true;
}

void PlaybackTerminal::waitForAnyKey() {
    while (receivedSignal == 0) {
        std::optional<int> pressed = viewer(waitSlice);
        if (pressed && *pressed != key::Resize) return;
    }
}

void PlaybackTerminal::stop() {
    stopped = true;
    throw PlaybackStopped{};
}

int PlaybackTerminal::readKey() {
    using Clock = std::chrono::steady_clock;
    // The screen as the player saw it when the key was read.
    screen.refresh();
    Clock::time_point due = Clock::now() + std::chrono::milliseconds(delay);
    for (;;) {
        if (receivedSignal != 0) stop();
        if (next == keys.size()) {
            showNotice(" End of recording: press a key ");
            waitForAnyKey();
            stop();
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
        int wait = paused ? waitSlice : std::clamp(static_cast<int>(left.count()), 0, waitSlice);
        std::optional<int> pressed = viewer(wait);
        // Every change restarts the wait for the next key.
        if (pressed && steer(*pressed)) due = Clock::now() + std::chrono::milliseconds(delay);
        if (!paused && Clock::now() >= due) {
            clearNotice();
            return keys[next++];
        }
    }
}

} // namespace dunvale
