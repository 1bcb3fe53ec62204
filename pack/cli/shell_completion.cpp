#include "pack/cli/shell_completion.h"

#include "console/actions.h"
#include "pack/cli/exit_codes.h"
#include "pack/cli/package_macros.h"
#include "package/package.h"

namespace {

// The function both completions call. The macro names come from the
// package through the library, never from running it; they are matched as
// plain text, never expanded by the shell.
constexpr std::string_view kArgumentsFunction = R"(
# bash completion of qrlconsole, and the part that plan shares
# Completes qrlconsole's arguments from word $2 on: the package (file
# names), an action of $3, then MACRO{NAME}= and SYMBOL words with the
# macro names the package defines, which $1 (a qrlpack) reads; $4 are the
# options, if any. A macro's value after "=" gets file names.
_qrl_arguments() {
  local pack=$1 first=$2 actions=$3 options=$4
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  local words=() j word
  [[ $prev == = ]] && return
  if [[ $cur == -* ]]; then
    [[ -n $options ]] && COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  for ((j = first; j < COMP_CWORD; j++)); do
    [[ ${COMP_WORDS[j]} == -* ]] || words+=("${COMP_WORDS[j]}")
  done
  case ${#words[@]} in
    0) ;;
    1) COMPREPLY=($(compgen -W "$actions" -- "$cur")) ;;
    *)
      local package=${words[0]} candidates=("MACRO{" SYMBOL)
      [[ ${words[1],,} == restorebackup ]] && return
      [[ $package == "~/"* ]] && package=$HOME/${package#"~/"}
      while IFS= read -r word; do
        candidates+=("MACRO$word=")
      done < <("$pack" complete-macros "$package" 2>/dev/null)
      for word in "${candidates[@]}"; do
        [[ $word == "$cur"* ]] && COMPREPLY+=("$word")
      done
      compopt -o nospace 2>/dev/null
      ;;
  esac
}
)";

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) {
    text += (text.empty() ? "" : " ") + word;
  }
  return text;
}

}  // namespace

int RunCompleteMacros(const std::vector<std::string>& args, std::ostream& out) {
  TFASTMEMLIST levels;
  TSETTINGSBLOCK settings;
  std::string err;
  if (args.size() != 3 || !LoadPackage(args[2], &levels, &settings, &err)) {
    return kPackExitInvalid;
  }
  for (const std::string& name : PackageMacroNames(levels, settings)) {
    out << name << '\n';
  }
  return kPackExitOk;
}

std::string ConsoleCompletion() {
  return std::string(kArgumentsFunction) +
         "\n"
         "_qrlconsole() {\n"
         "  local pack=qrlpack options=\n"
         "  # The qrlpack beside this qrlconsole, else the one on PATH.\n"
         "  [[ ${COMP_WORDS[0]} == */* && -x ${COMP_WORDS[0]%/*}/qrlpack ]] "
         "&&\n"
         "    pack=${COMP_WORDS[0]%/*}/qrlpack\n"
         "  ((COMP_CWORD == 1)) && options=\"--help -h --version\"\n"
         "  COMPREPLY=()\n"
         "  _qrl_arguments \"$pack\" 1 \"" +
         Joined(ConsoleActionWords()) +
         "\" \"$options\"\n"
         "}\n"
         "complete -o default -F _qrlconsole qrlconsole\n";
}

std::string PlanCompletion() {
  return "_qrl_arguments \"${COMP_WORDS[0]}\" $((i + 1)) \"apply "
         "reverse\" \"\"";
}
