// The JSON form of each level kind, in a table keyed by LevelKind: the
// name a description gives the kind is its name in package/level_view.h,
// and its code takes the form of its row. A kind without a row fails to
// compile.
#ifndef QRL_PACK_JSON_KIND_FORMS_H_
#define QRL_PACK_JSON_KIND_FORMS_H_

#include <string>

#include "package/level_view.h"

// How a description writes a kind's code beyond the plain forms (lines,
// bytes, items): an External level's five text items as an object, a
// Package level's path, or the package it carries, as its own.
enum class CodeShape { kPlain, kExternal, kPackage };

struct KindForm {
  LevelKind kind;
  CodeShape code;
};

// The shape of a kind's code; kPlain for an unknown kind.
CodeShape CodeShapeOf(LevelKind kind);

// "\"Normal\", \"Requirement\", ...": the names a "kind" field accepts.
std::string KindNames();

#endif  // QRL_PACK_JSON_KIND_FORMS_H_
