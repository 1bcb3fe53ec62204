// How the complex language reads a byte value or a count from an argument.
// Pure functions; the callers decide what a failed reading means.
#ifndef QRL_COMPLEX_NUMBERS_H_
#define QRL_COMPLEX_NUMBERS_H_

#include <cstdint>
#include <optional>
#include <string_view>

// An unsigned whole number: optional leading spaces and tabs, an optional
// "+", an optional base prefix ("$", "x", "X", "0x" or "0X" for 16, "%" for
// 2, "&" for 8), then at least one digit of that base and nothing else.
// nullopt for anything else, for a value above 2^64-1 and for any text of
// 256 bytes or more.
std::optional<uint64_t> ReadNumber(std::string_view text);

// A number of at most 255, as the byte of that value.
std::optional<char> ReadByteValue(std::string_view text);

#endif  // QRL_COMPLEX_NUMBERS_H_
