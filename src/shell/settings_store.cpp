#include "shell/settings_store.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tarvex {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::optional<std::vector<unsigned char>> ReadSizedValue(const SizedQuery& query) {
  // The stored values are short: the first guess nearly always fits.
  std::uint32_t size = 128;
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::vector<unsigned char> buffer(size);
    std::uint32_t bytes = size;
    switch (query(buffer.data(), bytes)) {
      case SizedRead::Done:
        buffer.resize(std::min(bytes, size));
        return buffer;
      case SizedRead::TooSmall:
        // The size reported now; never one that was already too small.
        size = bytes > size ? bytes : size * 2;
        break;
      case SizedRead::Failed:
        return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<double> LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  // Collect a clean copy of the number (no '+', which from_chars refuses).
  std::string clean;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') clean.push_back('-');
    ++i;
  }
  std::size_t mantissaDigits = 0;
  while (i < text.size() && IsDigit(text[i])) {
    clean.push_back(text[i++]);
    ++mantissaDigits;
  }
  if (i < text.size() && text[i] == '.') {
    std::size_t j = i + 1;
    std::string frac;
    while (j < text.size() && IsDigit(text[j])) frac.push_back(text[j++]);
    if (mantissaDigits > 0 || !frac.empty()) {
      if (mantissaDigits == 0) clean.push_back('0');
      clean.push_back('.');
      clean += frac.empty() ? "0" : frac;
      mantissaDigits += frac.size();
      i = j;
    }
  }
  if (mantissaDigits == 0) return std::nullopt;
  // An exponent counts only when at least one digit follows its marker.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    std::string exp = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      if (text[j] == '-') exp.push_back('-');
      ++j;
    }
    std::size_t expDigits = 0;
    while (j < text.size() && IsDigit(text[j])) {
      exp.push_back(text[j++]);
      ++expDigits;
    }
    if (expDigits > 0) clean += exp;
  }
  double value = 0;
  auto [ptr, ec] = std::from_chars(clean.data(), clean.data() + clean.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Underflow reads as 0; overflow has no value at all.
    const auto e = clean.find('e');
    if (e != std::string::npos && clean.compare(e, 2, "e-") == 0) return 0.0;
    return std::nullopt;
  }
  if (ec != std::errc() || ptr != clean.data() + clean.size()) return std::nullopt;
  return value;
}

std::int32_t TextToWhole(std::string_view text) {
  const auto n = LeadingNumber(text);
  if (!n) return 0;
  const double r = std::nearbyint(*n);  // default rounding: nearest, ties to even
  if (!(r >= std::numeric_limits<std::int32_t>::min() &&
        r <= std::numeric_limits<std::int32_t>::max()))
    return 0;
  return static_cast<std::int32_t>(r);
}

float TextToSingle(std::string_view text) {
  const auto n = LeadingNumber(text);
  if (!n || !(std::fabs(*n) <= std::numeric_limits<float>::max())) return 0.0f;
  return static_cast<float>(*n);
}

std::string SingleText(float value) {
  if (value == 0.0f) return "0";  // also for -0
  char buf[64];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
  if (ec != std::errc()) return "0";
  return std::string(buf, ptr);
}

std::int32_t SettingsStore::ReadWhole(std::string_view key, std::string_view def) {
  return TextToWhole(platform_.GetSetting(kSettingsApp, kSettingsSection, key, def));
}

void SettingsStore::Write(std::string_view key, std::string_view value) {
  platform_.SaveSetting(kSettingsApp, kSettingsSection, key, value);
}

}  // namespace tarvex
