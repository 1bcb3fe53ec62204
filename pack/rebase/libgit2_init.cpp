#include "pack/rebase/libgit2_init.h"

#include <git2.h>

void EnsureLibgit2() {
  static const int initialised = git_libgit2_init();
  (void)initialised;
}
