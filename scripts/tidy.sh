#!/usr/bin/env bash
# clang-tidy with the repository's .clang-tidy over our own code, on the compile commands of the
# test build (build/asan). Parsing the Qt headers takes most of the time, so by default only these
# source files are checked:
#   - every one changed against the merge base with main, committed or not, and the untracked ones;
#   - for a changed header, every source file that includes it;
#   - a fixed sample: the first source file (by name) of every folder, so that each folder is
#     parsed on every run (a new compiler, Qt or clang-tidy shows up there);
#   - everything when .clang-tidy itself changed.
# Usage: scripts/tidy.sh [--all]   (--all: every source file of the build)
# PYRELTO_TIDY_BASE names the branch to compare with (default: main, else origin/main).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/asan
jobs=$(nproc)
[ -f "$build/compile_commands.json" ] || cmake --preset asan >/dev/null

# The source files of ours the build compiles (moc's and other generated files stay out).
mapfile -t units < <(python3 - "$build/compile_commands.json" "$PWD" <<'EOF'
import json, os, sys
root = sys.argv[2] + "/"
files = {os.path.normpath(e["file"]) for e in json.load(open(sys.argv[1]))}
for f in sorted(files):
    if f.startswith(root) and not f.startswith(root + "build/"):
        print(f[len(root):])
EOF
)

changed_since() {
  git diff --name-only --diff-filter=d "$1" --
  git ls-files --others --exclude-standard
}

select_units() {
  local base=""
  for candidate in "${PYRELTO_TIDY_BASE:-}" main origin/main; do
    [ -n "$candidate" ] || continue
    if base=$(git merge-base HEAD "$candidate" 2>/dev/null); then
      break
    fi
    base=""
  done
  # On main itself: the last commit's change.
  if [ "$base" = "$(git rev-parse HEAD)" ]; then
    base=$(git rev-parse -q --verify HEAD~1 || true)
  fi
  if [ -z "$base" ]; then
    printf '%s\n' "${units[@]}"
    return
  fi
  local changed
  changed=$(changed_since "$base" | sort -u)
  if grep -qx '.clang-tidy' <<<"$changed"; then
    printf '%s\n' "${units[@]}"
    return
  fi
  {
    # The fixed sample: the first source file of every folder.
    printf '%s\n' "${units[@]}" | awk -F/ '{dir=$0; sub("/[^/]*$", "", dir)} !seen[dir]++'
    grep -E '[.]cpp$' <<<"$changed" || true
    # A changed header: the source files that include it by name.
    local header
    for header in $(grep -E '[.]h$' <<<"$changed" || true); do
      git grep -lF "#include \"$(basename "$header")\"" -- '*.cpp' || true
    done
  } | sort -u | grep -xF -f <(printf '%s\n' "${units[@]}") || true
}

if [ "${1:-}" = "--all" ]; then
  selected=("${units[@]}")
else
  mapfile -t selected < <(select_units)
fi
echo "clang-tidy: ${#selected[@]} of ${#units[@]} source files"

# Moc's files must exist before the Qt sources can be parsed: every automoc target of the build.
mapfile -t autogen < <(cmake --build "$build" --target help | grep -oE '[A-Za-z0-9_.-]+_autogen\b' |
                         sort -u)
if [ ${#autogen[@]} -gt 0 ]; then
  cmake --build "$build" -j"$jobs" --target "${autogen[@]}" >/dev/null
fi

# run-clang-tidy takes regular expressions of files: one that names exactly the selected ones.
pattern="^$PWD/($(printf '%s\n' "${selected[@]}" | sed 's/[].[^$*+?(){}|\\]/\\&/g' | paste -sd'|'))\$"
log=$build/clang-tidy.log
if ! run-clang-tidy -p "$build" -j"$jobs" -quiet "$pattern" >"$log" 2>&1; then
  sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E '(warning|error): ' | sort -u >&2
  exit 1
fi
