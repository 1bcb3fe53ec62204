// Builds a package from its JSON description (docs/package-format.md).
// Every element is checked; the first invalid one is named by its location
// in the description, as in "levels[3].entries[0].path: expected a string".
// What it builds, qrlconsole accepts. Never prints, never touches a file.
#ifndef QRL_PACK_JSON_ASSEMBLE_H_
#define QRL_PACK_JSON_ASSEMBLE_H_

#include <string>

#include "pack/json/json_bytes.h"

// The package `description` describes. On failure *package is untouched
// and *err is "<location>: <what>" (just "<what>" for the whole document).
bool AssemblePackage(const Json& description, std::string* package,
                     std::string* err);

// The bytes of single list items from their descriptions, by the rules of
// AssemblePackage; dump checks its readable forms against them. `depth`
// counts the packages around the code item's level (0 for the top level).
bool AssembleMacros(const Json& value, std::string* bytes, std::string* err);
bool AssembleLines(const Json& value, std::string* bytes, std::string* err);
bool AssembleEntries(const Json& value, std::string* bytes, std::string* err);
bool AssembleCode(const Json& value, int depth, std::string* bytes,
                  std::string* err);

#endif  // QRL_PACK_JSON_ASSEMBLE_H_
