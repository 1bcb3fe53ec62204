// String and list utilities shared by every subsystem: searching and
// replacing inside byte strings, cutting separated texts into items and
// joining them back, and list clean-ups. Stateless; nothing here prints.
//
// Positions handed between these routines count from 1, with 0 meaning "not
// found". Ignoring case means upper-casing the ASCII letters a to z on both
// sides and nothing else. Trimming removes bytes of value 32 or less.
#ifndef QRL_SERVICES_STRING_UTILS_H_
#define QRL_SERVICES_STRING_UTILS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "services/line_list.h"

enum class CaseSensitive { kNo, kYes };

// Basic byte-string helpers.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
std::string Trim(std::string_view text);
// The part of `text` that Trim keeps, without a copy.
std::string_view TrimmedView(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
// The length of the strict UTF-8 sequence that starts at `at` (1 for an
// ASCII byte; no overlong forms, no surrogates, nothing above U+10FFFF), or
// 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view bytes, size_t at);

// Searching and replacing.

// An empty pattern is found at once and leaves *position as it was;
// otherwise *position receives the 0-based offset of the first match.
bool FindBytes(const void* pattern, const void* text, uint64_t pattern_length,
               uint64_t text_length, uint64_t* position);
// 1-based position of the first occurrence at or after `start`, or 0.
size_t FindNext(std::string_view search, std::string_view text, size_t start,
                CaseSensitive sensitive);
// Replaces every occurrence, left to right; text that a replacement put in
// is never searched again. False when nothing was replaced, and always
// false when the search string equals the replacement byte for byte.
bool ReplaceAll(std::string* text, std::string_view search,
                std::string_view replacement, CaseSensitive sensitive);
bool ReplaceAllInList(std::string_view search, std::string_view replacement,
                      LineList* list, CaseSensitive sensitive);

// Separated texts and lists. An empty text has no items; a text that ends
// with the separator has an empty last item. A limit of 0 means none.
void SplitByCharacter(std::string_view text, LineList* list, size_t limit,
                      char separator);
void SplitByString(std::string_view text, LineList* list, size_t limit,
                   std::string_view separator);
std::string JoinWithCharacter(const LineList& list, char separator);
std::string JoinWithString(const LineList& list, std::string_view separator);
// Index of the first equal item, or -1.
int64_t IndexOfItem(std::string_view value, const LineList& list,
                    CaseSensitive sensitive);
bool TextContainsItem(std::string_view value, std::string_view text,
                      char separator, CaseSensitive sensitive);
// The first whole item, untrimmed, that begins with `prefix` ignoring case;
// empty when none.
std::string FindItemWithPrefix(std::string_view prefix, std::string_view text,
                               char separator);
// An empty text becomes the item; an empty item leaves a text unchanged.
void AppendWithSeparator(std::string_view item, char separator,
                         std::string* text);
void RemoveItemFromSeparatedText(std::string* text, std::string_view separator,
                                 std::string_view value,
                                 CaseSensitive sensitive);
// Deletes the items of length 0; an item of blanks stays.
void RemoveEmptyLines(LineList* list);
// Deletes later duplicates; first occurrences keep their order.
void RemoveDuplicateLines(LineList* list, CaseSensitive sensitive);
// Inserts the source's items at `index`, clamped to 0 .. target count.
void InsertList(const LineList& source, LineList* target, int64_t index);

#endif  // QRL_SERVICES_STRING_UTILS_H_
