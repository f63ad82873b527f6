#!/bin/bash
# Installs everything Savanto's build and tests need on Debian 12, as root.
# Idempotent: when all is present it only checks, in well under a second.
set -euo pipefail

PACKAGES=(
  cmake ninja-build googletest
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools libz-mingw-w64-dev
  wine wine32:i386 wine64
  xvfb xauth xdotool openbox imagemagick
  python3
  fp-utils zip   # chmcmd compiles help.chm, chmls checks it; the release package
  clang-14 libclang-rt-14-dev llvm-14 zlib1g-dev   # the native sanitizer build, libFuzzer, llvm-cov
)

log() { echo "setup: $*" >&2; }

missing_packages() {
  local p status
  for p in "${PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = installed ] || echo "$p"
  done
}

install_packages() {
  local missing
  missing=$(missing_packages)
  [ -z "$missing" ] && return 0
  log "installing:" $missing
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# The 32-bit Wine loader is an i386 ELF. Where the kernel cannot execute
# those (IA-32 emulation switched off), route them through qemu-user.
can_run_i386() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

install_qemu() {
  if qemu-i386-static --version 2>/dev/null | grep -q 'version [1-9][0-9]\.'; then
    return 0
  fi
  # Older qemu (bookworm's 7.2) takes minutes per Wine start; backports has 10.x.
  local uri
  uri=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources)
  printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" > /etc/apt/sources.list.d/savanto-backports.sources
  log "installing qemu-user-static from bookworm-backports"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -t bookworm-backports qemu-user-static >/dev/null
}

register_qemu_binfmt() {
  local bf=/proc/sys/fs/binfmt_misc
  [ -e $bf/register ] || mount -t binfmt_misc binfmt_misc $bf
  [ -e $bf/qemu-i386 ] && echo -1 > $bf/qemu-i386
  echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    > $bf/register
}

install_packages
if ! can_run_i386; then
  install_qemu
  register_qemu_binfmt
  can_run_i386 || { log "the 32-bit Wine loader still cannot run"; exit 1; }
fi
