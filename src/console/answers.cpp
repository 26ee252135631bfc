#include "console/answers.h"

#include <climits>

namespace {

// More bytes than this that answer nothing (blanks without end, a wrong
// line that never ends, NUL bytes from a device) end the input.
constexpr size_t IDLE_MAX = 1 << 20;

bool blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool digit(char c) { return c >= '0' && c <= '9'; }

} // namespace

int Answers::next(std::string& text, bool ended, int* v)
{
    const size_t n = text.size();
    size_t k = 0;
    int r = NONE;
    bool number = false; // a number ended at text[k]
    while (r == NONE && !number && k < n) {
        if (phase_ == DROP) {
            while (k < n && text[k] != '\n')
                k++;
            if (k == n)
                break;
            k++;
            phase_ = BLANKS;
        } else if (phase_ == BLANKS) {
            while (k < n && blank(text[k]))
                k++;
            if (k == n)
                break;
            const char c = text[k];
            if (c == '+' || c == '-' || digit(c)) {
                phase_ = DIGITS;
                neg_ = c == '-';
                digits_ = false;
                value_ = 0;
                if (!digit(c))
                    k++;
            } else {
                // No number here: one wrong entry, with the rest of its line.
                k++;
                phase_ = DROP;
                r = WRONG;
            }
        } else {
            for (; k < n && digit(text[k]); k++) {
                digits_ = true;
                if (value_ <= static_cast<long long>(INT_MAX) + 1)
                    value_ = value_ * 10 + (text[k] - '0');
            }
            number = k < n;
        }
    }
    idle_ += k;
    text.erase(0, k);
    if (phase_ == DIGITS && (number || (text.empty() && ended))) {
        phase_ = BLANKS;
        const long long s = neg_ ? -value_ : value_;
        r = digits_ && s >= INT_MIN && s <= INT_MAX ? ANSWER : WRONG;
        if (r == ANSWER)
            *v = static_cast<int>(s);
    }
    if (r != NONE) {
        idle_ = 0;
        return r;
    }
    return (ended && text.empty()) || idle_ > IDLE_MAX ? ENDED : NONE;
}
