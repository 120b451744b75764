#!/usr/bin/env bash
# Writes the release tests' package into WORK: a manifest (client.bqm) of
# three files of the source tree, copied beside it, so that every tool reads
# it from a folder of its own with relative paths.
# usage: client_manifest.sh SOURCE_DIR WORK
set -eu
src=$1 work=$2
cp "$src/packages/default/Bramblequist.csl" "$src/docs/manifest.md" "$src/packages/default/Bkp1.inz" "$work/"
cat >"$work/client.bqm" <<MANIFEST
file = Bramblequist.csl Bramblequist.csl
file = "Read Me.md" manifest.md
config = Bkp1.inz
MANIFEST
