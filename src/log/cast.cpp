#include "log/cast.h"

#include <cstdio>

CastRecorder::CastRecorder(int cols, int rows, int glyph_width)
    : paint_(enc_, XTERM_CAPS), cols_(cols), rows_(rows), glyph_width_(glyph_width)
{
}

void CastRecorder::header(long long timestamp, std::string_view title)
{
    char s[96];
    std::snprintf(s, sizeof s, "{\"version\": 2, \"width\": %d, \"height\": %d", cols_, rows_);
    lines_ += s;
    if (timestamp >= 0) {
        std::snprintf(s, sizeof s, ", \"timestamp\": %lld", timestamp);
        lines_ += s;
    }
    lines_ += ", \"title\": \"";
    json_string(lines_, title);
    lines_ += "\", \"env\": {\"TERM\": \"xterm-256color\"}}\n";
}

bool CastRecorder::send()
{
    char s[48];
    std::snprintf(s, sizeof s, "[%lld.%06lld, \"o\", \"", us_ / 1000000, us_ % 1000000);
    lines_ += s;
    json_string(lines_, paint_.out());
    lines_ += "\"]\n";
    paint_.out().clear();
    events_++;
    return true;
}

void CastRecorder::wait(int due_ms, bool)
{
    if (due_ms >= 0 && due_ms * 1000LL > us_)
        us_ = due_ms * 1000LL;
}

bool CastRecorder::size(int* cols, int* rows)
{
    *cols = cols_;
    *rows = rows_;
    return true;
}

void json_string(std::string& out, std::string_view s)
{
    static const char HEX[] = "0123456789abcdef";
    for (const char c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (u < 0x20 || u == 0x7f) {
            out += "\\u00";
            out += HEX[u >> 4];
            out += HEX[u & 15];
        } else {
            out += c;
        }
    }
}
