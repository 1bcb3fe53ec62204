// TSETTINGSBLOCK: the package-wide settings that travel with every package
// (the three marker groups that frame inserted code, the user information,
// text 10, the macros and the symbols), and its stored form.
//
// Stored form: a serialized list of 13 items:
//   0 1 2    level marker prefix, suffix, position (first byte)
//   3 4 5    label marker prefix, suffix, position
//   6 7 8    comment header, trailer, position
//   9        user information
//   10       text 10 (carried, never interpreted)
//   11       macros: a serialized list of name, value, name, value ...
//   12       symbols: symbol texts joined with ","
// An empty stored form stands for a fresh block (all texts empty).
#ifndef QRL_PACKAGE_SETTINGS_BLOCK_H_
#define QRL_PACKAGE_SETTINGS_BLOCK_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "fastmemlist/list_view.h"

// Where a marker line or the comment block goes around inserted code.
enum MarkerPosition : uint8_t {
  kMarkerNone = 0,
  kMarkerBefore = 1,
  kMarkerAfter = 2,
};

// One marker group. For the comment block the prefix is the header line and
// the suffix the trailer line.
struct TMARKERGROUP {
  std::string prefix;
  std::string suffix;
  uint8_t position = kMarkerNone;

  bool operator==(const TMARKERGROUP&) const = default;
};

struct TSETTINGSBLOCK {
  TMARKERGROUP level_marker;
  TMARKERGROUP label_marker;
  TMARKERGROUP comment_block;
  std::string user_information;
  std::string text10;
  std::string macros;   // a serialized list; empty stands for no macros
  std::string symbols;  // comma-separated symbol texts

  bool operator==(const TSETTINGSBLOCK&) const = default;
};

inline constexpr uint64_t kSettingsItemCount = 13;

// Decodes a stored settings item. Data that is not well formed (see
// SettingsDataIsWellFormed) gives a fresh block.
TSETTINGSBLOCK SettingsFromData(std::string_view data);

// True for an empty item, or a list of 13 items whose three position items
// hold at least one byte. *err says where the data goes wrong.
bool SettingsDataIsWellFormed(std::string_view data, DecodeError* err);

// The stored form of `settings` (always the 13-item list).
std::string SettingsToData(const TSETTINGSBLOCK& settings);

#endif  // QRL_PACKAGE_SETTINGS_BLOCK_H_
