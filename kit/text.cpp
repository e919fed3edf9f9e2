// text: UTF-8 and the fonts' characters (see text.h).
#include "kit/text.h"

#include <cstdio>

namespace kit {

namespace {

// The glyph font's letters for U+00C0 to U+017F ("" keeps the character: the
// multiplication and division signs): the accents dropped, as Unicode's
// compatibility decomposition leaves them, and party.py's FOLD table for the
// letters that have none (ß ø ł æ œ đ ð þ ħ ı ŀ ĸ ŉ ŋ ſ ŧ).
// clang-format off
const char* const kFoldLetters[] = {
    /* U+00C0 */ "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I", "I",
    /* U+00D0 */ "D", "N", "O", "O", "O", "O", "O", "", "O", "U", "U", "U", "U", "Y", "Th", "ss",
    /* U+00E0 */ "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
    /* U+00F0 */ "d", "n", "o", "o", "o", "o", "o", "", "o", "u", "u", "u", "u", "y", "th", "y",
    /* U+0100 */ "A", "a", "A", "a", "A", "a", "C", "c", "C", "c", "C", "c", "C", "c", "D", "d",
    /* U+0110 */ "D", "d", "E", "e", "E", "e", "E", "e", "E", "e", "E", "e", "G", "g", "G", "g",
    /* U+0120 */ "G", "g", "G", "g", "H", "h", "H", "h", "I", "i", "I", "i", "I", "i", "I", "i",
    /* U+0130 */ "I", "i", "IJ", "ij", "J", "j", "K", "k", "k", "L", "l", "L", "l", "L", "l", "L",
    /* U+0140 */ "l", "L", "l", "N", "n", "N", "n", "N", "n", "n", "N", "n", "O", "o", "O", "o",
    /* U+0150 */ "O", "o", "OE", "oe", "R", "r", "R", "r", "R", "r", "S", "s", "S", "s", "S", "s",
    /* U+0160 */ "S", "s", "T", "t", "T", "t", "T", "t", "U", "u", "U", "u", "U", "u", "U", "u",
    /* U+0170 */ "U", "u", "U", "u", "W", "w", "Y", "y", "Y", "Z", "z", "Z", "z", "Z", "z", "s",
};
// clang-format on

// Latin-1 signs that the compatibility decomposition changes (as
// fold_ascii does: a spacing accent becomes a space, ª an a, ² a 2 ...).
struct SignFold {
  char32_t c;
  const char* text;
};
const SignFold kFoldSigns[] = {
    {0x00A0, " "},
    {0x00A8, " "},
    {0x00AA, "a"},
    {0x00AF, " "},
    {0x00B2, "2"},
    {0x00B3, "3"},
    {0x00B4, " "},
    {0x00B5, "\xce\xbc"},
    {0x00B8, " "},
    {0x00B9, "1"},
    {0x00BA, "o"},
    {0x00BC,
     "1\xe2\x81\x84"
     "4"},
    {0x00BD,
     "1\xe2\x81\x84"
     "2"},
    {0x00BE,
     "3\xe2\x81\x84"
     "4"},
};

// Letters of the scripts the lettering lacks, by block (roughly: a block's
// few signs count as its letters).
struct Script {
  char32_t first, last;
  const char* name;
};
const Script kForeignLetters[] = {
    {0x0180, 0x024F, "Latin Extended-B"},
    {0x0250, 0x02AF, "phonetic"},
    {0x0370, 0x03FF, "Greek"},
    {0x0400, 0x052F, "Cyrillic"},
    {0x0531, 0x058F, "Armenian"},
    {0x05D0, 0x05EA, "Hebrew"},
    {0x0620, 0x064A, "Arabic"},
    {0x0671, 0x06D3, "Arabic"},
    {0x0904, 0x0939, "Devanagari"},
    {0x0E01, 0x0E30, "Thai"},
    {0x10A0, 0x10FF, "Georgian"},
    {0x1100, 0x11FF, "Hangul"},
    {0x1E00, 0x1EFF, "Latin Extended Additional"},
    {0x1F00, 0x1FFF, "Greek"},
    {0x3041, 0x309F, "Hiragana"},
    {0x30A0, 0x30FF, "Katakana"},
    {0x3400, 0x4DBF, "CJK"},
    {0x4E00, 0x9FFF, "CJK"},
    {0xAC00, 0xD7A3, "Hangul"},
    {0xFF21, 0xFF3A, "full-width Latin"},
    {0xFF41, 0xFF5A, "full-width Latin"},
};

bool is_ascii_alpha(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Upper case of one character below U+0180; 0 when it becomes two.
char32_t upper_one(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c < 0x80) return c;
  if (c == 0x00B5) return 0x039C;  // µ: Greek capital mu
  if (c == 0x00FF) return 0x0178;  // ÿ
  if (c >= 0x00E0 && c <= 0x00FE && c != 0x00F7) return c - 32;
  if (c < 0x0100 || c > 0x017F) return c;
  if (c == 0x0131) return 'I';               // dotless i
  if (c == 0x017F) return 'S';               // long s
  if (c == 0x0130 || c == 0x0138) return c;  // İ; ĸ has no capital
  if (c <= 0x0137 || (c >= 0x014A && c <= 0x0177)) return (c & 1) ? c - 1 : c;
  if ((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E)) return (c & 1) ? c : c - 1;
  return c;  // Ÿ; ŉ is handled by the caller
}

}  // namespace

bool utf8_decode(std::string_view bytes, std::u32string& out, size_t* bad_offset) {
  out.clear();
  out.reserve(bytes.size());
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    size_t len = 0;
    char32_t c = 0, min = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2, c = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3, c = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4, c = b & 0x07, min = 0x10000;
    }
    bool ok = len > 0 && i + len <= n;
    for (size_t k = 1; ok && k < len; ++k) {
      const unsigned char t = static_cast<unsigned char>(bytes[i + k]);
      ok = (t & 0xC0) == 0x80;
      c = (c << 6) | (t & 0x3F);
    }
    if (!ok || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      if (bad_offset) *bad_offset = i;
      return false;
    }
    out.push_back(c);
    i += len;
  }
  return true;
}

std::u32string utf8_decode_lossy(std::string_view bytes) {
  std::u32string out, part;
  while (!bytes.empty()) {
    size_t bad = 0;
    if (utf8_decode(bytes, part, &bad)) {
      out += part;
      break;
    }
    out += part;
    out.push_back(0xFFFD);
    bytes.remove_prefix(bad + 1);
  }
  return out;
}

void utf8_append(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string utf8_encode(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) utf8_append(out, c);
  return out;
}

size_t utf8_length(std::string_view text) {
  size_t n = 0;
  for (char ch : text) n += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
  return n;
}

std::string_view utf8_without_bom(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return bytes;
}

bool text_is_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || (c >= 0x1C && c <= 0x20) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

std::u32string text_rstrip(std::u32string_view text) {
  size_t end = text.size();
  while (end > 0 && text_is_space(text[end - 1])) --end;
  return std::u32string(text.substr(0, end));
}

std::string text_strip(std::string_view text) {
  std::u32string t = utf8_decode_lossy(text);
  size_t begin = 0, end = t.size();
  while (begin < end && text_is_space(t[begin])) ++begin;
  while (end > begin && text_is_space(t[end - 1])) --end;
  return utf8_encode(std::u32string_view(t).substr(begin, end - begin));
}

std::vector<std::string> text_split(std::string_view text) {
  std::vector<std::string> words;
  std::u32string word;
  for (char32_t c : utf8_decode_lossy(text)) {
    if (text_is_space(c)) {
      if (!word.empty()) words.push_back(utf8_encode(word));
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(utf8_encode(word));
  return words;
}

std::string text_collapse_spaces(std::string_view text) {
  std::string out;
  for (const std::string& word : text_split(text)) {
    if (!out.empty()) out += ' ';
    out += word;
  }
  return out;
}

std::u32string text_upper(std::u32string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c == 0x00DF) {
      out += U"SS";
    } else if (c == 0x0149) {
      out += U"\u02BCN";
    } else {
      out.push_back(upper_one(c));
    }
  }
  return out;
}

std::string text_upper(std::string_view text) { return utf8_encode(text_upper(utf8_decode_lossy(text))); }

std::string text_lower_ascii(std::string_view text) {
  std::string out(text);
  for (char& ch : out) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
  }
  return out;
}

std::string text_fold_ascii(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : utf8_decode_lossy(text)) {
    if (c >= 0x0300 && c <= 0x036F) continue;  // a combining accent
    if (c >= kLetteringFirst && c <= kLetteringLast && kFoldLetters[c - kLetteringFirst][0]) {
      out += kFoldLetters[c - kLetteringFirst];
      continue;
    }
    bool done = false;
    for (const SignFold& s : kFoldSigns) {
      if (s.c == c) {
        out += s.text;
        done = true;
        break;
      }
    }
    if (!done) utf8_append(out, c);
  }
  return out;
}

bool text_is_glyph_char(char32_t c) {
  return c >= kGlyphFontFirst && c <= kGlyphFontLast &&
         kGlyphFontMissing.find(static_cast<char>(c)) == std::string_view::npos;
}

bool text_is_ascii_digit(char32_t c) { return c >= '0' && c <= '9'; }

bool text_is_lettering_char(char32_t c) {
  if (c < 0x80) {
    return is_ascii_alpha(c) || text_is_ascii_digit(c) ||
           (c != 0 && kLetteringSigns.find(static_cast<char>(c)) != std::string_view::npos);
  }
  return c >= kLetteringFirst && c <= kLetteringLast && c != 0x00D7 && c != 0x00F7;
}

const char* text_foreign_letter(char32_t c) {
  for (const Script& s : kForeignLetters) {
    if (c >= s.first && c <= s.last) return s.name;
  }
  return nullptr;
}

bool text_is_alnum(char32_t c) {
  if (c < 0x80) return is_ascii_alpha(c) || text_is_ascii_digit(c);
  if (c == 0xAA || c == 0xB2 || c == 0xB3 || c == 0xB5 || c == 0xB9 || c == 0xBA || (c >= 0xBC && c <= 0xBE)) {
    return true;
  }
  if (c >= kLetteringFirst && c <= kLetteringLast) return c != 0x00D7 && c != 0x00F7;
  return text_foreign_letter(c) != nullptr;
}

std::string text_code_point(char32_t c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
  return buf;
}

std::string text_repr(char32_t c) {
  const bool unprintable = c < 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0xAD || c == 0x061C || c == 0x180E ||
                           (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) ||
                           (c >= 0x205F && c <= 0x206F) || c == 0x3000 || (c >= 0xD800 && c <= 0xF8FF) || c == 0xFEFF ||
                           (c >= 0xFFF9 && c <= 0xFFFB);
  if (!unprintable) {
    std::string out = c == '\'' ? "\"" : "'";
    utf8_append(out, c);
    return out + (c == '\'' ? "\"" : "'");
  }
  if (c == '\t') return "'\\t'";
  if (c == '\n') return "'\\n'";
  if (c == '\r') return "'\\r'";
  char buf[16];
  if (c < 0x100) {
    std::snprintf(buf, sizeof buf, "'\\x%02x'", static_cast<unsigned>(c));
  } else if (c < 0x10000) {
    std::snprintf(buf, sizeof buf, "'\\u%04x'", static_cast<unsigned>(c));
  } else {
    std::snprintf(buf, sizeof buf, "'\\U%08x'", static_cast<unsigned>(c));
  }
  return buf;
}

}  // namespace kit
