#include "pack/json/json_bytes.h"

#include <array>
#include <cstdint>

#include "services/line_split.h"
#include "services/string_utils.h"

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of a base64 character; -1 for any other byte.
constexpr std::array<int8_t, 256> MakeDecodeTable() {
  std::array<int8_t, 256> table{};
  table.fill(-1);
  for (size_t i = 0; i < kAlphabet.size(); ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
  }
  return table;
}

constexpr std::array<int8_t, 256> kDecodeTable = MakeDecodeTable();

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t length = Utf8SequenceLength(bytes, at);
    if (length == 0) {
      return false;
    }
    at += length;
  }
  return true;
}

std::string Base64Encode(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  size_t at = 0;
  for (; at + 3 <= bytes.size(); at += 3) {
    const uint32_t group = static_cast<unsigned char>(bytes[at]) << 16 |
                           static_cast<unsigned char>(bytes[at + 1]) << 8 |
                           static_cast<unsigned char>(bytes[at + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) {
      text += kAlphabet[(group >> shift) & 0x3F];
    }
  }
  const size_t rest = bytes.size() - at;
  if (rest > 0) {
    uint32_t group = static_cast<unsigned char>(bytes[at]) << 16;
    if (rest == 2) {
      group |= static_cast<unsigned char>(bytes[at + 1]) << 8;
    }
    text += kAlphabet[(group >> 18) & 0x3F];
    text += kAlphabet[(group >> 12) & 0x3F];
    text += rest == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=';
    text += '=';
  }
  return text;
}

bool Base64Decode(std::string_view text, std::string* bytes) {
  bytes->clear();
  if (text.size() % 4 != 0) {
    return false;
  }
  size_t padding = 0;
  while (padding < 2 && padding < text.size() &&
         text[text.size() - 1 - padding] == '=') {
    ++padding;
  }
  bytes->reserve(text.size() / 4 * 3);
  uint32_t group = 0;
  const size_t digits = text.size() - padding;
  for (size_t i = 0; i < digits; ++i) {
    const int8_t value = kDecodeTable[static_cast<unsigned char>(text[i])];
    if (value < 0) {
      return false;
    }
    group = group << 6 | static_cast<uint32_t>(value);
    if (i % 4 == 3) {
      bytes->push_back(static_cast<char>(group >> 16));
      bytes->push_back(static_cast<char>(group >> 8));
      bytes->push_back(static_cast<char>(group));
      group = 0;
    }
  }
  if (padding == 2) {
    bytes->push_back(static_cast<char>(group >> 4));
  } else if (padding == 1) {
    bytes->push_back(static_cast<char>(group >> 10));
    bytes->push_back(static_cast<char>(group >> 2));
  }
  return true;
}

Json TextToJson(std::string_view bytes) {
  if (IsValidUtf8(bytes)) {
    return Json(std::string(bytes));
  }
  return BinaryToJson(bytes);
}

Json BinaryToJson(std::string_view bytes) {
  Json object = Json::object();
  object["base64"] = Base64Encode(bytes);
  return object;
}

Json ContentToJson(std::string_view bytes) {
  if (bytes.empty() || bytes.back() != '\n' ||
      bytes.find('\r') != std::string_view::npos || !IsValidUtf8(bytes)) {
    return BinaryToJson(bytes);
  }
  Json lines = Json::array();
  for (const std::string_view line : SplitLines(bytes, LineEnds::kLfOnly)) {
    lines.push_back(std::string(line));
  }
  Json object = Json::object();
  object["lines"] = std::move(lines);
  return object;
}

bool IsBase64Object(const Json& value) {
  return value.is_object() && value.size() == 1 && value.contains("base64");
}

bool JsonToBytes(const Json& value, std::string* bytes, std::string* what,
                 std::string* where) {
  where->clear();
  if (value.is_string()) {
    *bytes = value.get_ref<const std::string&>();
    return true;
  }
  if (value.is_object() && value.size() == 1 && value.contains("lines")) {
    const Json& lines = value.front();
    bytes->clear();
    for (size_t i = 0; lines.is_array() && i < lines.size(); ++i) {
      if (!lines[i].is_string()) {
        *what = "expected a string";
        *where = "lines[" + std::to_string(i) + "]";
        return false;
      }
      *bytes += lines[i].get_ref<const std::string&>();
      *bytes += '\n';
    }
    if (!lines.is_array()) {
      *what = "expected an array of lines";
      *where = "lines";
      return false;
    }
    return true;
  }
  if (!IsBase64Object(value)) {
    *what = value.is_object() ? "expected a string or {\"base64\": \"...\"}"
                              : "expected a string";
    return false;
  }
  const Json& text = value.front();
  if (!text.is_string()) {
    *what = "expected a string";
  } else if (!Base64Decode(text.get_ref<const std::string&>(), bytes)) {
    *what = "not valid base64";
  } else {
    return true;
  }
  *where = "base64";
  return false;
}
