// Plays a sound entry from memory and returns when it has ended, as the
// document expects. The wait runs a local event loop that leaves out user
// input, so the window still repaints and nothing re-enters the document.
// Without an audio output it returns at once, silently.
#pragma once

#include <cstddef>
#include <cstdint>

class SoundPlayer {
public:
    // The longest a sound may hold the program, whatever its data claims.
    static constexpr int MAX_MILLISECONDS = 120000;

    void play(const std::uint8_t* bytes, std::size_t size);
};
