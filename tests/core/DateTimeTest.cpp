#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "engine/core/DateTime.h"

using namespace quil;

namespace {

// Sets TZ for one test and puts the previous value back.
class ZoneGuard {
 public:
  explicit ZoneGuard(const char* tz) {
    if (const char* old = std::getenv("TZ")) FOld = old, FHad = true;
    ::setenv("TZ", tz, 1);
    ::tzset();
  }
  ~ZoneGuard() {
    if (FHad)
      ::setenv("TZ", FOld.c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }

 private:
  std::string FOld;
  bool FHad = false;
};

constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr double kSecond = 1.0 / 86400;
constexpr double kTolerance = 0.001 * kSecond;

constexpr uint32_t Dos(int y, int mo, int d, int h, int mi, int s) {
  return uint32_t((y - 1980) << 9 | mo << 5 | d) << 16 | uint32_t(h << 11 | mi << 5 | s / 2);
}

}  // namespace

TEST(DateTime, DosStamps) {
  struct { uint32_t stamp; double want; } cases[] = {
      {0, 29221.0},
      {Dos(1980, 1, 1, 0, 0, 0), 29221.0},
      {Dos(2000, 2, 29, 12, 0, 0), 36585.5},                          // leap day of 2000
      {Dos(2100, 3, 1, 0, 0, 0), 73110.0},
      {Dos(2107, 12, 31, 23, 59, 58), 75971.0 + 86398 * kSecond},     // last DOS stamp
      {Dos(2100, 2, 29, 0, 0, 0), 29221.0},                           // 2100 is no leap year
      {Dos(2001, 2, 29, 0, 0, 0), 29221.0},
      {Dos(2001, 4, 31, 0, 0, 0), 29221.0},
      {Dos(2001, 0, 1, 0, 0, 0), 29221.0},                            // month 0
      {Dos(2001, 13, 1, 0, 0, 0), 29221.0},
      {Dos(2001, 1, 0, 0, 0, 0), 29221.0},                            // day 0
      {Dos(2001, 1, 1, 24, 0, 0), 29221.0},
      {Dos(2001, 1, 1, 0, 60, 0), 29221.0},
      {Dos(2001, 1, 1, 0, 0, 60), 29221.0},                           // seconds field 30
      {0x00001234, 29221.0},                                          // time without a date
  };
  for (const auto& c : cases)
    EXPECT_NEAR(DosToDateTime(c.stamp), c.want, kTolerance) << std::hex << c.stamp;
}

TEST(DateTime, UnixStampsInUtc) {
  ZoneGuard utc("UTC");
  struct { int64_t seconds; double want; } cases[] = {
      {0, 29221.0 + 60 * kSecond},                // unset stamp: 1 January 1980 00:01:00
      {86400, 25570.0},                           // midnight stays midnight
      {86401, 25570.0 + kSecond},
      {86399, 25569.0 + 86399 * kSecond},
      {-2203977600, 60.0},                        // 28 February 1900
      {-2203891200, 61.0},                        // 1 March 1900: 1900 has no 29 February
      {951825600, 36585.5},                       // 29 February 2000 12:00
      {4107542399, 73109.0 + 86399 * kSecond},    // 28 February 2100 23:59:59
      {4107542400, 73110.0},                      // 1 March 2100
      {2147483648, 50424.0 + 11648 * kSecond},    // past 32-bit seconds
      {-86400, 25568.0},                          // 31 December 1969
      {std::numeric_limits<int64_t>::max(), 29221.0},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(UnixToDateTime(c.seconds), c.want, kTolerance) << c.seconds;
}

TEST(DateTime, UnixStampsFollowTheZoneRules) {
  ZoneGuard cet(kCentralEurope);
  // 1 January 2021 00:00 local (UTC+1) and 1 July 2021 00:00 local (summer time, UTC+2).
  EXPECT_EQ(UnixToDateTime(1609455600), 44197.0);
  EXPECT_EQ(UnixToDateTime(1625090400), 44378.0);
  EXPECT_NEAR(UnixToDateTime(1625090400 - 1), 44377.0 + 86399 * kSecond, kTolerance);
  EXPECT_EQ(UnixToDos(1609455600), Dos(2021, 1, 1, 0, 0, 0));
  EXPECT_EQ(UnixToDos(1625090400), Dos(2021, 7, 1, 0, 0, 0));
  EXPECT_EQ(DosToUnix(Dos(2021, 7, 1, 0, 0, 0)), 1625090400);
  EXPECT_EQ(DosToUnix(Dos(2021, 3, 28, 3, 0, 0)), 1616893200);  // first hour of summer time
  EXPECT_EQ(DateTimeToUnix(44378.0), 1625090400);
}

TEST(DateTime, RoundTrips) {
  for (const char* tz : {"UTC", kCentralEurope}) {
    ZoneGuard zone(tz);
    for (int64_t t : {315532800LL, 951825600LL, 1609455600LL, 1635678001LL, 4107542399LL}) {
      EXPECT_EQ(DateTimeToUnix(UnixToDateTime(t)), t) << tz << " " << t;
      // DOS stamps hold even seconds: odd seconds are rounded down.
      EXPECT_EQ(DosToUnix(UnixToDos(t)), t & ~int64_t{1}) << tz << " " << t;
      uint32_t dos = UnixToDos(t);
      EXPECT_EQ(DateTimeToDos(DosToDateTime(dos)), dos) << tz << " " << t;
    }
  }
}

TEST(DateTime, DosLimits) {
  ZoneGuard utc("UTC");
  EXPECT_EQ(DateTimeToDos(EncodeDateTime(1979, 12, 31, 23, 59, 59)), Dos(1980, 1, 1, 0, 0, 0));
  EXPECT_EQ(DateTimeToDos(EncodeDateTime(2108, 1, 1, 0, 0, 0)), Dos(2107, 12, 31, 23, 59, 58));
  EXPECT_EQ(DateTimeToDos(EncodeDateTime(2024, 5, 6, 7, 8, 9, 999)), Dos(2024, 5, 6, 7, 8, 8));
  EXPECT_EQ(UnixToDos(-86400), Dos(1980, 1, 1, 0, 0, 0));
  EXPECT_EQ(DosToUnix(0), 315532800);       // invalid stamps count as 1 January 1980
  EXPECT_EQ(DosToUnix(0xFFFFFFFF), 315532800);
  // Junk never converts to a value out of the calendar.
  for (double junk : {1e300, -1e300, std::numeric_limits<double>::quiet_NaN()}) {
    TDateTimeParts p = DecodeDateTime(junk);
    EXPECT_TRUE(p.Year >= 1 && p.Year <= 9999) << junk;
  }
}

TEST(DateTime, DecodeAndEncodeAgree) {
  const TDateTimeParts p = DecodeDateTime(EncodeDateTime(1899, 12, 29, 6, 0, 0));
  EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0), -1.25);
  EXPECT_EQ(p.Year, 1899);
  EXPECT_EQ(p.Day, 29);
  EXPECT_EQ(p.Hour, 6);
  // A time that rounds up to the next millisecond day boundary carries into the next day.
  const TDateTimeParts q = DecodeDateTime(44197.0 - 0.0001 * kSecond);
  EXPECT_EQ(q.Year, 2021);
  EXPECT_EQ(q.Month, 1);
  EXPECT_EQ(q.Day, 1);
  EXPECT_EQ(q.Hour, 0);
  // Before 1900 too: 29 December 1899 at the very end of the day becomes 30 December 00:00.
  const TDateTimeParts r = DecodeDateTime(-1.0 - (1.0 - 0.0001 * kSecond));
  EXPECT_EQ(r.Year, 1899);
  EXPECT_EQ(r.Day, 30);
  EXPECT_EQ(r.Hour, 0);
}

TEST(DateTime, NowIsTheSystemClock) {
  ZoneGuard cet(kCentralEurope);
  const double before = UnixToDateTime(std::time(nullptr));
  const double now = NowDateTime();
  const double after = UnixToDateTime(std::time(nullptr)) + kSecond;
  EXPECT_GE(now, before);
  EXPECT_LE(now, after);
}
