// The macro names a package defines or its file entries use, for the
// shell completion of MACRO{NAME}= arguments. Reads the loaded package
// only; never runs a level.
#ifndef QRL_PACK_CLI_PACKAGE_MACROS_H_
#define QRL_PACK_CLI_PACKAGE_MACROS_H_

#include <string>
#include <vector>

#include "fastmemlist/fastmemlist.h"
#include "package/settings_block.h"

// The names of the macros the settings store, then the {NAME}s that the
// levels' file entry paths hold (a package made from a diff stores none
// but its paths start with {ROOT}); sorted, each once. Names that a shell
// would need quoted are left out.
std::vector<std::string> PackageMacroNames(const TFASTMEMLIST& levels,
                                           const TSETTINGSBLOCK& settings);

#endif  // QRL_PACK_CLI_PACKAGE_MACROS_H_
