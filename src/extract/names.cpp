// Entry-name decoding and the mapping of names to safe relative paths.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "extract/cp932.h"
#include "extract/engine.h"
#include "extract/utf8.h"

namespace tarvex::extract {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsDeviceName(std::string_view part) {
  // The base name is what comes before the first dot, with trailing spaces
  // ignored, compared without regard to case: "con", "Con .txt", "nul.tar.gz".
  std::string base;
  for (char c : part) {
    if (c == '.') break;
    base += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  }
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static const std::array<std::string_view, 6> plain = {"CON", "PRN", "AUX", "NUL", "CONIN$",
                                                        "CONOUT$"};
  for (auto d : plain)
    if (base == d) return true;
  if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
      base[3] >= '0' && base[3] <= '9')
    return true;
  // COM and LPT followed by a superscript digit 1, 2 or 3 (UTF-8 C2 B9/B2/B3).
  if (base.size() == 5 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
      static_cast<unsigned char>(base[3]) == 0xC2 &&
      (static_cast<unsigned char>(base[4]) == 0xB9 || static_cast<unsigned char>(base[4]) == 0xB2 ||
       static_cast<unsigned char>(base[4]) == 0xB3))
    return true;
  return false;
}

// Makes one path part safe as a Windows (and POSIX) file name.
std::string SafePart(std::string_view part) {
  std::string s;
  s.reserve(part.size() + 1);
  for (char ch : part) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F || ch == '<' || ch == '>' || ch == ':' || ch == '"' || ch == '|' ||
        ch == '?' || ch == '*' || ch == '\\' || ch == '/')
      s += '_';
    else
      s += ch;
  }
  // Windows drops trailing dots and spaces, so "a." and "a" would be one file.
  for (std::size_t i = s.size(); i > 0 && (s[i - 1] == '.' || s[i - 1] == ' '); --i) s[i - 1] = '_';
  if (IsDeviceName(s)) s.insert(s.begin(), '_');
  return s;
}

}  // namespace

namespace cp932 {

std::string ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  std::size_t i = 0;
  while (i < bytes.size()) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
    } else if (IsLead(b) && i + 1 < bytes.size() &&
               static_cast<unsigned char>(bytes[i + 1]) >= 0x40 &&
               static_cast<unsigned char>(bytes[i + 1]) <= 0xFC) {
      int row = b <= 0x9F ? b - 0x81 : b - 0xE0 + 31;
      char32_t c = kDouble[row * 189 + (static_cast<unsigned char>(bytes[i + 1]) - 0x40)];
      utf8::Append(out, c ? c : kReplacement);
      i += 2;
    } else {
      char32_t c = kSingle[b];
      utf8::Append(out, c ? c : kReplacement);
      ++i;
    }
  }
  return out;
}

}  // namespace cp932

std::string DecodeName(std::string_view raw, NameEncoding encoding) {
  return encoding == NameEncoding::Utf8 ? utf8::Sanitise(raw) : cp932::ToUtf8(raw);
}

NameVerdict SafeRelativePath(std::string_view name, bool backslashIsSeparator, std::string& out) {
  out.clear();
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    bool sep = i == name.size() || name[i] == '/' || (backslashIsSeparator && name[i] == '\\');
    if (sep) {
      parts.push_back(name.substr(start, i - start));
      start = i + 1;
    }
  }
  // Drop a drive prefix ("C:" as the first part, or "C:name" glued to the
  // first part) and the server and share of a UNC name ("//server/share/...").
  // A name that is nothing but "x:" is no drive: it becomes the file "x_".
  std::size_t first = 0;
  if (parts.size() >= 3 && parts[0].empty() && parts[1].empty()) {
    first = std::min<std::size_t>(4, parts.size());  // "", "", server, share
  } else if (!parts.empty() && parts[0].size() >= 2 && parts[0][1] == ':' &&
             ((parts[0][0] | 0x20) >= 'a' && (parts[0][0] | 0x20) <= 'z') &&
             (parts[0].size() > 2 || parts.size() > 1)) {
    parts[0].remove_prefix(2);
  }
  for (std::size_t i = first; i < parts.size(); ++i) {
    std::string_view p = parts[i];
    if (p.empty() || p == ".") continue;
    if (p == "..") {
      out.clear();
      return NameVerdict::Unsafe;
    }
    if (!out.empty()) out += '/';
    out += SafePart(p);
  }
  return out.empty() ? NameVerdict::Empty : NameVerdict::Ok;
}

}  // namespace tarvex::extract
