#!/usr/bin/env bash
# Prints the CMake option that builds whisper.cpp from a local copy of the pinned release, when there is one:
# $MURMURO_WHISPER_ARCHIVE, else ../shared/third_party/ beside the repository (where machines without access
# to upstream keep it). Prints nothing otherwise, and the build fetches the release from upstream.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
archive=${MURMURO_WHISPER_ARCHIVE:-$root/../shared/third_party/whisper.cpp-1.9.3.tar.gz}
if [[ -f $archive ]]; then
    echo "-DMURMURO_WHISPER_ARCHIVE=$(realpath "$archive")"
fi
