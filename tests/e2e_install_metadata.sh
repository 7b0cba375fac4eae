#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The menu entry and the software-centre metadata, installed from a build tree into a
# temporary prefix, pass the validators the desktops and software centres use.
# $1: the build tree.
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" --component metadata >/dev/null

desktop=$prefix/share/applications/org.example.corvane.desktop
# desktop-file-validate exits 0 on warnings and hints; any remark at all fails here.
remarks=$(desktop-file-validate "$desktop" 2>&1) || { echo "$remarks"; exit 1; }
[ -z "$remarks" ] || { echo "FAIL: $remarks"; exit 1; }
appstreamcli validate --no-net "$prefix/share/metainfo/org.example.corvane.metainfo.xml"
echo "desktop entry and metainfo valid"
