#pragma once

#include <QString>
#include <cstdint>

// The application-wide state shared by recording, playback and the main window. It lives in the
// main window from start-up to exit and is touched only on the UI thread.
struct AppState {
    bool recording = false;     // a recording is open, also while paused
    bool record_paused = false; // the open recording is paused
    bool stopping = false;      // the stop sequence of a recording is running
    QString out_file_name;      // the current or last recording's full path

    bool playing = false; // playback in progress, also while paused
    bool play_paused = false;
    int play_index = 0; // list index of the entry last started by play

    std::int64_t sample_base = 0; // frames before the latest start, resume or seek
    std::int64_t sample_pos = 0;  // sample_base + the component's count since its start
    int block_size = 0;

    bool bar_follows = true;
    bool list_shown = false;
    bool settings_shown = false;
    bool tags_shown = false;

    int schedule_mode = 0; // 0 disabled, 1 every day, 2 special day
    QString chosen_dir;
};

// Time text of the displays: hours, minutes and seconds of `ms`, each at least two digits,
// joined by ":" (hours may grow past two digits: 100:00:00).
QString FormatElapsed(std::int64_t ms);

// MulDiv: a * b / c in 64 bits, rounded to the nearest integer; -1 when c is 0.
std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c);
