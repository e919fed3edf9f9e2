// dates: the year and the short dates (the menu's date block, the third
// caption) made from a party's `dates` as organisers write it:
//
//   Friday 6 - Sunday 8 August 2027        -> 2027, "6 - 8 August"
//   Freitag 6. - Sonntag 8. August 2027    -> 2027, "6. - 8. August"
//   sam. 7 – dim. 8 août 2027              -> 2027, "7 - 8 août"
//   2027-03-12 to 2027-03-14               -> 2027, "12 - 14 March"
//   12/03/2027 - 14/03/2027                -> 2027, "12/03 - 14/03"
//   Mar 30 - Apr 1, 2027                   -> 2027, "Mar 30 - Apr 1"
//
// The year is the last four-digit number. The short dates are the dates
// without weekday names (full or abbreviated, with or without accents, in
// English, German, French, Spanish, Italian, Dutch, Swedish, Danish,
// Norwegian, Finnish, Polish, Czech and Portuguese) and without the year;
// an en or em dash becomes " - ". ISO dates (2027-03-12, ranges joined by
// "to", "-", "–", "—" or "/", the second date also as 03-14 or 14) are
// written as day and English month name.
#pragma once

#include <string>

namespace kit {

struct DerivedDates {
  std::string year;         // "" when dates holds no four-digit number
  std::string short_dates;  // "" when nothing is left of dates
};

DerivedDates dates_derive(const std::string& dates);

// Whether dates writes a date with the year first and '/' or '.' after it
// ("2027/03/12"): whether day or month follows is not known, so no short
// dates are made from it. (ISO dates, "2027-03-12", are read.)
bool dates_year_first(const std::string& dates);

// The short dates with their month names cut to three letters ("30 July -
// 1 August" -> "30 Jul - 1 Aug"), for a suggestion when they are too long;
// the text unchanged when it names no month.
std::string dates_abbreviate(const std::string& short_dates);

// Whether a word (any case, with or without accents) names a weekday or a
// month in one of the languages above, in full or abbreviated.
bool dates_is_weekday(const std::string& word);
bool dates_is_month(const std::string& word);

}  // namespace kit
