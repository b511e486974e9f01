// Stored date texts: formatting and parsing at a fixed offset from GMT.
#include <catch2/catch.hpp>

#include "platform/sqlite/DateFormatter.h"

using sqlite::DateFormatter;

TEST_CASE("DateFormatter round-trips stored dates", "[DateFormatter]") {
    foundation::Date date{1413203400}; // 2014-10-13 12:30:00 UTC, a Monday

    SECTION("numeric and named fields") {
        CHECK(DateFormatter("yyyy-MM-dd HH:mm:ss").stringFromDate(date) == "2014-10-13 12:30:00");
        CHECK(DateFormatter("EEE, d MMM yy h:mm a").stringFromDate(date) == "Mon, 13 Oct 14 12:30 PM");
        CHECK(DateFormatter("MMMM-dd-yyyy 'at' HH'h'").stringFromDate(date) == "October-13-2014 at 12h");
        CHECK(DateFormatter("yyyyMMddZ", 9 * 3600).stringFromDate(date) == "20141013+0900");
    }
    SECTION("parsing is the inverse") {
        DateFormatter f("yyyy-MM-dd HH:mm:ss");
        CHECK(f.dateFromString("2014-10-13 12:30:00") == date);
        CHECK(DateFormatter("MMM-dd-yyyy HH:mm").dateFromString("Oct-13-2014 12:30") == date);
        CHECK(DateFormatter("yyyy-MM-dd HH:mm", 9 * 3600).dateFromString("2014-10-13 21:30") == date);
    }
    SECTION("text that does not fit gives none") {
        DateFormatter f("yyyy-MM-dd");
        CHECK_FALSE(f.dateFromString("2014-10-13 extra"));
        CHECK_FALSE(f.dateFromString("2014/10/13"));
        CHECK_FALSE(f.dateFromString("2014-02-30"));
        CHECK_FALSE(f.dateFromString("2014-13-01"));
        CHECK_FALSE(f.dateFromString(""));
    }
}
