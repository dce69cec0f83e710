#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for the given groups of work:
#   build    compilers, GoogleTest, Google Benchmark, CLI11, cpp-httplib, nlohmann-json
#   test     build, plus Chromium and playwright-core for the browser test, tidy for the help page
#   windows  MinGW-w64 cross compilers, 32/64-bit Wine, and what make package uses
#   fuzz     clang with its sanitizer runtime, and the headers the serve_request target needs
#   train    Debian's python3 with PyTorch and NumPy for tools/train and its test
#   all      every group
# Packages already present are left alone, so a second run costs a few dpkg queries.
set -euo pipefail
cd "$(dirname "$0")/.."

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(build)

debs=()
want_i386=0
want_npm=0
for g in "${groups[@]}"; do
  case "$g" in
    build)   debs+=(cmake make g++ pkg-config libgtest-dev libbenchmark-dev libcli11-dev libcpp-httplib-dev nlohmann-json3-dev) ;;
    test)    debs+=(cmake make g++ pkg-config libgtest-dev libbenchmark-dev libcli11-dev libcpp-httplib-dev nlohmann-json3-dev
                    chromium nodejs tidy); want_npm=1 ;;
    windows) debs+=(file zip unzip tidy g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 wine32:i386); want_i386=1 ;;
    fuzz)    debs+=(clang libclang-rt-14-dev cmake libcli11-dev nlohmann-json3-dev) ;;
    train)   debs+=(python3 python3-numpy python3-torch) ;;
    all)     exec "$0" build test windows fuzz train ;;
    *) echo "install-deps: unknown group '$g' (build, test, windows, fuzz, train, all)" >&2; exit 2 ;;
  esac
done

need=()
for pkg in "${debs[@]}"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
# node may come from outside Debian's packages; a working node and npm are enough.
if command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1; then
  filtered=()
  for pkg in "${need[@]}"; do [ "$pkg" = nodejs ] || filtered+=("$pkg"); done
  need=("${filtered[@]+"${filtered[@]}"}")
fi

# When the security index for one architecture fails to download, 32-bit
# libraries cannot match the versions of their 64-bit twins and the install
# fails. The same archive is also published under its suite alias
# (oldstable-security, say), with its own signed index that a mirror syncs
# apart: install once from a copy of the sources that names the alias,
# leaving the machine's own sources as they are.
install_through_security_alias() {
  local codename list alias="" tmp f rc=0
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  list=$(ls /var/lib/apt/lists/{,partial/}*_dists_"$codename"-security_InRelease 2>/dev/null | head -n1 || true)
  if [ -n "$list" ]; then alias=$(sed -n 's/^Suite: //p' "$list"); fi
  if [ -z "$alias" ] || [ "$alias" = "$codename-security" ]; then
    echo "install-deps: the install failed and no other name for the security archive is known" >&2
    exit 1
  fi
  echo "install-deps: trying the security archive under its other name, $alias" >&2
  tmp=$(mktemp -d)
  mkdir "$tmp/parts"
  : > "$tmp/sources.list"
  if [ -f /etc/apt/sources.list ]; then
    sed "s/\b$codename-security\b/$alias/" /etc/apt/sources.list > "$tmp/sources.list"
  fi
  for f in /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list; do
    if [ -f "$f" ]; then sed "s/\b$codename-security\b/$alias/" "$f" > "$tmp/parts/${f##*/}"; fi
  done
  local opts=(-o Dir::Etc::sourcelist="$tmp/sources.list" -o Dir::Etc::sourceparts="$tmp/parts")
  $sudo apt-get "${opts[@]}" update -qq || rc=$?
  [ "$rc" -ne 0 ] || $sudo apt-get "${opts[@]}" install -y -qq --no-install-recommends "${need[@]}" || rc=$?
  rm -rf "$tmp"
  return "$rc"
}

if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  if [ "$want_i386" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  echo "install-deps: installing ${need[*]}"
  # A mirror caught in the middle of a sync fails the update now and then:
  # try again, then go on with the package lists there are.
  updated=0
  for attempt in 1 2 3; do
    if $sudo apt-get update -qq; then updated=1; break; fi
    if [ "$attempt" -lt 3 ]; then
      echo "install-deps: apt-get update failed; trying again in 30 s" >&2
      sleep 30
    else
      echo "install-deps: apt-get update kept failing; installing from the package lists there are" >&2
    fi
  done
  if ! $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"; then
    [ "$updated" -eq 0 ] || exit 1
    install_through_security_alias
  fi
fi

# The browser test's own npm packages, pinned by its lock file.
if [ "$want_npm" -eq 1 ] && [ -f tests/browser/package-lock.json ] && [ ! -d tests/browser/node_modules ]; then
  (cd tests/browser && npm ci --no-audit --no-fund --loglevel=error)
fi
