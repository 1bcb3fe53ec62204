#include "complex/numbers.h"

#include <limits>

namespace {

constexpr size_t kLongestNumberText = 255;

// The value of a digit in bases up to 16, or 16 for any other byte.
unsigned DigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return static_cast<unsigned>(c - '0');
  }
  if (c >= 'a' && c <= 'f') {
    return static_cast<unsigned>(c - 'a' + 10);
  }
  if (c >= 'A' && c <= 'F') {
    return static_cast<unsigned>(c - 'A' + 10);
  }
  return 16;
}

// Removes a base prefix from the front of `digits` and returns the base.
unsigned TakeBase(std::string_view* digits) {
  const std::string_view text = *digits;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    digits->remove_prefix(2);
    return 16;
  }
  const char first = text.empty() ? '\0' : text.front();
  unsigned base = 10;
  switch (first) {
    case '$':
    case 'x':
    case 'X':
      base = 16;
      break;
    case '%':
      base = 2;
      break;
    case '&':
      base = 8;
      break;
    default:
      return base;
  }
  digits->remove_prefix(1);
  return base;
}

}  // namespace

std::optional<uint64_t> ReadNumber(std::string_view text) {
  if (text.size() > kLongestNumberText) {
    return std::nullopt;
  }
  const size_t start = text.find_first_not_of(" \t");
  std::string_view digits =
      start == std::string_view::npos ? std::string_view() : text.substr(start);
  if (digits.starts_with('+')) {
    digits.remove_prefix(1);
  }
  const unsigned base = TakeBase(&digits);
  if (digits.empty()) {
    return std::nullopt;
  }
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  uint64_t value = 0;
  for (const char c : digits) {
    const unsigned digit = DigitValue(c);
    if (digit >= base || value > (kMax - digit) / base) {
      return std::nullopt;
    }
    value = value * base + digit;
  }
  return value;
}

std::optional<char> ReadByteValue(std::string_view text) {
  const std::optional<uint64_t> value = ReadNumber(text);
  if (!value.has_value() || *value > 255) {
    return std::nullopt;
  }
  return static_cast<char>(static_cast<unsigned char>(*value));
}
