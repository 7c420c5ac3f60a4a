#!/usr/bin/env bash
# Checks that every #include "folder/..." of the engine points down the layers:
#   platform -> platform
#   base     -> base, platform
#   chess    -> chess, base, platform
#   search   -> search, cluster, chess, base, platform   (search and cluster call each other)
#   cluster  -> cluster, search, chess, base, platform
#   sharing  -> sharing, chess, base, platform
#   uci      -> everything below frame
#   frame    -> everything
# tools/, tests/ and bench/ may include anything. The chess core also reads no
# option and asks no manager who it is: its callers hand it settings, sizes and
# identity. Prints every offending line and exits 1 when there is one.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

declare -A allowed=(
  [platform]="platform"
  [base]="base platform"
  [chess]="chess base platform"
  [search]="search cluster chess base platform"
  [cluster]="cluster search chess base platform"
  [sharing]="sharing chess base platform"
  [uci]="uci search cluster sharing chess base platform"
  [frame]="frame uci search cluster sharing chess base platform"
)

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$rest")
    ok=0
    for a in ${allowed[$folder]}; do [ "$a" = "$target" ] && ok=1; done
    if [ $ok -eq 0 ]; then
      echo "$file:$line: $folder/ must not include $target/: ${rest#*:}"
      status=1
    fi
  done < <(grep -rn -E '^\s*#\s*include\s+"[^/"]+/' "$folder" --include='*.h' --include='*.cpp' || true)
done
while IFS=: read -r file line text; do
  echo "$file:$line: chess/ must be handed this by its caller: $text"
  status=1
done < <(grep -rn -E '\boption_get|\bYBWCManager_(Rank|IsRootMaster|GetInstance)\b' chess --include='*.h' --include='*.cpp' || true)
[ $status -eq 0 ] && echo "layers: every include points down"
exit $status
