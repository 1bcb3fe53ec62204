// The contract of qrlpack: for every package P that qrlconsole accepts,
// building the description that dump gives for P returns P byte for byte.
// Checked on the sample packages of the tests and on 1,000 random packages
// (fixed seed) of every kind, with binary contents, odd bytes, lists of
// every width and records of unusual shapes.
#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "pack/json/assemble.h"
#include "pack/json/describe.h"
#include "pack/json/list_width.h"
#include "package/level_record.h"
#include "package/package.h"
#include "tests/sample_packages.h"

namespace {

using namespace std::string_literals;

// Random packages. A tidy package is what a careful writer produces
// (smallest widths, known kinds, the usual shapes of every item); an untidy
// one may hold anything qrlconsole still accepts.
class RandomPackages {
 public:
  explicit RandomPackages(uint64_t seed) : random_(seed) {}

  std::string Package(bool tidy, int depth = 0) {
    tidy_ = tidy;
    std::vector<std::string> items;
    const uint64_t levels = 1 + Below(depth == 0 ? 4 : 2);
    for (uint64_t i = 0; i < levels; ++i) {
      items.push_back(Level(depth));
      tidy_ = tidy;  // a nested package may have been untidy
    }
    items.push_back(Settings());
    items.emplace_back(kPackageTrailer);
    return List(items);
  }

 private:
  uint64_t Below(uint64_t n) { return random_() % n; }
  bool OneIn(uint64_t n) { return Below(n) == 0; }
  bool Odd(uint64_t one_in) { return !tidy_ && OneIn(one_in); }

  // A list at its natural width, or (untidy) at any width that holds it.
  std::string List(const std::vector<std::string>& items) {
    uint8_t width = NaturalWidth(items);
    if (Odd(6)) {
      static constexpr uint8_t kWidths[] = {1, 2, 4, 8};
      const uint8_t wider = kWidths[Below(4)];
      width = wider > width ? wider : width;
    }
    return EncodeList(items, width);
  }

  std::string Text() {
    static const std::vector<std::string> kTexts = {
        "",
        "menu",
        "{MACRO_RAD_DIRECTORY}src/a.txt",
        "+VANILLAIDE,-OTHER",
        "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
        "line\r\nwith\tcontrol \x01 bytes",
        "zero\0byte"s,
        "\xFF\xFE invalid",
        "\xED\xA0\x80",
        "cut \xE2\x82",
        "\"quotes\" and \\backslashes\\",
    };
    switch (Below(12)) {
      case 0: {
        std::string bytes(Below(24), '\0');
        for (char& byte : bytes) {
          byte = static_cast<char>(random_());
        }
        return bytes;
      }
      case 1:
        // Long items call for lists of width 2 and, rarely, 4.
        if (OneIn(500)) {
          return std::string(70000, 'y');
        }
        return OneIn(40) ? std::string(300 + Below(50), 'x') : "";
      default:
        return kTexts[Below(kTexts.size())];
    }
  }

  std::vector<std::string> Texts(uint64_t most) {
    std::vector<std::string> texts(OneIn(150) ? 300 : Below(most + 1));
    for (std::string& text : texts) {
      text = Text();
    }
    return texts;
  }

  std::string Integer() {
    static const std::vector<std::string> kOdd = {"007",
                                                  "-0",
                                                  "+1",
                                                  " 1",
                                                  "1.5",
                                                  "",
                                                  "x",
                                                  "18446744073709551616",
                                                  "-9223372036854775809"};
    static const std::vector<std::string> kCanonical = {"0",
                                                        "1",
                                                        "2",
                                                        "3",
                                                        "10",
                                                        "-1",
                                                        "18446744073709551615",
                                                        "-9223372036854775808"};
    return Odd(8) ? kOdd[Below(kOdd.size())]
                  : kCanonical[Below(kCanonical.size())];
  }

  // A list of texts where qrlconsole requires a list (or nothing).
  std::string CheckedList(std::vector<std::string> items) {
    return Odd(20) ? "" : List(items);
  }

  // A list of texts where qrlconsole takes any bytes.
  std::string UncheckedList(std::vector<std::string> items) {
    return Odd(15) ? Text() : List(items);
  }

  std::string Settings() {
    if (Odd(10)) {
      return "";
    }
    std::vector<std::string> items;
    for (int group = 0; group < 3; ++group) {
      items.push_back(Text());
      items.push_back(Text());
      std::string position(1, static_cast<char>(Below(3)));
      if (Odd(5)) {
        position = OneIn(2) ? std::string(1, static_cast<char>(random_()))
                            : "\x01\x09"s;
      }
      items.push_back(position);
    }
    items.push_back(Text());
    items.push_back(Text());
    std::vector<std::string> macros = Texts(6);
    if (macros.size() % 2 != 0 && !Odd(3)) {
      macros.pop_back();
    }
    items.push_back(OneIn(4) ? "" : UncheckedList(macros));
    items.push_back(Text());
    return List(items);
  }

  std::string Entry() {
    static const std::vector<std::string> kTypes = {"0", "1", "2", "", "01"};
    const std::string type = kTypes[Below(tidy_ ? 2 : kTypes.size())];
    std::string content = type == kTypeText ? UncheckedList(Texts(4)) : Text();
    return List({OneIn(3) ? "\\" : "/", Text(), type, content});
  }

  std::string Entries() {
    std::vector<std::string> entries(Below(3));
    for (std::string& entry : entries) {
      entry = Entry();
    }
    return CheckedList(entries);
  }

  std::string Code(const std::string& kind, int depth) {
    std::vector<std::string> items = {"0"};
    if (kind == kKindNormal && OneIn(3)) {
      items = {"1", Text()};
    } else if (kind == kKindNormal || kind == kKindComplex ||
               kind == kKindFileDirectoryCreationRemoval) {
      for (const std::string& line : Texts(4)) {
        items.push_back(line);
      }
    } else if (kind == kKindExternal) {
      for (int i = 0; i < 4; ++i) {
        items.push_back(Text());
      }
      for (const std::string& parameter : Texts(3)) {
        items.push_back(parameter);
      }
    } else if (kind == kKindPackage) {
      if (depth < 2 && OneIn(2)) {
        items = {"1", Package(tidy_, depth + 1)};
      } else {
        items.push_back(Text());
      }
    } else if (OneIn(2)) {
      items.clear();
    }
    if (Odd(6)) {
      // Unusual shapes: a missing item, an extra one, another type.
      switch (Below(3)) {
        case 0:
          if (!items.empty()) {
            items.pop_back();
          }
          break;
        case 1:
          items.push_back(Text());
          break;
        default:
          items.resize(std::max<size_t>(items.size(), 1));
          items[0] = Odd(2) ? "1" : Text();
          break;
      }
    }
    if (kind == kKindPackage && Odd(4)) {
      items = {"1", Text()};  // inline bytes that are no package
    }
    return CheckedList(items);
  }

  std::string Level(int depth) {
    static const std::vector<std::string> kOddKinds = {"7", "", "00", "\xFF",
                                                       "Normal"};
    std::string kind = std::to_string(Below(7));
    if (Odd(8)) {
      kind = kOddKinds[Below(kOddKinds.size())];
    }
    std::vector<std::string> items(kLevelItemCount);
    items[kLevelNumber] = Integer();
    items[kKindCode] = kind;
    items[kPresentation] = Text();
    items[kLabel] = Text();
    items[kItem4] = Text();
    items[kSeverity] = Integer();
    items[kSuccessSymbols] = Text();
    items[kFailureSymbols] = Text();
    items[kCommentLines] = CheckedList(Texts(3));
    items[kRequirements] = Text();
    items[kOptions] = Text();
    items[kFileEntries] = Entries();
    items[kCode] = Code(kind, depth);
    return List(items);
  }

  std::mt19937_64 random_;
  bool tidy_ = true;
};

// True when some element of the description took a fallback form.
bool HasFallback(const Json& value) {
  if (value.is_array()) {
    for (const Json& element : value) {
      if (HasFallback(element)) {
        return true;
      }
    }
  }
  if (!value.is_object()) {
    return false;
  }
  for (auto it = value.begin(); it != value.end(); ++it) {
    const bool stored_code =
        (it.key() == "kind" || it.key() == "type") && it->is_object();
    if (it.key() == "raw" || it.key() == "width" || it.key() == "items" ||
        stored_code || HasFallback(*it)) {
      return true;
    }
  }
  return false;
}

// Counts what a description shows, to prove the random packages reach
// every kind, every code form, every fallback and every width.
void Tally(const Json& value, std::map<std::string, int>* seen) {
  if (value.is_array()) {
    for (const Json& element : value) {
      Tally(element, seen);
    }
  }
  if (!value.is_object()) {
    return;
  }
  for (auto it = value.begin(); it != value.end(); ++it) {
    const std::string& key = it.key();
    if (key == "kind") {
      ++(*seen)[it->is_string() ? it->get<std::string>() : "kind code"];
    } else if (key == "width") {
      ++(*seen)["width " + it->dump()];
    } else if (key == "code" && it->is_object()) {
      ++(*seen)["code " + it->begin().key()];
    } else if (key == "raw" || key == "base64" || key == "package") {
      ++(*seen)[key];
    }
    Tally(*it, seen);
  }
}

// Dumps, parses the text back, builds; returns the description.
Json CheckRoundTrip(const std::string& package, const std::string& name) {
  TFASTMEMLIST levels;
  TSETTINGSBLOCK settings;
  DecodeError error;
  EXPECT_TRUE(LoadPackageFromData(package, &levels, &settings, &error))
      << name << ": " << error.Text();
  Json description;
  EXPECT_TRUE(DescribePackage(package, &description, &error))
      << name << ": " << error.Text();
  const Json parsed = Json::parse(description.dump(2));
  std::string rebuilt;
  std::string err;
  EXPECT_TRUE(AssemblePackage(parsed, &rebuilt, &err)) << name << ": " << err;
  EXPECT_TRUE(rebuilt == package) << name << ": " << description.dump(2);
  return parsed;
}

TEST(RoundTrip, SamplePackagesOfTheTests) {
  const std::vector<std::string> packages = SamplePackages();
  for (size_t i = 0; i < packages.size(); ++i) {
    CheckRoundTrip(packages[i], "sample " + std::to_string(i));
  }
}

TEST(RoundTrip, ThousandRandomPackages) {
  RandomPackages random(20230101);
  int untidy_with_fallbacks = 0;
  std::map<std::string, int> seen;
  for (int i = 0; i < 1000; ++i) {
    const bool tidy = i % 2 == 0;
    const Json description =
        CheckRoundTrip(random.Package(tidy), "package " + std::to_string(i));
    Tally(description, &seen);
    if (tidy) {
      EXPECT_FALSE(HasFallback(description))
          << "package " << i << ": " << description.dump(2);
    } else {
      untidy_with_fallbacks += HasFallback(description) ? 1 : 0;
    }
    if (testing::Test::HasFailure()) {
      break;
    }
  }
  // The untidy half does reach the fallback forms.
  EXPECT_GT(untidy_with_fallbacks, 400);
  for (const char* shown :
       {"Normal", "Requirement", "Complex", "FileExport",
        "FileDirectoryCreationRemoval", "External", "Package", "kind code",
        "code bytes", "code path", "code package", "code executable",
        "code items", "code options", "raw", "base64", "width 2", "width 4",
        "width 8"}) {
    EXPECT_GE(seen[shown], 5) << shown;
  }
}

}  // namespace
