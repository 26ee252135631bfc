#include "log/check.h"

#include <cstdio>
#include <cstring>

namespace {

using What = LogFault::What;

struct Scan {
    const char* p;
    size_t n;
    size_t o = 0;

    int at(size_t i) const { return i < n ? static_cast<unsigned char>(p[i]) : -1; }
    // Bytes of the line break at o: "\n" 1, "\r\n" 2, none 0.
    size_t eol() const { return at(o) == '\n' ? 1 : at(o) == '\r' && at(o + 1) == '\n' ? 2 : 0; }
};

// The field at s.o, the k-th of its line (from 0), into *v.
What field(Scan& s, int k, int* v, LogFault* f)
{
    if (s.o + LOG_FIELD > s.n)
        return LogFault::OUT;
    const int val = log_field(s.p + s.o);
    f->a = k + 1;
    if (val == LOG_BAD_FIELD)
        return LogFault::BAD_FIELD;
    if (val < 0 || val > LOG_MAX_VALUE) {
        f->b = val;
        return LogFault::BAD_VALUE;
    }
    *v = val;
    s.o += LOG_FIELD;
    return LogFault::OK;
}

// The value of a field "%3d|" printed for 0..LOG_MAX_VALUE, -1 for any
// other field.
int usual(const char* p)
{
    static_assert(LOG_DIGITS == 3 && LOG_MAX_VALUE < 30, "two digits at most, the first 1 or 2");
    const unsigned last = static_cast<unsigned>(p[2] - '0');
    if (p[0] != ' ' || p[3] != LOG_SEP || last > 9)
        return -1;
    if (p[1] == ' ')
        return static_cast<int>(last);
    const unsigned tens = static_cast<unsigned>(p[1] - '0');
    const int val = static_cast<int>(10 * tens + last);
    return tens >= 1 && tens <= 9 && val <= LOG_MAX_VALUE ? val : -1;
}

// A line of cells at s.o: "|", y fields and a line break of eol bytes; the
// values go to v.
What cells(Scan& s, int y, size_t eol, int* v, LogFault* f)
{
    if (s.at(s.o) != LOG_SEP)
        return s.at(s.o) < 0 ? LogFault::OUT : LogFault::NO_BAR;
    s.o++;
    int k = 0;
    // A whole line's fields are read the quick way while they are the
    // usual ones, four empty cells at once; the first that is not is
    // looked at closely below.
    static const char EMPTY4[] = "  0|  0|  0|  0|";
    if (s.o + LOG_FIELD * static_cast<size_t>(y) <= s.n)
        for (int q = 0; k < y; k++, s.o += LOG_FIELD) {
            if (k + 4 <= y && std::memcmp(s.p + s.o, EMPTY4, 4 * LOG_FIELD) == 0) {
                v[k] = v[k + 1] = v[k + 2] = v[k + 3] = 0;
                k += 3;
                s.o += 3 * LOG_FIELD;
            } else if ((q = usual(s.p + s.o)) >= 0) {
                v[k] = q;
            } else {
                break;
            }
        }
    for (; k < y; k++) {
        if (s.eol()) {
            f->a = k;
            f->b = y;
            return LogFault::SHORT_LINE;
        }
        const What w = field(s, k, &v[k], f);
        if (w != LogFault::OK)
            return w;
    }
    const size_t e = s.eol();
    if (e == 0)
        return s.at(s.o) < 0 || (s.at(s.o) == '\r' && s.at(s.o + 1) < 0) ? LogFault::OUT : LogFault::LONG_LINE;
    if (e != eol) {
        f->a = static_cast<int>(e);
        f->b = static_cast<int>(eol);
        return LogFault::EOL_DIFF;
    }
    s.o += e;
    return LogFault::OK;
}

What first(Scan& s, int* x, int* y, size_t* eol, int (*b)[M_N], LogFault* f)
{
    f->line = 0;
    if (s.at(0) != LOG_SEP)
        return s.at(0) < 0 ? LogFault::OUT : LogFault::NO_BAR;
    s.o = 1;
    int k = 0;
    for (; !s.eol(); k++) {
        if (k == LOG_MAX_Y) {
            f->a = k + 1;
            return LogFault::BAD_Y;
        }
        const What w = field(s, k, &b[0][k], f);
        if (w != LogFault::OK)
            return w;
    }
    if (k < LOG_MIN_Y) {
        f->a = k;
        return LogFault::BAD_Y;
    }
    *y = k;
    *eol = s.eol();
    s.o += *eol;
    for (int i = 1;; i++) {
        f->line = i;
        if (const size_t e = s.eol()) {
            if (e != *eol) {
                f->a = static_cast<int>(e);
                f->b = static_cast<int>(*eol);
                return LogFault::EOL_DIFF;
            }
            if (i < LOG_MIN_X) {
                f->a = i;
                return LogFault::BAD_X;
            }
            *x = i;
            s.o += e;
            return LogFault::OK;
        }
        if (i == LOG_MAX_X) {
            f->a = i + 1;
            return LogFault::BAD_X;
        }
        const What w = cells(s, *y, *eol, b[i], f);
        if (w != LogFault::OK)
            return w;
    }
}

What later(Scan& s, int x, int y, size_t eol, int (*b)[M_N], LogFault* f)
{
    for (int i = 0; i < x; i++) {
        f->line = i;
        if (s.eol())
            return LogFault::FEWER_LINES;
        const What w = cells(s, y, eol, b[i], f);
        if (w != LogFault::OK)
            return w == LogFault::OUT ? LogFault::LONG_LINE : w;
    }
    f->line = x;
    const size_t e = s.eol();
    if (e == eol)
        return LogFault::OK;
    f->a = static_cast<int>(e);
    f->b = static_cast<int>(eol);
    return e ? LogFault::EOL_DIFF : s.at(s.o) == LOG_SEP ? LogFault::MORE_LINES : LogFault::NO_END;
}

const char* eol_name(int e) { return e == 2 ? "CRLF" : "LF"; }

} // namespace

LogFault log_first(const char* p, size_t n, int* x, int* y, size_t* eol, int (*b)[M_N])
{
    Scan s{p, n};
    LogFault f;
    f.what = first(s, x, y, eol, b, &f);
    return f;
}

LogFault log_later(const char* p, int x, int y, size_t eol, int (*b)[M_N])
{
    Scan s{p, log_snapshot(x, y, eol)};
    LogFault f;
    f.what = later(s, x, y, eol, b, &f);
    return f;
}

std::string log_fault_text(const LogFault& f)
{
    char t[160] = "";
    switch (f.what) {
    case LogFault::OUT: return "文件在第一个快照写完之前就结束了";
    case LogFault::NO_BAR: return "行首不是“|”";
    case LogFault::BAD_FIELD: std::snprintf(t, sizeof t, "第 %d 个字段不是“%%3d|”的格式", f.a); break;
    case LogFault::BAD_VALUE:
        std::snprintf(t, sizeof t, "第 %d 个字段的值 %d 不在 0~%d 之间", f.a, f.b, LOG_MAX_VALUE);
        break;
    case LogFault::SHORT_LINE: std::snprintf(t, sizeof t, "这一行只有 %d 个字段，第 1 行有 %d 个", f.a, f.b); break;
    case LogFault::LONG_LINE: return "这一行比第 1 行长";
    case LogFault::EOL_DIFF: std::snprintf(t, sizeof t, "行尾是 %s，第 1 行的是 %s", eol_name(f.a), eol_name(f.b)); break;
    case LogFault::BAD_Y:
    case LogFault::BAD_X: {
        // A count past the most is said as that most, else as it is.
        const bool y = f.what == LogFault::BAD_Y;
        const int most = y ? LOG_MAX_Y : LOG_MAX_X;
        std::snprintf(t, sizeof t, y ? "一行%s %d 个字段：井的高度不在 %d~%d 之间" : "快照%s %d 行：井的宽度不在 %d~%d 之间",
                      f.a > most ? "超过" : "只有", f.a > most ? most : f.a, y ? LOG_MIN_Y : LOG_MIN_X, most);
        break;
    }
    case LogFault::FEWER_LINES: return "这里是空行：这个快照的行数比第一个快照少";
    case LogFault::MORE_LINES: return "这里应是快照结尾的空行：这个快照的行数比第一个快照多";
    case LogFault::NO_END: return "这里应是快照结尾的空行";
    case LogFault::OK: break;
    }
    return t;
}
