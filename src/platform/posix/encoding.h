// The terminal's encoding as the locale gives it: GBK, GB18030 and GB2312
// through iconv, UTF-8 (unchanged) for every other codeset.
#pragma once

#include <iconv.h>

#include "console/ansi.h"

class IconvEncoding : public Encoding {
public:
    explicit IconvEncoding(const char* codeset);
    ~IconvEncoding() override;
    IconvEncoding(const IconvEncoding&) = delete;
    IconvEncoding& operator=(const IconvEncoding&) = delete;

    void append(std::string& dst, std::string_view utf8) override;
    bool has(std::string_view ch) override;
    int bytes(char32_t ch) const override;
    bool converting() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

private:
    iconv_t cd_;
};

// The locale's codeset, the locale set to the user's first.
const char* locale_codeset();
