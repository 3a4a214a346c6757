// Time stamps: the DOS date-time that most archive formats store (date in the high 16 bits, time
// in the low 16 bits, two-second steps, local time), Unix seconds, and TDateTime (days since
// 30 December 1899, the fraction being the time of day), which the entry record and the user
// interface use. Local time follows the system's time-zone rules (TZ) for the instant converted.
// None of these functions throws.
#pragma once

#include <cstdint>

#include "engine/core/EntryInfo.h"

namespace quil {

// A stored DOS date-time; 0 or a value that is not a real date and time gives DateOf1980.
TDateTime DosToDateTime(uint32_t stamp);
// Seconds since 1970-01-01 00:00 UTC as local date and time. 0 gives 1 January 1980 00:01:00 (the
// mark of an unset stamp); an instant the calendar cannot hold gives DateOf1980.
TDateTime UnixToDateTime(int64_t seconds);
// The current local date and time, to the millisecond.
TDateTime NowDateTime();

// A date-time as a DOS date-time (seconds rounded down to even). Dates before 1980 give
// 1 January 1980 00:00:00, dates after 2107 give 31 December 2107 23:59:58.
uint32_t DateTimeToDos(TDateTime dt);
// A file time (Unix seconds) as a local DOS date-time, with the same limits.
uint32_t UnixToDos(int64_t seconds);
// A DOS date-time as Unix seconds (for stamping extracted files); 0 or invalid stamps count as
// 1 January 1980 00:00:00 local time.
int64_t DosToUnix(uint32_t stamp);
// A local date-time as Unix seconds.
int64_t DateTimeToUnix(TDateTime dt);

// Calendar building blocks (proleptic Gregorian calendar).
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// The date-time of a calendar date and time of day; the fields are not checked.
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond = 0);
struct TDateTimeParts {
  int Year, Month, Day, Hour, Minute, Second, Millisecond;
};
// The calendar fields of a date-time, rounded to the millisecond.
TDateTimeParts DecodeDateTime(TDateTime dt);

}  // namespace quil
