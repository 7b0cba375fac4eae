# SPDX-License-Identifier: GPL-3.0-or-later
# Every tracked C++ source is formatted as the root .clang-format says.
#   bash tests/check_format.sh <clang-format> <source tree>
set -euo pipefail
cd "$2"
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  echo "SKIP: not a git checkout, so no list of tracked sources"
  exit 77
fi
git ls-files -z -- '*.cpp' '*.h' | xargs -0 "$1" --dry-run --Werror
echo "$(git ls-files -- '*.cpp' '*.h' | wc -l) sources formatted"
