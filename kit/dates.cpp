// dates: year and short dates from a party's dates (see dates.h).
#include "kit/dates.h"

#include <algorithm>
#include <string_view>

#include "kit/text.h"

namespace kit {

namespace {

// Weekday names in full, in lower case without accents (as text_fold_ascii
// writes them): English, German, French, Spanish, Italian, Dutch, Swedish,
// Danish and Norwegian, Finnish (also "on Friday": perjantaina), Polish,
// Czech, Portuguese ("sexta" of "sexta-feira").
// clang-format off
constexpr std::string_view kWeekdays[] = {
    "monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday",
    "montag", "dienstag", "mittwoch", "donnerstag", "freitag", "samstag", "sonnabend", "sonntag",
    "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi", "dimanche",
    "lunes", "martes", "miercoles", "jueves", "viernes", "sabado", "domingo",
    "lunedi", "martedi", "mercoledi", "giovedi", "venerdi", "sabato", "domenica",
    "maandag", "dinsdag", "woensdag", "donderdag", "vrijdag", "zaterdag", "zondag",
    "mandag", "tisdag", "tirsdag", "tysdag", "onsdag", "torsdag", "fredag", "lordag", "laurdag", "sondag",
    "sundag",
    "maanantai", "tiistai", "keskiviikko", "torstai", "perjantai", "lauantai", "sunnuntai",
    "maanantaina", "tiistaina", "keskiviikkona", "torstaina", "perjantaina", "lauantaina", "sunnuntaina",
    "poniedzialek", "wtorek", "sroda", "czwartek", "piatek", "sobota", "niedziela",
    "pondeli", "utery", "streda", "ctvrtek", "patek", "nedele",
    "segunda", "terca", "quarta", "quinta", "sexta",
};
// clang-format on

// Portuguese weekdays that "-feira" follows.
constexpr std::string_view kFeiraDays[] = {"segunda", "terca", "quarta", "quinta", "sexta"};

// Abbreviated weekdays: taken out only right before a day number and not
// right after one (so "6 to 8", "6 do 8" keep their word).
// clang-format off
constexpr std::string_view kWeekdayAbbreviations[] = {
    "mon", "tue", "tues", "wed", "weds", "thu", "thur", "thurs", "fri", "sat", "sun",   // English
    "mo", "di", "mi", "do", "fr", "sa", "so",                                           // German
    "lun", "mar", "mer", "jeu", "ven", "sam", "dim",                                    // French
    "mie", "jue", "vie", "sab", "dom", "lu", "ma", "ju", "vi",                          // Spanish
    "gio",                                                                              // Italian
    "wo", "vr", "za", "zo",                                                             // Dutch
    "man", "tis", "tir", "tirs", "ons", "tor", "tors", "fre", "lor", "son",             // Nordic
    "ti", "on", "to", "lo",
    "ke", "pe", "la", "su",                                                             // Finnish
    "pon", "pn", "wt", "sr", "czw", "cz", "pt", "sob", "nd", "ndz", "niedz",            // Polish
    "po", "ut", "st", "ct", "pa", "ne",                                                 // Czech
    "seg", "ter", "qua", "qui", "sex",                                                  // Portuguese
};
// clang-format on

// Month names, in full and abbreviated, lower case without accents.
// clang-format off
constexpr std::string_view kMonths[] = {
    // English
    "january", "february", "march", "april", "may", "june", "july", "august", "september", "october",
    "november", "december", "jan", "feb", "mar", "apr", "jun", "jul", "aug", "sep", "sept", "oct", "nov", "dec",
    // German
    "januar", "janner", "februar", "marz", "mai", "juni", "juli", "oktober", "dezember", "mrz", "okt", "dez",
    // French
    "janvier", "fevrier", "mars", "avril", "juin", "juillet", "aout", "septembre", "octobre", "novembre",
    "decembre", "janv", "fevr", "avr", "juil",
    // Spanish
    "enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre", "setiembre",
    "octubre", "noviembre", "diciembre", "ene", "abr", "ago", "dic",
    // Italian
    "gennaio", "febbraio", "aprile", "maggio", "giugno", "luglio", "settembre", "ottobre", "dicembre", "gen",
    "mag", "giu", "lug", "set", "ott",
    // Dutch
    "januari", "februari", "maart", "mei", "augustus", "mrt",
    // Swedish, Danish, Norwegian
    "augusti", "maj", "marts",
    // Finnish, also as dates write them (elokuuta)
    "tammikuu", "helmikuu", "maaliskuu", "huhtikuu", "toukokuu", "kesakuu", "heinakuu", "elokuu", "syyskuu",
    "lokakuu", "marraskuu", "joulukuu", "tammikuuta", "helmikuuta", "maaliskuuta", "huhtikuuta", "toukokuuta",
    "kesakuuta", "heinakuuta", "elokuuta", "syyskuuta", "lokakuuta", "marraskuuta", "joulukuuta",
    // Polish, also as dates write them (sierpnia)
    "styczen", "luty", "marzec", "kwiecien", "czerwiec", "lipiec", "sierpien", "wrzesien", "pazdziernik",
    "listopad", "grudzien", "stycznia", "lutego", "marca", "kwietnia", "maja", "czerwca", "lipca", "sierpnia",
    "wrzesnia", "pazdziernika", "listopada", "grudnia",
    // Czech, also as dates write them (srpna)
    "leden", "unor", "brezen", "duben", "kveten", "cerven", "cervenec", "srpen", "zari", "rijen", "prosinec",
    "ledna", "unora", "brezna", "dubna", "kvetna", "cervna", "cervence", "srpna", "rijna", "listopadu",
    "prosince",
    // Portuguese
    "janeiro", "fevereiro", "marco", "maio", "junho", "julho", "setembro", "outubro", "novembro", "dezembro",
};
// clang-format on

constexpr const char* kEnglishMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};

// Words that join the year to the dates in some languages ("8 de agosto de
// 2027", "8 of August 2027"): left out with the year.
constexpr std::string_view kYearJoiners[] = {"de", "del", "di", "of"};

template <size_t N>
bool listed(const std::string_view (&list)[N], const std::string& word) {
  return std::find(std::begin(list), std::end(list), word) != std::end(list);
}

// The form a word is looked up in: lower case, accents dropped.
std::string key_of(std::u32string_view word) { return text_lower_ascii(text_fold_ascii(utf8_encode(word))); }

bool is_letter(char32_t c) { return text_is_alnum(c) && !text_is_ascii_digit(c); }
bool is_word_char(char32_t c) { return text_is_alnum(c) || c == '_'; }

bool is_dash(char32_t c) { return c == 0x2012 || c == 0x2013 || c == 0x2014 || c == 0x2015 || c == 0x2212; }

// Positions of the four-digit numbers of t, as Python's \b\d{4}\b finds them.
std::vector<size_t> four_digit_numbers(const std::u32string& t) {
  std::vector<size_t> found;
  for (size_t i = 0; i + 4 <= t.size(); ++i) {
    if (i > 0 && is_word_char(t[i - 1])) continue;
    bool digits = true;
    for (size_t k = 0; k < 4 && digits; ++k) digits = text_is_ascii_digit(t[i + k]);
    if (!digits) continue;
    if (i + 4 < t.size() && is_word_char(t[i + 4])) continue;
    found.push_back(i);
    i += 3;
  }
  return found;
}

// Digits at t[i..] (at most max_digits), as a number; the end in *end; -1
// when there are none or more follow.
int number_at(const std::u32string& t, size_t i, size_t max_digits, size_t* end) {
  size_t k = i;
  int value = 0;
  while (k < t.size() && text_is_ascii_digit(t[k]) && k - i < max_digits) value = value * 10 + (t[k++] - '0');
  if (k == i || (k < t.size() && text_is_ascii_digit(t[k]))) return -1;
  *end = k;
  return value;
}

struct IsoDate {
  int year = 0, month = 0, day = 0;
};

bool valid(const IsoDate& d) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= kDays[d.month - 1];
}

// YYYY-MM-DD at t[i..]; its end in *end.
bool iso_at(const std::u32string& t, size_t i, IsoDate& date, size_t* end) {
  if (i > 0 && is_word_char(t[i - 1])) return false;
  IsoDate d;
  size_t k = 0;
  d.year = number_at(t, i, 4, &k);
  if (d.year < 0 || k != i + 4 || k >= t.size() || t[k] != '-') return false;
  d.month = number_at(t, k + 1, 2, &k);
  if (d.month < 0 || k >= t.size() || t[k] != '-') return false;
  d.day = number_at(t, k + 1, 2, &k);
  if (d.day < 0 || (k < t.size() && is_letter(t[k])) || !valid(d)) return false;
  date = d;
  *end = k;
  return true;
}

size_t skip_spaces(const std::u32string& t, size_t i) {
  while (i < t.size() && text_is_space(t[i])) ++i;
  return i;
}

// What joins the two dates of an ISO range.
size_t range_separator(const std::u32string& t, size_t i) {
  if (i < t.size() && (t[i] == '-' || t[i] == '/' || is_dash(t[i]))) return i + 1;
  size_t k = i;
  while (k < t.size() && is_letter(t[k])) ++k;
  const std::string word = key_of(std::u32string_view(t).substr(i, k - i));
  for (const char* joiner : {"to", "till", "til", "until", "bis", "au", "al", "a", "tot", "do"}) {
    if (word == joiner) return k;
  }
  return std::u32string::npos;
}

std::string iso_day(const IsoDate& d) { return std::to_string(d.day) + " " + kEnglishMonths[d.month - 1]; }

// The short dates of the first ISO date or range in t, or "" when t holds
// none.
std::string iso_short_dates(const std::u32string& t) {
  IsoDate from, to;
  size_t end = 0;
  size_t i = 0;
  for (; i < t.size(); ++i) {
    if (iso_at(t, i, from, &end)) break;
  }
  if (i >= t.size()) return "";
  to = from;
  size_t k = range_separator(t, skip_spaces(t, end));
  if (k != std::u32string::npos) {
    k = skip_spaces(t, k);
    IsoDate second = from;
    size_t e = 0;
    if (iso_at(t, k, second, &e)) {
      to = second;
    } else {
      const int a = number_at(t, k, 2, &e);
      if (a >= 0 && e < t.size() && t[e] == '-') {
        second.month = a;
        second.day = number_at(t, e + 1, 2, &e);
      } else {
        second.day = a;
      }
      if (second.day >= 0 && valid(second)) to = second;
    }
  }
  if (to.year == from.year && to.month == from.month) {
    if (to.day == from.day) return iso_day(from);
    return std::to_string(from.day) + " - " + iso_day(to);
  }
  return iso_day(from) + " - " + iso_day(to);
}

// Where the spaces before position i begin.
size_t before_spaces(const std::u32string& t, size_t i) {
  while (i > 0 && text_is_space(t[i - 1])) --i;
  return i;
}

// Whether an abbreviated weekday at t[start, end) stands for one: a day
// number follows it (after a '.' or ',', or after a month: "Fri, Mar 12")
// and none comes right before it.
bool abbreviation_is_weekday(const std::u32string& t, size_t start, size_t end) {
  size_t k = end;
  if (k < t.size() && t[k] == '.') ++k;
  if (k < t.size() && t[k] == ',') ++k;
  k = skip_spaces(t, k);
  size_t month = k;
  while (month < t.size() && is_letter(t[month])) ++month;
  if (month > k && dates_is_month(utf8_encode(std::u32string_view(t).substr(k, month - k)))) {
    if (month < t.size() && t[month] == '.') ++month;
    k = skip_spaces(t, month);
  }
  if (k >= t.size() || !text_is_ascii_digit(t[k])) return false;
  const size_t b = before_spaces(t, start);
  if (b > 0 && text_is_ascii_digit(t[b - 1])) return false;
  if (b > 1 && t[b - 1] == '.' && text_is_ascii_digit(t[b - 2])) return false;
  return true;
}

// Whether a day number (one or two digits, after an optional '.' and
// spaces) follows position k, as it follows a month written before its day
// ("Apr 1").
bool day_number_after(const std::u32string& t, size_t k) {
  if (k < t.size() && t[k] == '.') ++k;
  k = skip_spaces(t, k);
  size_t end = 0;
  return number_at(t, k, 2, &end) >= 0;
}

// Whether t names a month elsewhere than in the word at start, written
// after its day ("mar. 3 - jue. 5 marzo"), in a word that names no weekday:
// then a word at start that is both a weekday and a month ("mar") is the
// weekday. A month written before its day ("Mar 30 - Apr 1") says that
// the word is a month too.
bool other_month(const std::u32string& t, size_t start) {
  for (size_t i = 0; i < t.size();) {
    if (!is_letter(t[i])) {
      ++i;
      continue;
    }
    size_t k = i;
    while (k < t.size() && is_letter(t[k])) ++k;
    const std::string word = key_of(std::u32string_view(t).substr(i, k - i));
    if (i != start && dates_is_month(word) && !listed(kWeekdayAbbreviations, word) && !day_number_after(t, k)) {
      return true;
    }
    i = k;
  }
  return false;
}

// t without its weekday names (and the '.' and ',' right after them).
std::u32string without_weekdays(const std::u32string& t) {
  std::u32string out;
  size_t i = 0;
  while (i < t.size()) {
    const bool starts = is_letter(t[i]) && (i == 0 || !text_is_alnum(t[i - 1]));
    if (!starts) {
      out.push_back(t[i++]);
      continue;
    }
    size_t k = i;
    while (k < t.size() && is_letter(t[k])) ++k;
    const std::string word = key_of(std::u32string_view(t).substr(i, k - i));
    bool weekday = k >= t.size() || !text_is_alnum(t[k]);
    if (weekday) {
      if (listed(kWeekdays, word)) {
        weekday = true;
      } else if (listed(kWeekdayAbbreviations, word) && abbreviation_is_weekday(t, i, k)) {
        weekday = !dates_is_month(word) || other_month(t, i);
      } else {
        weekday = false;
      }
    }
    if (!weekday) {
      out.append(t, i, k - i);
      i = k;
      continue;
    }
    if (listed(kFeiraDays, word) && k + 6 <= t.size() && (t[k] == '-' || t[k] == ' ') &&
        key_of(std::u32string_view(t).substr(k + 1, 5)) == "feira" && (k + 6 == t.size() || !text_is_alnum(t[k + 6]))) {
      k += 6;
    }
    if (k < t.size() && t[k] == '.') ++k;
    if (k < t.size() && t[k] == ',') ++k;
    i = k;
  }
  return out;
}

// t without its four-digit numbers (and the comma and spaces before them,
// as Python's ",?\s*\b\d{4}\b" takes them), nor a word joining them ("de
// 2027") or a Polish "r." after them.
std::u32string without_years(const std::u32string& t) {
  const std::vector<size_t> years = four_digit_numbers(t);
  if (years.empty()) return t;
  std::u32string out;
  size_t from = 0;
  for (size_t y : years) {
    size_t cut = y;
    // "12/03/2027", "12-03-2027": the separator goes with the year; a '.'
    // stays, as "14.3." is how such a date is written without it
    if (cut > from + 1 && (t[cut - 1] == '/' || t[cut - 1] == '-') && text_is_ascii_digit(t[cut - 2])) --cut;
    while (cut > from && text_is_space(t[cut - 1])) --cut;
    if (cut > from && t[cut - 1] == ',') --cut;
    std::u32string kept = t.substr(from, cut - from);
    // a joining word right before the year
    size_t w = kept.size();
    while (w > 0 && is_letter(kept[w - 1])) --w;
    if (w < kept.size() && (w == 0 || text_is_space(kept[w - 1]))) {
      const std::string word = key_of(std::u32string_view(kept).substr(w));
      if (listed(kYearJoiners, word)) kept.erase(w);
    }
    out += kept;
    from = y + 4;
    // "2027 r." (rok, the year)
    size_t k = skip_spaces(t, from);
    if (k + 2 <= t.size() && t[k] == 'r' && t[k + 1] == '.' && (k + 2 == t.size() || !text_is_alnum(t[k + 2]))) {
      from = k + 2;
    }
  }
  out.append(t, from, std::u32string::npos);
  return out;
}

}  // namespace

bool dates_is_weekday(const std::string& word) {
  const std::string key = text_lower_ascii(text_fold_ascii(word));
  return listed(kWeekdays, key) || listed(kWeekdayAbbreviations, key);
}

bool dates_is_month(const std::string& word) { return listed(kMonths, text_lower_ascii(text_fold_ascii(word))); }

bool dates_year_first(const std::string& dates) {
  const std::u32string t = utf8_decode_lossy(dates);
  for (size_t y : four_digit_numbers(t)) {
    const size_t k = y + 4;
    if (k + 1 < t.size() && (t[k] == '/' || t[k] == '.') && text_is_ascii_digit(t[k + 1])) return true;
  }
  return false;
}

DerivedDates dates_derive(const std::string& dates) {
  DerivedDates d;
  const std::u32string text = utf8_decode_lossy(dates);
  const std::vector<size_t> years = four_digit_numbers(text);
  if (!years.empty()) d.year = utf8_encode(std::u32string_view(text).substr(years.back(), 4));
  if (dates_year_first(dates)) return d;

  const std::u32string bare = without_weekdays(text);
  std::string short_dates = iso_short_dates(bare);
  if (short_dates.empty()) {
    std::u32string spaced;
    for (char32_t c : without_years(bare)) {
      if (is_dash(c)) {
        spaced += U" - ";
      } else {
        spaced.push_back(c);
      }
    }
    short_dates = text_collapse_spaces(utf8_encode(spaced));
    // strip(" ,")
    const size_t begin = short_dates.find_first_not_of(" ,");
    const size_t end = short_dates.find_last_not_of(" ,");
    short_dates = begin == std::string::npos ? "" : short_dates.substr(begin, end - begin + 1);
  }
  d.short_dates = short_dates;
  return d;
}

std::string dates_abbreviate(const std::string& short_dates) {
  const std::u32string t = utf8_decode_lossy(short_dates);
  std::u32string out;
  size_t i = 0;
  while (i < t.size()) {
    if (!is_letter(t[i])) {
      out.push_back(t[i++]);
      continue;
    }
    size_t k = i;
    while (k < t.size() && is_letter(t[k])) ++k;
    const std::u32string_view word = std::u32string_view(t).substr(i, k - i);
    const bool month = dates_is_month(utf8_encode(word));
    out += month && word.size() > 4 ? word.substr(0, 3) : word;
    i = k;
  }
  return utf8_encode(out);
}

}  // namespace kit
