// Recordings read back by the tests and the fuzz targets: strict JSON
// (RFC 8259, valid UTF-8) and the asciicast v2 lines made of it.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "console/utf8.h"

// An asciicast v2 recording read back, every line parsed as strict JSON:
// the header's fields and the output events, in order. `fault` says the
// first line that is not as the format has it (not JSON, not an event, a
// time before the last), empty when none is.
struct CastFile {
    std::string fault;
    double version = 0, width = 0, height = 0, timestamp = -1;
    std::string title, term;
    std::vector<std::pair<double, std::string>> events; // time, text
};

// A JSON value, as much of it as a recording needs.
struct Json {
    enum Kind { Null, Bool, Num, Str, Arr, Obj } kind = Null;
    double num = 0;
    std::string str;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> fields;
    const Json* field(const char* name) const
    {
        for (const auto& f : fields)
            if (f.first == name)
                return &f.second;
        return nullptr;
    }
};

// Strict JSON: false at the first thing the grammar does not allow.
class JsonParser {
public:
    explicit JsonParser(const std::string& s) : s_(s) {}
    // The whole text is one value.
    bool whole(Json& v)
    {
        if (!value(v, 0))
            return false;
        space();
        return k_ == s_.size();
    }

private:
    void space()
    {
        while (k_ < s_.size() && std::strchr(" \t\r\n", s_[k_]) && s_[k_] != '\0')
            k_++;
    }
    bool take(char c)
    {
        space();
        if (k_ < s_.size() && s_[k_] == c) {
            k_++;
            return true;
        }
        return false;
    }
    bool word(const char* w)
    {
        const size_t n = std::strlen(w);
        if (s_.compare(k_, n, w) != 0)
            return false;
        k_ += n;
        return true;
    }
    static bool digit(char c) { return c >= '0' && c <= '9'; }
    bool number(double& d)
    {
        const size_t from = k_;
        if (k_ < s_.size() && s_[k_] == '-')
            k_++;
        if (k_ < s_.size() && s_[k_] == '0')
            k_++;
        else if (k_ < s_.size() && digit(s_[k_]))
            while (k_ < s_.size() && digit(s_[k_]))
                k_++;
        else
            return false;
        auto digits = [&] {
            const size_t at = k_;
            while (k_ < s_.size() && digit(s_[k_]))
                k_++;
            return k_ > at;
        };
        if (k_ < s_.size() && s_[k_] == '.' && (++k_, !digits()))
            return false;
        if (k_ < s_.size() && (s_[k_] == 'e' || s_[k_] == 'E')) {
            k_++;
            if (k_ < s_.size() && (s_[k_] == '+' || s_[k_] == '-'))
                k_++;
            if (!digits())
                return false;
        }
        d = std::strtod(s_.substr(from, k_ - from).c_str(), nullptr);
        return true;
    }
    bool hex4(unsigned& u)
    {
        if (k_ + 4 > s_.size())
            return false;
        u = 0;
        for (int i = 0; i < 4; i++) {
            const char c = s_[k_++];
            const int h = digit(c) ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (h < 0)
                return false;
            u = u * 16 + static_cast<unsigned>(h);
        }
        return true;
    }
    bool string(std::string& out)
    {
        if (!take('"'))
            return false;
        while (k_ < s_.size()) {
            const unsigned char c = static_cast<unsigned char>(s_[k_]);
            if (c == '"') {
                k_++;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c != '\\') {
                const int n = utf8_len(reinterpret_cast<const unsigned char*>(s_.data()) + k_, s_.size() - k_);
                if (n <= 0)
                    return false;
                out.append(s_, k_, static_cast<size_t>(n));
                k_ += static_cast<size_t>(n);
                continue;
            }
            if (++k_ >= s_.size())
                return false;
            const char e = s_[k_++];
            const char* from = "\"\\/bfnrt";
            const char* to = "\"\\/\b\f\n\r\t";
            if (const char* at = e ? std::strchr(from, e) : nullptr) {
                out += to[at - from];
                continue;
            }
            unsigned u = 0, lo = 0;
            if (e != 'u' || !hex4(u))
                return false;
            if (u >= 0xd800 && u < 0xdc00) {
                if (!word("\\u") || !hex4(lo) || lo < 0xdc00 || lo >= 0xe000)
                    return false;
                u = 0x10000 + ((u - 0xd800) << 10) + (lo - 0xdc00);
            } else if (u >= 0xdc00 && u < 0xe000) {
                return false;
            }
            utf8_put(out, u);
        }
        return false;
    }
    bool value(Json& v, int depth)
    {
        space();
        if (depth > 16 || k_ >= s_.size())
            return false;
        const char c = s_[k_];
        if (c == '"') {
            v.kind = Json::Str;
            return string(v.str);
        }
        if (c == '[' || c == '{') {
            const bool arr = c == '[';
            v.kind = arr ? Json::Arr : Json::Obj;
            k_++;
            if (take(arr ? ']' : '}'))
                return true;
            do {
                Json item;
                std::string name;
                if (!arr && !(string(name) && take(':')))
                    return false;
                if (!value(item, depth + 1))
                    return false;
                if (arr)
                    v.items.push_back(std::move(item));
                else
                    v.fields.emplace_back(name, std::move(item));
            } while (take(','));
            return take(arr ? ']' : '}');
        }
        if (word("true") || word("false")) {
            v.kind = Json::Bool;
            return true;
        }
        if (word("null"))
            return true;
        v.kind = Json::Num;
        return number(v.num);
    }

    const std::string& s_;
    size_t k_ = 0;
};

inline CastFile read_cast(const std::string& bytes)
{
    CastFile c;
    size_t at = 0;
    for (int line = 1; at < bytes.size(); line++) {
        const size_t nl = bytes.find('\n', at);
        const std::string text = bytes.substr(at, nl == std::string::npos ? std::string::npos : nl - at);
        at = nl == std::string::npos ? bytes.size() : nl + 1;
        Json v;
        const std::string where = "line " + std::to_string(line) + ": ";
        if (nl == std::string::npos) {
            c.fault = where + "no line break at its end";
            return c;
        }
        if (!JsonParser(text).whole(v)) {
            c.fault = where + "not JSON: " + text.substr(0, 80);
            return c;
        }
        if (line == 1) {
            auto num = [&](const char* name, double* d) {
                const Json* f = v.field(name);
                if (f && f->kind == Json::Num)
                    *d = f->num;
            };
            if (v.kind != Json::Obj) {
                c.fault = where + "the header is no object";
                return c;
            }
            num("version", &c.version);
            num("width", &c.width);
            num("height", &c.height);
            num("timestamp", &c.timestamp);
            if (const Json* t = v.field("title"))
                c.title = t->str;
            const Json* env = v.field("env");
            if (const Json* term = env ? env->field("TERM") : nullptr)
                c.term = term->str;
            continue;
        }
        if (v.kind != Json::Arr || v.items.size() != 3 || v.items[0].kind != Json::Num ||
            v.items[1].kind != Json::Str || v.items[1].str != "o" || v.items[2].kind != Json::Str) {
            c.fault = where + "not an output event: " + text.substr(0, 80);
            return c;
        }
        if (!c.events.empty() && v.items[0].num < c.events.back().first) {
            c.fault = where + "its time is before the last";
            return c;
        }
        c.events.emplace_back(v.items[0].num, v.items[2].str);
    }
    if (c.fault.empty() && bytes.empty())
        c.fault = "no header";
    return c;
}
