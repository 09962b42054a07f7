#!/bin/sh
# Writes a program's manual page, gzip-compressed, made from its --help and, when that lists
# "Subcommands:", from each subcommand's --help: the page and the help cannot drift apart.
#   manpage.sh PROGRAM NAME SUMMARY VERSION OUTPUT [SEE-ALSO]
set -eu
program=$1
name=$2
summary=$3
version=$4
output=$5
see_also=${6:-}
awk_script="$(dirname "$0")/help2roff.awk"
upper() { printf '%s' "$1" | tr '[:lower:]' '[:upper:]'; }

page="$output.tmp"
help=$("$program" --help)
{
    printf '.TH %s 1 "" "cc2530-tools %s" "User Commands"\n' "$(upper "$name")" "$version"
    printf '.SH NAME\n%s \\- %s\n' "$(printf '%s' "$name" | sed 's/-/\\-/g')" "$summary"
    printf '.SH DESCRIPTION\n'
    printf '%s\n' "$help" | awk -v prog="$name" -f "$awk_script"
    for sub in $(printf '%s\n' "$help" |
        awk '/^Subcommands:$/ { on = 1; next } /^$/ { on = 0 } on && /^  [a-z]/ { print $1 }'); do
        printf '.SH %s\n' "$(upper "$sub")"
        "$program" "$sub" --help | awk -v prog="$name" -f "$awk_script"
    done
    if [ -n "$see_also" ]; then
        printf '.SH "SEE ALSO"\n%s\n' "$see_also"
    fi
} >"$page"
gzip -9 -n -c "$page" >"$output"
rm -f "$page"
