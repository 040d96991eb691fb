#include "local_time.h"

#include <cstdio>

namespace rtrillex {
namespace {

constexpr LocalSeconds kSecondsPerDay = 86400;

// Days since 1970-01-01 in the proleptic Gregorian calendar, and back
// (H. Hinnant's civil-from-days algorithms).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

CalendarDate CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  const std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2);
  return {static_cast<int>(year), static_cast<int>(month), static_cast<int>(day)};
}

std::int64_t DaysOf(LocalSeconds at) { return (at >= 0 ? at : at - kSecondsPerDay + 1) / kSecondsPerDay; }

}  // namespace

LocalSeconds ToLocalSeconds(CalendarDate date, TimeOfDay time) {
  return DaysFromCivil(date.year, static_cast<unsigned>(date.month), static_cast<unsigned>(date.day)) * kSecondsPerDay +
         time.hour * 3600 + time.minute * 60 + time.second;
}

CalendarDate DateOf(LocalSeconds at) { return CivilFromDays(DaysOf(at)); }

TimeOfDay TimeOfDayOf(LocalSeconds at) {
  const auto second = static_cast<int>(at - DaysOf(at) * kSecondsPerDay);
  return {second / 3600, second / 60 % 60, second % 60};
}

std::wstring DateText(CalendarDate date) {
  wchar_t text[16];
  std::swprintf(text, std::size(text), L"%04d/%02d/%02d", date.year, date.month, date.day);
  return text;
}

}  // namespace rtrillex
