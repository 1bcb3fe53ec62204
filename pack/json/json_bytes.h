// Byte strings as JSON values. A text that is valid UTF-8 is a JSON string;
// any other text is {"base64": "..."} (standard alphabet, with padding), so
// every byte survives. A binary content that is text (a file's bytes) is
// {"lines": [...]}, each line without its LF. Nothing here converts between
// character sets.
#ifndef QRL_PACK_JSON_JSON_BYTES_H_
#define QRL_PACK_JSON_JSON_BYTES_H_

#include <string>
#include <string_view>

#include "nlohmann/json.hpp"

// Descriptions keep their fields in the order they were written.
using Json = nlohmann::ordered_json;

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

std::string Base64Encode(std::string_view bytes);
// False for a character outside the alphabet, a length that is not a
// multiple of 4, or padding anywhere but in the last two places.
bool Base64Decode(std::string_view text, std::string* bytes);

// A string when the bytes are valid UTF-8, else the base64 object.
Json TextToJson(std::string_view bytes);
// Always the base64 object.
Json BinaryToJson(std::string_view bytes);
// The lines object for valid UTF-8 without CR that ends with a LF, else the
// base64 object.
Json ContentToJson(std::string_view bytes);

// True when `value` is an object whose only field is "base64".
bool IsBase64Object(const Json& value);

// Reads any of the forms back. False with *what saying why ("expected a
// string", "not valid base64") and *where the field the fault is in ("" or
// "base64").
bool JsonToBytes(const Json& value, std::string* bytes, std::string* what,
                 std::string* where);

#endif  // QRL_PACK_JSON_JSON_BYTES_H_
