#include "pack/json/kind_forms.h"

#include "gtest/gtest.h"

namespace {

TEST(KindForms, EveryKindHasItsRowAndName) {
  EXPECT_EQ(KindNames(),
            "\"Normal\", \"Requirement\", \"Complex\", \"FileExport\", "
            "\"FileDirectoryCreationRemoval\", \"External\", \"Package\"");
  EXPECT_EQ(CodeShapeOf(LevelKind::kExternal), CodeShape::kExternal);
  EXPECT_EQ(CodeShapeOf(LevelKind::kPackage), CodeShape::kPackage);
  EXPECT_EQ(CodeShapeOf(LevelKind::kNormal), CodeShape::kPlain);
  EXPECT_EQ(CodeShapeOf(LevelKind::kUnknown), CodeShape::kPlain);
}

}  // namespace
