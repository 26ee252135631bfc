// A recording of what a screen draws, as an asciicast v2 file: a platform
// with no terminal and no keyboard, of a fixed size, on a clock that the
// recording sets, and whose every send() is one event line, the time and
// the bytes the painter wrote for what changed since the last. The lines
// are kept for the caller to write where it will.
#pragma once

#include <string>
#include <string_view>

#include "console/ansi.h"
#include "platform/platform.h"

class CastRecorder : public Platform {
public:
    // A screen of cols x rows, told that it draws "■" and the arrows
    // `glyph_width` columns wide (0: not known, so that either is right).
    CastRecorder(int cols, int rows, int glyph_width);

    // The header line: the size, the time it was made (seconds since
    // 1970; -1 for none), a title.
    void header(long long timestamp, std::string_view title);
    // The time of the events that follow, in microseconds from the first.
    void at(long long us) { us_ = us; }
    // The lines made and not taken yet.
    std::string& lines() { return lines_; }
    long events() const { return events_; }

    Painter& painter() override { return paint_; }
    bool send() override;
    bool size(int* cols, int* rows) override;
    int glyph_width() override { return glyph_width_; }
    bool typed() const override { return false; }
    bool read(std::string&, size_t, bool) override { return false; }
    // Nothing comes: the clock goes on to the time waited for.
    void wait(int due_ms, bool input) override;
    unsigned events() override { return 0; }
    bool pauses() const override { return false; }
    void pause() override {}
    int now_ms() override { return static_cast<int>(us_ / 1000); }
    void restore() override {}

private:
    Utf8Encoding enc_;
    AnsiPainter paint_;
    int cols_, rows_, glyph_width_;
    long long us_ = 0;
    long events_ = 0;
    std::string lines_;
};

// Appends s, UTF-8, as the inside of a JSON string.
void json_string(std::string& out, std::string_view s);
