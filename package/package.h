// Loading a package: the whole file is one serialized list whose items are
// the level records, then the settings block, then the trailer
// "QUORLING CONTROL SYSTEM 20230101". A package is accepted only when it
// holds at least one level, ends with the exact trailer, and its settings
// and every level record are well formed; nothing here prints.
#ifndef QRL_PACKAGE_PACKAGE_H_
#define QRL_PACKAGE_PACKAGE_H_

#include <string>
#include <string_view>

#include "fastmemlist/fastmemlist.h"
#include "package/settings_block.h"

inline constexpr std::string_view kPackageTrailer =
    "QUORLING CONTROL SYSTEM 20230101";

// Fills `levels` with the level records, in file order, and `settings` with
// the decoded settings block. On refusal `levels` is empty, `settings` is
// untouched and *err says where and why.
bool LoadPackageFromData(std::string_view data, TFASTMEMLIST* levels,
                         TSETTINGSBLOCK* settings, DecodeError* err);

// The same for a file; *err holds the reason ("cannot open: ...", or
// "at byte N: ...") on refusal.
bool LoadPackage(const std::string& file_name, TFASTMEMLIST* levels,
                 TSETTINGSBLOCK* settings, std::string* err);

// Whether `data` is a list that ends with the package trailer: what a
// package file is, even when its records are damaged.
bool HasPackageTrailer(std::string_view data);

// The serialized package of these level records and settings.
std::string PackageToData(const TFASTMEMLIST& levels,
                          const TSETTINGSBLOCK& settings);

#endif  // QRL_PACKAGE_PACKAGE_H_
