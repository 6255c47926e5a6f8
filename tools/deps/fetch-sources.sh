#!/usr/bin/env bash
# Fetches the source packages of the third-party libraries the viewer links (libjpeg-turbo, cJSON,
# libwebp) from Debian bookworm, checks the upstream tarballs against the hashes below and unpacks them with
# Debian's patches applied. The CMake configure step runs this; it is quick when all is in place.
#
#   tools/deps/fetch-sources.sh [DEST]     DEST defaults to build/deps/src of the source tree
#
# Each package is pinned to a Debian version. Should the mirror no longer carry that version (a
# point release replaced it), the current bookworm version is taken instead as long as its upstream
# tarball still has the pinned hash: same upstream code, newer Debian fixes. Anything else fails.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
dest=${1:-$here/build/deps/src}

# name  debian-version  upstream-version  sha256 of the .orig tarball
packages=(
  "libjpeg-turbo 1:2.1.5-2 2.1.5 254f3642b04e309fee775123133c6464181addc150499561020312ec61c1bf7c"
  "cjson 1.7.15-1+deb12u4 1.7.15 5308fd4bd90cef7aa060558514de6a1a4a0819974a26e6ed13973c5f624c24b2"
  "libwebp 1.2.4-0.2+deb12u1 1.2.4 7bf5a8a28cc69bcfa8cb214f2c3095703c6b73ac5fba4d5480c205331d9494df"
)

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
apt_opts=(-o DPkg::Lock::Timeout=300)
# apt's download sandbox user cannot write into a root-owned work tree; downloads stay verified.
[ "$(id -u)" -ne 0 ] || apt_opts+=(-o APT::Sandbox::User=root)

log() { echo "deps: $*" >&2; }

# Runs apt-get in a folder; its chatter is shown only when it fails.
apt_quiet() {
  local dir=$1 out
  shift
  if ! out=$(cd "$dir" && apt-get "${apt_opts[@]}" "$@" 2>&1); then
    printf '%s\n' "$out" >&2
    return 1
  fi
}
die() { log "$*"; exit 1; }

unpacked() { [ -f "$dest/$1/.unpacked" ]; }

all_unpacked() {
  local entry name
  for entry in "${packages[@]}"; do
    read -r name _ _ _ <<<"$entry"
    unpacked "$name" || return 1
  done
}

src_file=/etc/apt/sources.list.d/debian-src.sources

have_deb_src() {
  grep -qsE '^[[:space:]]*(deb-src[[:space:]].*bookworm|Types:.*deb-src)' \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources
}

# Adds a deb-src twin of the machine's bookworm sources (same mirrors, same keys) in a file of its
# own, leaving the machine's files as they are.
add_deb_src() {
  local file=$src_file
  local deb822=/etc/apt/sources.list.d/debian.sources
  local text
  if [ -f "$deb822" ] && grep -q bookworm "$deb822"; then
    text=$(sed -E 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb-src/' "$deb822")
  else
    text=$(printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" \
      "Suites: bookworm bookworm-updates" "Components: main" \
      "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" "" \
      "Types: deb-src" "URIs: http://deb.debian.org/debian-security" \
      "Suites: bookworm-security" "Components: main" \
      "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg")
  fi
  log "adding $file"
  printf '%s\n' "$text" | $SUDO tee "$file" >/dev/null
}

# A failing third-party repository makes apt-get update fail as a whole; what counts is whether
# Debian's source index is there afterwards.
update_index() {
  log "reading Debian's source index (apt-get update)"
  $SUDO apt-get "${apt_opts[@]}" update -qq >&2 || log "apt-get update reported errors"
}

source_index_ready() { apt-cache showsrc "$1" 2>/dev/null | grep -q '^Version:'; }

# Downloads name=version (or, failing that, the current version) into $dl; prints the .dsc path.
download() {
  local name=$1 version=$2 upstream=$3 dsc
  dsc=$(ls "$dl/${name}_"*.dsc 2>/dev/null | head -n1 || true)
  if [ -z "$dsc" ]; then
    apt_quiet "$dl" source --download-only "$name=$version" || {
      log "$name $version is no longer on the mirror; trying bookworm's current version"
      apt_quiet "$dl" source --download-only "$name" || die "cannot download the source package $name"
    }
    dsc=$(ls "$dl/${name}_"*.dsc 2>/dev/null | head -n1 || true)
  fi
  [ -n "$dsc" ] || die "no .dsc for $name after download"
  [ -f "$dl/${name}_${upstream}.orig.tar.gz" ] ||
    die "$name: the package no longer has upstream version $upstream; update the pin"
  echo "$dsc"
}

verify() {
  local file=$1 want=$2 got
  got=$(sha256sum "$file" | cut -d' ' -f1)
  if [ "$got" != "$want" ]; then
    rm -f "$dl"/"$(basename "$file" | cut -d_ -f1)"_*
    die "$(basename "$file"): SHA-256 $got, expected $want (removed; nothing unpacked)"
  fi
}

fetch_one() {
  local name=$1 version=$2 upstream=$3 sha=$4 dsc
  unpacked "$name" && return 0
  command -v dpkg-source >/dev/null || die "dpkg-source missing: run tools/setup.sh (package dpkg-dev)"
  dsc=$(download "$name" "$version" "$upstream")
  verify "$dl/${name}_${upstream}.orig.tar.gz" "$sha"
  # Applies Debian's patch series (security fixes included) on top of the checked tarball. The
  # tree is unpacked beside the downloads and moved into place whole, so a broken run leaves nothing.
  rm -rf "${dl:?}/$name" "${dest:?}/$name"
  (cd "$dl" && dpkg-source --no-check -x "$dsc" "$name" >/dev/null) || die "dpkg-source could not unpack $dsc"
  basename "$dsc" .dsc >"$dl/$name/.unpacked"
  mv "$dl/$name" "$dest/$name"
  log "unpacked $(basename "$dsc" .dsc) into $dest/$name"
}

mkdir -p "$dest"
all_unpacked && exit 0

# Several builds may configure at once (x64, x86, other work trees' folders): one at a time here.
exec 9>"$dest/.lock"
flock 9
all_unpacked && exit 0

dl=$dest/download
mkdir -p "$dl"
first=${packages[0]%% *}
if ! source_index_ready "$first"; then
  have_deb_src || add_deb_src
  update_index
  # A deb-src line for some other suite or mirror does not help: add bookworm's own.
  if ! source_index_ready "$first" && [ ! -f "$src_file" ]; then
    add_deb_src
    update_index
  fi
  source_index_ready "$first" || die "no source index for bookworm after apt-get update"
fi

for entry in "${packages[@]}"; do
  read -r name version upstream sha <<<"$entry"
  fetch_one "$name" "$version" "$upstream" "$sha"
done
