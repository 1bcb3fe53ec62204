#include <utility>

#include "console/console_client.h"
#include "services/file_services.h"
#include "services/string_utils.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

bool ReadParameterFile(const std::string& file_name, LineList* arguments,
                       std::string* err) {
  std::string text;
  std::string read_err;
  if (!ReadWholeFile(file_name, &text, &read_err)) {
    if (err != nullptr) {
      *err = std::move(read_err);
    }
    return false;
  }
  ParseParameterText(text, arguments);
  return true;
}

void ParseParameterText(std::string_view text, LineList* arguments) {
  std::string_view content = text;
  if (content.starts_with(kByteOrderMark)) {
    content.remove_prefix(kByteOrderMark.size());
  }
  const std::string program_path = arguments->Get(0);
  arguments->SetText(content);
  arguments->Insert(0, program_path);
  // Kept lines stay exactly as read; only the filter trims.
  for (size_t i = arguments->Count() - 1; i >= 1; --i) {
    const std::string& line = arguments->Get(i);
    if ((!line.empty() && line[0] == '#') || Trim(line).empty()) {
      arguments->Delete(i);
    }
  }
}
