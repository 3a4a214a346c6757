#include "engine/core/DateTime.h"

#include <time.h>

#include <algorithm>
#include <cmath>

namespace quil {

namespace {

constexpr int64_t kMsPerDay = 86400000;
constexpr double kUnixEpochDays = 25569.0;  // 1 January 1970 as a TDateTime
constexpr uint32_t kDos1980 = 0x00210000u;  // 1 January 1980 00:00:00
constexpr uint32_t kDosLast = 0xFF9FBF7Du;  // 31 December 2107 23:59:58
constexpr double kFirstDay = -693593.0;     // 1 January 0001
constexpr double kLastDay = 2958465.0;      // 31 December 9999

// Days from 1 January 1970 to the given date (any year, proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

struct DosParts {
  int year, month, day, hour, minute, second;
};

bool SplitDos(uint32_t stamp, DosParts& p) {
  const uint32_t date = stamp >> 16, time = stamp & 0xFFFF;
  p.year = 1980 + static_cast<int>(date >> 9);
  p.month = static_cast<int>((date >> 5) & 0x0F);
  p.day = static_cast<int>(date & 0x1F);
  p.hour = static_cast<int>(time >> 11);
  p.minute = static_cast<int>((time >> 5) & 0x3F);
  p.second = static_cast<int>(time & 0x1F) * 2;
  return p.month >= 1 && p.month <= 12 && p.day >= 1 && p.day <= DaysInMonth(p.year, p.month) &&
         p.hour < 24 && p.minute < 60 && p.second < 60;
}

uint32_t PackDos(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1980) return kDos1980;
  if (year > 2107) return kDosLast;
  const uint32_t date = (static_cast<uint32_t>(year - 1980) << 9) |
                        (static_cast<uint32_t>(month) << 5) | static_cast<uint32_t>(day);
  const uint32_t time = (static_cast<uint32_t>(hour) << 11) |
                        (static_cast<uint32_t>(minute) << 5) | static_cast<uint32_t>(second / 2);
  return (date << 16) | time;
}

// Local calendar fields of a Unix instant under the current TZ rules.
bool LocalParts(int64_t seconds, struct tm& out) {
  ::tzset();
  const time_t t = static_cast<time_t>(seconds);
  if (static_cast<int64_t>(t) != seconds) return false;
  return ::localtime_r(&t, &out) != nullptr;
}

int64_t LocalToUnix(int year, int month, int day, int hour, int minute, int second) {
  struct tm tm {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;  // let the zone rules decide
  ::tzset();
  return static_cast<int64_t>(::mktime(&tm));
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond) {
  const double date = static_cast<double>(DaysFromCivil(year, month, day)) + kUnixEpochDays;
  const double time =
      static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond) / kMsPerDay;
  // Before 30 December 1899 the day counts down while the time of day still counts up.
  return date < 0 ? date - time : date + time;
}

TDateTimeParts DecodeDateTime(TDateTime dt) {
  TDateTimeParts p{};
  if (!std::isfinite(dt)) dt = DateOf1980;
  dt = std::clamp(dt, kFirstDay, kLastDay);
  double whole = std::trunc(dt);
  int64_t ms = std::llround(std::fabs(dt - whole) * kMsPerDay);
  if (ms >= kMsPerDay) {  // rounded up into the next calendar day
    ms -= kMsPerDay;
    whole += 1;
  }
  CivilFromDays(static_cast<int64_t>(whole - kUnixEpochDays), p.Year, p.Month, p.Day);
  p.Millisecond = static_cast<int>(ms % 1000);
  ms /= 1000;
  p.Second = static_cast<int>(ms % 60);
  ms /= 60;
  p.Minute = static_cast<int>(ms % 60);
  p.Hour = static_cast<int>(ms / 60);
  return p;
}

TDateTime DosToDateTime(uint32_t stamp) {
  DosParts p;
  if (stamp == 0 || !SplitDos(stamp, p)) return DateOf1980;
  return EncodeDateTime(p.year, p.month, p.day, p.hour, p.minute, p.second);
}

TDateTime UnixToDateTime(int64_t seconds) {
  if (seconds == 0) return DateOf1980 + 60.0 / 86400.0;
  struct tm tm;
  if (!LocalParts(seconds, tm)) return DateOf1980;
  return EncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                        tm.tm_sec > 59 ? 59 : tm.tm_sec);
}

TDateTime NowDateTime() {
  struct timespec ts;
  ::clock_gettime(CLOCK_REALTIME, &ts);
  struct tm tm;
  if (!LocalParts(ts.tv_sec, tm)) return DateOf1980;
  return EncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                        tm.tm_sec > 59 ? 59 : tm.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

uint32_t DateTimeToDos(TDateTime dt) {
  const TDateTimeParts p = DecodeDateTime(dt);
  return PackDos(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second);
}

uint32_t UnixToDos(int64_t seconds) {
  struct tm tm;
  if (!LocalParts(seconds, tm)) return seconds < 0 ? kDos1980 : kDosLast;
  return PackDos(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                 tm.tm_sec > 59 ? 59 : tm.tm_sec);
}

int64_t DosToUnix(uint32_t stamp) {
  DosParts p;
  if (stamp == 0 || !SplitDos(stamp, p)) p = {1980, 1, 1, 0, 0, 0};
  return LocalToUnix(p.year, p.month, p.day, p.hour, p.minute, p.second);
}

int64_t DateTimeToUnix(TDateTime dt) {
  const TDateTimeParts p = DecodeDateTime(dt);
  return LocalToUnix(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second);
}

}  // namespace quil
