#include "engine/core/Charsets.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "engine/core/Names.h"

namespace quil {

namespace {

// CP437 bytes 0x80..0xFF.
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Windows-1252 bytes 0x80..0x9F (0xA0..0xFF are Latin-1).
constexpr char16_t kWin1252C1[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char32_t kEscapeBase = 0xDC00;  // U+DC00 + byte marks an undecodable byte

// Length of the well-formed UTF-8 sequence at p (0 when it is not one).
size_t SequenceLength(const unsigned char* p, size_t avail) {
  const unsigned char b = p[0];
  if (b < 0x80) return 1;
  size_t len;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    if (b == 0xE0) lo = 0xA0;       // no overlong forms
    if (b == 0xED) hi = 0x9F;       // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    if (b == 0xF0) lo = 0x90;       // no overlong forms
    if (b == 0xF4) hi = 0x8F;       // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (avail < len || p[1] < lo || p[1] > hi) return 0;
  for (size_t i = 2; i < len; ++i)
    if ((p[i] & 0xC0) != 0x80) return 0;
  return len;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF) {
    out += static_cast<char>(cp - kEscapeBase);
  } else if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::u32string Utf8ToCodePoints(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0, n = text.size();
  while (i < n) {
    size_t len = SequenceLength(p + i, n - i);
    if (len == 0) {
      out += kEscapeBase + p[i];
      ++i;
      continue;
    }
    char32_t cp;
    switch (len) {
      case 1: cp = p[i]; break;
      case 2: cp = ((p[i] & 0x1Fu) << 6) | (p[i + 1] & 0x3Fu); break;
      case 3: cp = ((p[i] & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu); break;
      default:
        cp = ((p[i] & 0x07u) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) |
             (p[i + 3] & 0x3Fu);
    }
    out += cp;
    i += len;
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0, n = text.size();
  while (i < n) {
    size_t len = SequenceLength(p + i, n - i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string Cp437ToUtf8(std::string_view oem) {
  std::string out;
  out.reserve(oem.size());
  for (unsigned char c : oem) {
    if (c < 0x80)
      out += static_cast<char>(c);
    else
      AppendUtf8(out, kCp437High[c - 0x80]);
  }
  return out;
}

namespace {
std::string ToCp437(std::string_view utf8, bool keepStrayBytes) {
  std::string out;
  out.reserve(utf8.size());
  for (char32_t cp : Utf8ToCodePoints(utf8)) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (keepStrayBytes && cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF) {
      out += static_cast<char>(cp - kEscapeBase);  // a byte that was not UTF-8
    } else {
      const char16_t* hit = cp <= 0xFFFF ? std::find(std::begin(kCp437High),
                                                     std::end(kCp437High), static_cast<char16_t>(cp))
                                         : std::end(kCp437High);
      out += hit != std::end(kCp437High) ? static_cast<char>(0x80 + (hit - kCp437High)) : '_';
    }
  }
  return out;
}
}  // namespace

std::string Utf8ToCp437(std::string_view utf8) { return ToCp437(utf8, true); }

std::string OemToAnsiName(std::string_view oem) { return ToPathDelims(Cp437ToUtf8(oem)); }

std::string AnsiToOemName(std::string_view utf8) { return ToPathDelims(ToCp437(utf8, false)); }

std::string Win1252ToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (unsigned char c : ansi) {
    if (c < 0x80)
      out += static_cast<char>(c);
    else
      AppendUtf8(out, c < 0xA0 ? kWin1252C1[c - 0x80] : c);
  }
  return out;
}

std::string StoredNameToUtf8(std::string_view raw, bool flaggedUtf8) {
  if (flaggedUtf8 && IsValidUtf8(raw)) return ToPathDelims(raw);
  return OemToAnsiName(raw);
}

}  // namespace quil
