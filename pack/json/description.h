// What dump and build agree on about a package description beyond its
// field names: the values of omitted fields and the limits that keep an
// untrusted description or package from exhausting the program. The format
// itself is documented in docs/package-format.md.
#ifndef QRL_PACK_JSON_DESCRIPTION_H_
#define QRL_PACK_JSON_DESCRIPTION_H_

#include <string_view>

// Omitted level fields. A failed level of severity 3 stops the run: an
// author who did not choose a severity gets the cautious one.
inline constexpr std::string_view kDefaultLevelNumber = "1";
inline constexpr std::string_view kDefaultSeverity = "3";
inline constexpr std::string_view kDefaultSeparator = "/";

// An omitted list field (comment lines, file entries, the lines of a text
// entry, the code) is the serialized empty list.
inline constexpr std::string_view kEmptyList{"\x01\x00", 2};

// Marker positions by name; other bytes appear as numbers.
inline constexpr std::string_view kPositionNames[] = {"none", "before",
                                                      "after"};

// Inline nested packages deeper than this are described by their bytes,
// and a description that nests deeper is refused.
inline constexpr int kMaxNesting = 32;

#endif  // QRL_PACK_JSON_DESCRIPTION_H_
