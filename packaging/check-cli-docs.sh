#!/usr/bin/env bash
# Checks the manual page and the bash completion of orvana-cli against what
# the program's --help prints: every command, and every option of the tool and
# of each command, must be documented in the right section of the manual page
# and offered by the completion in the right place.
# Usage: check-cli-docs.sh ORVANA_CLI MAN_PAGE COMPLETION
set -euo pipefail
cli=$1
man=$2
completion=$3
failures=0

fail() {
  echo "check-cli-docs: $*" >&2
  failures=$((failures + 1))
}

# The option names that start the lines of a help text's "Options:" list,
# for instance "  -h, --help  show this help" gives -h and --help.
options_of() {
  awk '/^Options:/ { on = 1; next } /^[^ ]/ { on = 0 }
       on && /^  -/ {
         line = $0; sub(/^  /, "", line)
         while (match(line, /^-(-[a-z][a-z0-9-]*|[a-zA-Z])/)) {
           print substr(line, 1, RLENGTH)
           line = substr(line, RLENGTH + 1)
           if (line ~ /^, -/) line = substr(line, 3); else break
         }
       }'
}

# The commands listed under "Commands:" in the tool's help.
commands_of() {
  awk '/^Commands:/ { on = 1; next } /^[^ ]/ { on = 0 }
       on && /^  [a-z]/ { print $1 }'
}

# The manual page's text between `.SS "TITLE"` and the next heading.
man_section() {
  awk -v title="$1" '
    /^\.S[SH] / { on = (index($0, "\"" title "\"") > 0); next }
    on'
}

# How an option is written in the manual page's source: "\-\-out", "\-h".
man_spelling() { sed 's/-/\\-/g' <<<"$1"; }

# A word list in the completion: local NAME='...' (it may span lines).
completion_words() {
  awk -v name="$1" -v q="'" '
    index($0, "local " name "=" q) { on = 1; $0 = substr($0, index($0, "=" q) + 2) }
    on { i = index($0, q); if (i) { print substr($0, 1, i - 1); on = 0 } else print }
  ' "$completion" | tr -s ' \t' '\n\n' | sed '/^$/d'
}

tool_help=$("$cli" --help)
commands=$(commands_of <<<"$tool_help")
tool_options=$(options_of <<<"$tool_help")
[ -n "$commands" ] || fail "no commands found in 'orvana-cli --help'"
[ -n "$tool_options" ] || fail "no options found in 'orvana-cli --help'"

completion_commands=$(completion_words commands)
top_level=$(grep -E 'compgen -W "\$commands' "$completion" || true)

# The tool's own options: documented among the options of every command, and
# offered before the command.
common=$(man_section "Options of every command" <"$man")
for opt in $tool_options; do
  grep -qF -- "$(man_spelling "$opt")" <<<"$common" ||
    fail "manual page: '$opt' (orvana-cli --help) is not under \"Options of every command\""
  [ "$opt" = -h ] || grep -qF -- " $opt" <<<"$top_level" ||
    fail "completion: '$opt' (orvana-cli --help) is not offered before the command"
done

commands_section=$(awk '/^\.SH COMMANDS/ { on = 1; next } /^\.SH / { on = 0 } on' "$man")
for command in $commands; do
  grep -qE "^\.B $command( |$)" <<<"$commands_section" ||
    fail "manual page: command '$command' is not described under COMMANDS"
  grep -qx -- "$command" <<<"$completion_commands" ||
    fail "completion: command '$command' is not offered"

  section=$(man_section "Options of $command" <"$man")
  [ -n "$section" ] || fail "manual page: no section \"Options of $command\""
  offered=$(completion_words "${command}_opts")
  [ -n "$offered" ] || fail "completion: no option list ${command}_opts"
  for opt in $(options_of < <("$cli" "$command" --help)); do
    # -h and --help are the same everywhere and documented once.
    if [ "$opt" != -h ] && [ "$opt" != --help ]; then
      grep -qF -- "$(man_spelling "$opt")" <<<"$section" ||
        fail "manual page: '$opt' (orvana-cli $command --help) is not under \"Options of $command\""
    fi
    [ "$opt" = -h ] || grep -qx -- "$opt" <<<"$offered" ||
      fail "completion: '$opt' (orvana-cli $command --help) is not offered after '$command'"
  done
done

if [ "$failures" -ne 0 ]; then
  echo "check-cli-docs: $failures problem(s)" >&2
  exit 1
fi
echo "check-cli-docs: $(wc -w <<<"$commands") commands and their options documented and completed"
