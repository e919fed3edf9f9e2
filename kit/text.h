// text: the UTF-8 text of a party folder (party.txt, the pages) as the kit
// reads it, and the character classes of its two fonts.
//
// Decoding is strict, as Python's "utf-8" codec: an overlong form, a
// surrogate, a code point past U+10FFFF or a cut-off sequence is reported
// with its byte offset, never crashed on. Upper-casing and folding cover
// what the lettering draws: ASCII, Latin-1 and Latin Extended-A (U+0000 to
// U+017F), with tables of our own (no Unicode database); every other
// character is left as it is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

// The program's glyph font (the pages and the opening's captions): printable
// ASCII, space to '~', without '_' and '`'.
inline constexpr char32_t kGlyphFontFirst = U' ';
inline constexpr char32_t kGlyphFontLast = U'~';
inline constexpr std::string_view kGlyphFontMissing = "_`";
// The signs the lettering draws besides letters and digits.
inline constexpr std::string_view kLetteringSigns = " -.,'&!?/:+()#";
// The lettering's letters beyond ASCII: Latin-1 and Latin Extended-A.
inline constexpr char32_t kLetteringFirst = 0x00C0;
inline constexpr char32_t kLetteringLast = 0x017F;
// What the lettering draws, as the messages say it.
inline constexpr std::string_view kLetteringDraws =
    "Latin letters A-Z with their accented forms from Latin-1 and Latin Extended-A, digits, "
    "space and - . , ' & ! ? / : + ( ) #";

// Decodes bytes; false at the first invalid sequence, whose byte offset goes
// to *bad_offset (out then holds the text before it).
bool utf8_decode(std::string_view bytes, std::u32string& out, size_t* bad_offset = nullptr);
// Decodes text known to be UTF-8 (an invalid byte becomes U+FFFD).
std::u32string utf8_decode_lossy(std::string_view bytes);
std::string utf8_encode(std::u32string_view text);
void utf8_append(std::string& out, char32_t c);
// Characters (code points) of UTF-8 text.
size_t utf8_length(std::string_view text);
// A byte order mark at the start, as some editors write, left out.
std::string_view utf8_without_bom(std::string_view bytes);

// Whitespace as Python's str.isspace().
bool text_is_space(char32_t c);
// Python's str.strip(), str.rstrip() and str.split() without arguments.
std::string text_strip(std::string_view text);
std::u32string text_rstrip(std::u32string_view text);
std::vector<std::string> text_split(std::string_view text);
// Words joined by one space between them: " ".join(text.split()).
std::string text_collapse_spaces(std::string_view text);

// Upper case as Python's str.upper() for U+0000 to U+017F (ß becomes SS,
// ŉ becomes ʼN, ÿ becomes Ÿ, µ becomes Greek Μ); other characters kept.
std::u32string text_upper(std::u32string_view text);
std::string text_upper(std::string_view text);
// ASCII letters in lower case, the rest kept.
std::string text_lower_ascii(std::string_view text);

// The text in the glyph font's letters, as the captions write it: accents
// of Latin-1 and Latin Extended-A letters dropped, the letters without
// one spelled out (ß ss, ø o, ł l, æ ae, þ th ...), combining accents
// (U+0300 to U+036F) left out; as Python's party.fold_ascii.
std::string text_fold_ascii(std::string_view text);

bool text_is_glyph_char(char32_t c);
bool text_is_lettering_char(char32_t c);
// A letter of a script the lettering lacks ("Cyrillic", "Greek" ...), or
// nullptr when c is no such letter (or one the lettering draws).
const char* text_foreign_letter(char32_t c);
// ASCII digits and letters, and the letters and digits of other scripts
// (roughly: what Python's \w matches, '_' aside).
bool text_is_alnum(char32_t c);
bool text_is_ascii_digit(char32_t c);

// The character as Python's repr() writes it: 'ï', '\t', '\xa0', '\u200b'.
std::string text_repr(char32_t c);
// "U+00EF".
std::string text_code_point(char32_t c);

}  // namespace kit
