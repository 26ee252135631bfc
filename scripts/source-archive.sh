#!/usr/bin/env bash
# Makes the source archive my-dropix-VERSION.tar.gz of the last commit in
# the folder given (build/package unless given) and prints its path. The
# same commit always gives the same bytes: git archive dates every entry
# with the commit's time, and gzip -n leaves name and time out.
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-build/package}
version=$(sed -n 's/^project(my-dropix VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "source-archive: no version in CMakeLists.txt" >&2; exit 1; }
if ! git rev-parse --verify -q HEAD >/dev/null 2>&1; then
    echo "source-archive: not a git checkout with a commit" >&2
    exit 1
fi
# Edits not committed are not in the archive: say so rather than hide it.
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "source-archive: warning: the archive holds the last commit, not the edits since" >&2
fi

mkdir -p "$out"
name=my-dropix-$version
git archive --format=tar --prefix="$name/" HEAD | gzip -9 -n >"$out/$name.tar.gz.part"
mv "$out/$name.tar.gz.part" "$out/$name.tar.gz"
realpath "$out/$name.tar.gz"
