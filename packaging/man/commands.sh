#!/usr/bin/env bash
# The SYNOPSIS and COMMANDS sections of quartel-cli(1) for help2man's --include: one subsection per command, made from
# the command's own --help (its option table), so that the page cannot drift from the program.
#   commands.sh QUARTEL_CLI STATIC_INCLUDE OUTPUT
set -euo pipefail
cli=$1
static=$2
out=$3
{
  # The synopsis: each command's usage line, one a line.
  echo "[SYNOPSIS]"
  for command in scan watch backup restore report diff; do
    "$cli" "$command" --help --lang en | head -1 | sed 's/^Usage: //; s/-/\\-/g'
    echo ".br"
  done
  echo
  echo "[COMMANDS]"
  for command in scan watch backup restore report diff; do
    echo ".SS $command"
    "$cli" "$command" --help --lang en | awk '
      NR == 1 { sub(/^Usage: /, ""); gsub(/-/, "\\-"); printf ".B %s\n.PP\n", $0; next }
      /^(Options|Arguments):$/ { section = $0; next }
      section == "" && NF > 0 { gsub(/\\/, "\\\\"); print; next }
      section == "" { print ".PP"; next }
      /^  -/ {
        # "  --address <N>   Address of ..." : the option, then its text.
        line = $0; sub(/^  /, "", line)
        split(line, parts, /  +/)
        text = substr(line, length(parts[1]) + 1); sub(/^ +/, "", text)
        gsub(/-/, "\\-", parts[1])
        printf ".TP\n.B %s\n%s\n", parts[1], text; next
      }
      /^   +/ { line = $0; sub(/^ +/, "", line); print line; next }
    '
  done
  echo
  cat "$static"
} >"$out"
