#pragma once
// Fixed-format dates for storing in the database: a Unicode date pattern ("yyyy-MM-dd HH:mm:ss"),
// a fixed offset from GMT and English month and day names. Enough for dates kept as text.
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace sqlite {

class DateFormatter {
  public:
    // Pattern letters understood: y, M (numeric, MMM, MMMM), d, H, h, m, s, S (fraction), a, E
    // (EEE, EEEE), Z; text in single quotes is literal ('' is a quote); other characters are literal.
    explicit DateFormatter(std::string dateFormat, int secondsFromGMT = 0,
                           std::string localeIdentifier = "en_US");

    const std::string& dateFormat() const { return format_; }
    int secondsFromGMT() const { return offset_; }
    const std::string& localeIdentifier() const { return locale_; }

    std::string stringFromDate(foundation::Date date) const;
    // None when the text does not match the pattern or names an impossible date.
    std::optional<foundation::Date> dateFromString(std::string_view text) const;

  private:
    std::string format_;
    int offset_;
    std::string locale_;
};

} // namespace sqlite
