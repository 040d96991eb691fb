// Dates and times of the person's own clock, as the kept history stores them
// (LocalSeconds) and as the history shows them.
#pragma once

#include <string>

#include "clipboard_change.h"
#include "history_store.h"

namespace rtrillex {

struct CalendarDate {
  int year, month, day;
  bool operator==(const CalendarDate& other) const {
    return year == other.year && month == other.month && day == other.day;
  }
};

LocalSeconds ToLocalSeconds(CalendarDate date, TimeOfDay time);
CalendarDate DateOf(LocalSeconds at);
TimeOfDay TimeOfDayOf(LocalSeconds at);

// "yyyy/mm/dd", as a Japanese interface writes a date.
std::wstring DateText(CalendarDate date);

}  // namespace rtrillex
