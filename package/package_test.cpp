#include "package/package.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "package/level_record.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

TEST(LoadPackage, AcceptsLevelsSettingsAndTrailer) {
  TSETTINGSBLOCK settings;
  settings.user_information = "Read me first";
  settings.symbols = "+P";
  settings.macros = MacroData({{"{A}", "1"}});
  const std::string data =
      PackageData({NormalLevel("1"), NormalLevel("2")}, settings);
  TFASTMEMLIST levels;
  TSETTINGSBLOCK loaded;
  DecodeError error;
  ASSERT_TRUE(LoadPackageFromData(data, &levels, &loaded, &error))
      << error.Text();
  EXPECT_EQ(loaded, settings);
  ASSERT_EQ(levels.Count(), 2u);
  EXPECT_EQ(levels.Get(1), LevelRecord(NormalLevel("2")));
  EXPECT_EQ(PackageToData(levels, loaded), data);

  ScratchDir dir;
  WriteFile(dir.Path("p.qrl"), data);
  TFASTMEMLIST from_file;
  std::string err;
  ASSERT_TRUE(LoadPackage(dir.Path("p.qrl"), &from_file, &loaded, &err));
  EXPECT_EQ(from_file.Count(), 2u);
  EXPECT_FALSE(LoadPackage(dir.Path("none.qrl"), &from_file, &loaded, &err));
  EXPECT_EQ(err, "cannot open: No such file or directory");
}

TEST(LoadPackage, EmptySettingsItemGivesAFreshBlock) {
  const std::string data =
      PackageDataFromRecords({LevelRecord(NormalLevel("1"))}, "");
  TFASTMEMLIST levels;
  TSETTINGSBLOCK settings;
  settings.symbols = "stale";
  ASSERT_TRUE(LoadPackageFromData(data, &levels, &settings, nullptr));
  EXPECT_EQ(settings, TSETTINGSBLOCK());
  EXPECT_EQ(levels.Count(), 1u);
}

TEST(LoadPackage, RefusesWhatIsNotAPackageAndSaysWhere) {
  const std::string level = LevelRecord(NormalLevel("1"));
  const std::string settings = SettingsToData(TSETTINGSBLOCK());
  const std::string good_entry = Serialize({"/", "p", "0", Serialize({})});
  struct Case {
    const char* name;
    std::string data;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"two items", Serialize({settings, kPackageTrailer}),
       "at byte 1: a package holds at least one level, its settings and its "
       "trailer, but this list holds 2 items"},
      {"trailer with a blank",
       Serialize({level, settings, "QUORLING CONTROL SYSTEM 20230101 "}), ""},
      {"trailer in lower case",
       Serialize({level, settings, "quorling control system 20230101"}), ""},
      {"settings of 12 items",
       Serialize({level,
                  Serialize({"", "", "\x01", "", "", "\x01", "", "", "\x01", "",
                             "", ""}),
                  kPackageTrailer}),
       ""},
      {"empty marker position",
       Serialize({level,
                  Serialize({"", "", "", "", "", "\x01", "", "", "\x01", "", "",
                             "", ""}),
                  kPackageTrailer}),
       ""},
      {"record of 12 items",
       Serialize(
           {Serialize({"1", "0", "", "", "", "2", "", "", "", "", "", ""}),
            settings, kPackageTrailer}),
       ""},
      {"file entries not a list",
       Serialize({Serialize({"1", "0", "", "", "", "2", "", "", "", "", "",
                             "\x07", ""}),
                  settings, kPackageTrailer}),
       ""},
      {"file entry of 3 items",
       Serialize(
           {Serialize({"1", "0", "", "", "", "2", "", "", "", "", "",
                       Serialize({good_entry, Serialize({"/", "p", "0"})}),
                       ""}),
            settings, kPackageTrailer}),
       ""},
      {"code not a list",
       Serialize({Serialize({"1", "0", "", "", "", "2", "", "", "", "", "", "",
                             "\x01\x01"}),
                  settings, kPackageTrailer}),
       ""},
  };
  for (const Case& c : cases) {
    TFASTMEMLIST levels;
    levels.Add("leftover");
    TSETTINGSBLOCK untouched;
    untouched.user_information = "keep";
    DecodeError error;
    EXPECT_FALSE(LoadPackageFromData(c.data, &levels, &untouched, &error))
        << c.name;
    EXPECT_EQ(levels.Count(), 0u) << c.name;
    EXPECT_EQ(untouched.user_information, "keep") << c.name;
    EXPECT_FALSE(error.what.empty()) << c.name;
    EXPECT_LT(error.offset, c.data.size()) << c.name;
    if (!c.error.empty()) {
      EXPECT_EQ(error.Text(), c.error) << c.name;
    }
  }
}

TEST(LoadPackage, OffsetsOfNestedFaultsCountFromTheFileStart) {
  // The third item of the second file entry of level 0 is missing: the
  // fault is reported at that entry's position in the whole package.
  const std::string good_entry = Serialize({"/", "p", "0", Serialize({})});
  const std::string bad_entry = Serialize({"/", "p", "0"});
  const std::string entries = Serialize({good_entry, bad_entry});
  const std::string record = Serialize({"1", "0", "", "", "", "2", "", "", "",
                                        "", "", entries, Serialize({"0"})});
  const std::string data =
      Serialize({record, SettingsToData({}), kPackageTrailer});
  TFASTMEMLIST levels;
  TSETTINGSBLOCK settings;
  DecodeError error;
  ASSERT_FALSE(LoadPackageFromData(data, &levels, &settings, &error));
  EXPECT_EQ(error.what, "level 0: file entry 1 holds 3 items instead of 4");
  EXPECT_EQ(data.substr(error.offset, bad_entry.size()), bad_entry);
}

TEST(LoadPackage, DamagedPackagesNeverCrashOrOverread) {
  // Every shortened form and every single-byte change of a valid package
  // is either refused or decodes into whole records.
  TSETTINGSBLOCK settings;
  settings.level_marker = {"// LEVEL ", " ", kMarkerBefore};
  const std::string data =
      PackageData({NormalLevel("1"), NormalLevel("2")}, settings);
  for (size_t size = 0; size < data.size(); ++size) {
    TFASTMEMLIST levels;
    TSETTINGSBLOCK loaded;
    EXPECT_FALSE(
        LoadPackageFromData(data.substr(0, size), &levels, &loaded, nullptr))
        << size;
  }
  for (size_t at = 0; at < data.size(); ++at) {
    for (unsigned char delta : {1, 0x80}) {
      std::string damaged = data;
      damaged[at] = static_cast<char>(damaged[at] + delta);
      TFASTMEMLIST levels;
      TSETTINGSBLOCK loaded;
      if (LoadPackageFromData(damaged, &levels, &loaded, nullptr)) {
        for (uint64_t i = 0; i < levels.Count(); ++i) {
          EXPECT_TRUE(LevelRecordIsWellFormed(levels.View(i), nullptr));
        }
      }
    }
  }
}

TEST(HasPackageTrailer, TellsAPackageFileFromOtherFiles) {
  const std::string trailer(kPackageTrailer);
  struct Case {
    const char* name;
    std::string data;
    bool is_package;
  };
  const std::vector<Case> cases = {
      {"a package", PackageData({NormalLevel("1")}), true},
      {"damaged records, the trailer last",
       Serialize({"not a record", "nor settings", trailer}), true},
      {"the trailer alone", Serialize({trailer}), true},
      {"the trailer in lower case",
       Serialize({"level", "settings", "quorling control system 20230101"}),
       false},
      {"the trailer not last", Serialize({trailer, "settings"}), false},
      {"a parameter file", "q.qrl\napply\n", false},
      {"a description", "{\"levels\": []}", false},
      {"empty", "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HasPackageTrailer(c.data), c.is_package) << c.name;
  }
}

}  // namespace
