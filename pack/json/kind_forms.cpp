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

constexpr bool FormsInKindOrder() {
  for (size_t i = 0; i < std::size(kForms); ++i) {
    if (static_cast<size_t>(kForms[i].kind) != i) {
      return false;
    }
  }
  return true;
}

static_assert(std::size(kForms) == kLevelKindCount,
              "every LevelKind needs its JSON form in kForms");
static_assert(FormsInKindOrder(), "kForms must follow the order of LevelKind");

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
