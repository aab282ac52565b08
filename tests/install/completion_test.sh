#!/usr/bin/env bash
# The bash completion scripts load in a plain bash without error, complete
# what each tool accepts, and offer every long option its --help lists.
# Usage: completion_test.sh COMPLETION_DIR TOOLS_DIR
set -u
completions=$(cd "$1" && pwd)
tools=$(cd "$2" && pwd)
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# What the completion of TOOL offers for the words after it; the last word
# is the one being completed. Runs in a fresh bash that loads only the script.
complete_words() {
  local tool=$1
  shift
  bash --norc --noprofile -c '
    source "$1/$2" || exit 3
    shift 2
    COMP_WORDS=("$@")
    COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    function=$(complete -p "${COMP_WORDS[0]}" | sed -n "s/.*-F \([^ ]*\).*/\1/p")
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    (( ${#COMPREPLY[@]} )) && printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "
  ' completion-test "$completions" "$tool" "$tool" "$@"
}

expect() {
  local want=$1
  shift
  local got
  got=$(complete_words "$@")
  [ "$got" = "$want" ] || fail "completing '$*': got '$got', want '$want'"
}

for tool in saver-pack saver-inspect saver-effects; do
  errors=$(bash --norc --noprofile -c 'source "$1" && complete -p "$2" > /dev/null' \
           completion-test "$completions/$tool" "$tool" 2>&1) || fail "$tool: the script does not load: $errors"
  [ -z "$errors" ] || fail "$tool: loading printed: $errors"

  # Every long option of --help is offered after "--", and nothing else.
  want=$("$tools/$tool" --help | grep -oE '^  (-[a-z], )?--[a-z][a-z-]*' | grep -oE -- '--[a-z-]+' |
         sort -u | tr '\n' ' ')
  words=("$tool")
  [ "$tool" = saver-effects ] && words+=(render)
  got=$(complete_words "${words[@]}" --)
  got=$(for w in $got; do echo "$w"; done | sort -u | tr '\n' ' ')
  [ "$tool" = saver-effects ] && want=$(for w in $want; do [ "$w" = --version ] || echo "$w"; done |
                                        sort -u | tr '\n' ' ')
  [ "$got" = "$want" ] || fail "$tool: options offered '$got', --help lists '$want'"
done

# Values and files.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/frames"
touch "$scratch/ocean.toml" "$scratch/beach.jpg"
cd "$scratch"
expect "always auto never " saver-pack --compress ""
expect "always " saver-pack --compress al
expect "--keep-orientation " saver-pack --ke
expect "frames ocean.toml " saver-pack --manifest ""
expect "beach.jpg frames ocean.toml " saver-pack -o ""
expect "" saver-pack --title ""
expect "--extract " saver-inspect --ex
expect "frames " saver-inspect --extract ""
expect "--help --sheet --version list render " saver-effects ""
expect "--old --out " saver-effects render --o
expect "frames " saver-effects render --out ""
expect "1 10 100 101 102 103 104 105 106 107 108 109 11 110 111 112 113 114 115 116 12 13 14 15 16 17 18 19 " \
  saver-effects render --effect 1
expect "--seed --sheet --size --steps " saver-effects --sheet x.png --s
expect "" saver-effects list ""

if [ "$failures" -ne 0 ]; then
  echo "$failures completion checks failed" >&2
  exit 1
fi
echo "completion: all checks passed"
