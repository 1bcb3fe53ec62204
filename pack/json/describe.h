// Describes a package as JSON (docs/package-format.md). Each element takes
// its readable form where building that form gives back the element's
// exact bytes, and a raw form where it would not, so that building the
// description reproduces the package byte for byte. Never prints.
#ifndef QRL_PACK_JSON_DESCRIBE_H_
#define QRL_PACK_JSON_DESCRIBE_H_

#include <string_view>

#include "fastmemlist/list_view.h"
#include "pack/json/json_bytes.h"

// The description of `data` when qrlconsole accepts it as a package; else
// false, with the byte offset where it stops making sense in *err.
bool DescribePackage(std::string_view data, Json* description,
                     DecodeError* err);

#endif  // QRL_PACK_JSON_DESCRIBE_H_
