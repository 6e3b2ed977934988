#!/usr/bin/env bash
# Unpacks Debian's own libpng1.6 source package into DEST/libpng for the
# Windows build, which has no packaged libpng to link. apt runs with a private
# configuration (a deb-src list, index and download cache under DEST/apt), so
# the system's sources and indexes stay as they are. Does nothing when
# DEST/libpng is already there.
#   scripts/fetch-libpng-source.sh DEST
set -euo pipefail

dest=$(mkdir -p "$1" && cd "$1" && pwd)
[ -f "$dest/libpng/png.h" ] && exit 0

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
apt_dir="$dest/apt"
rm -rf "$apt_dir" "$dest/libpng"
mkdir -p "$apt_dir"/{sources.list.d,preferences.d,lists/partial,cache/archives/partial} "$apt_dir/download"
cat > "$apt_dir/sources.list" <<LIST
deb-src [signed-by=$keyring] http://deb.debian.org/debian $codename main
deb-src [signed-by=$keyring] http://deb.debian.org/debian $codename-updates main
deb-src [signed-by=$keyring] http://deb.debian.org/debian-security $codename-security main
LIST
cat > "$apt_dir/apt.conf" <<CONF
Dir::Etc::sourcelist "$apt_dir/sources.list";
Dir::Etc::sourceparts "$apt_dir/sources.list.d";
Dir::Etc::preferencesparts "$apt_dir/preferences.d";
Dir::State::lists "$apt_dir/lists";
Dir::Cache "$apt_dir/cache";
Dir::State::status "/dev/null";
APT::Sandbox::User "root";
CONF
export APT_CONFIG="$apt_dir/apt.conf"
apt-get -qq update

# The version the Linux build links first, so both decoders are the same
# code; then whatever the archive offers, newest first (a listed version can
# be missing from a mirror).
candidates=()
installed=$(dpkg-query -W -f='${Version}' libpng-dev 2>/dev/null || true)
[ -n "$installed" ] && candidates+=("$installed")
while read -r v; do candidates+=("$v"); done < <(apt-cache showsrc libpng1.6 | sed -n 's/^Version: //p' | sort -r -V)

cd "$apt_dir/download"
for v in "${candidates[@]}"; do
  rm -f ./*
  if apt-get -qq source --download-only "libpng1.6=$v" >/dev/null 2>&1; then
    # apt has checked the files against the archive's signed index; the
    # maintainer's own signature on the .dsc cannot be checked without the
    # Debian keyring of developers, which dpkg-source only warns about.
    if ! log=$(dpkg-source -x ./*.dsc "$dest/libpng" 2>&1); then
      echo "$log" >&2
      exit 1
    fi
    echo "libpng1.6 $v unpacked in $dest/libpng"
    exit 0
  fi
done
echo "fetch-libpng-source: no libpng1.6 source package could be downloaded" >&2
exit 1
