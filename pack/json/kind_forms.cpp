#include "pack/json/kind_forms.h"

#include <iterator>

namespace {

using enum LevelKind;

// In the order of LevelKind.
constexpr KindForm kForms[] = {
    {kNormal, CodeShape::kPlain},
    {kRequirement, CodeShape::kPlain},
    {kComplex, CodeShape::kPlain},
    {kFileExport, CodeShape::kPlain},
    {kFileDirectoryCreationRemoval, CodeShape::kPlain},
    {kExternal, CodeShape::kExternal},
    {kPackage, CodeShape::kPackage},
};

static_assert(RowsFollowLevelKinds(kForms),
              "kForms needs one row per LevelKind, in the enum's order");

}  // namespace

CodeShape CodeShapeOf(LevelKind kind) {
  const auto i = static_cast<size_t>(kind);
  return i < std::size(kForms) ? kForms[i].code : CodeShape::kPlain;
}

std::string KindNames() {
  std::string names;
  for (const KindForm& form : kForms) {
    names += names.empty() ? "\"" : ", \"";
    names += LevelKindName(form.kind);
    names += '"';
  }
  return names;
}
