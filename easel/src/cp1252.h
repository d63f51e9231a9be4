// Windows-1252, the 8-bit character set of captions, texts and key codes.
#ifndef EASEL_CP1252_H
#define EASEL_CP1252_H

#include <cstdint>
#include <string>

namespace easel {

// The Unicode code point of an 8-bit character. 0x80..0x9F hold the set's typographic
// extras; its five unassigned places map to themselves.
constexpr char32_t Cp1252ToUnicode(uint8_t c) {
  constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  return c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : char32_t{c};
}

// An 8-bit text as UTF-8.
inline std::string Cp1252ToUtf8(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    const char32_t u = Cp1252ToUnicode(static_cast<uint8_t>(*p));
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

}  // namespace easel

#endif  // EASEL_CP1252_H
