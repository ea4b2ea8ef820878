#!/usr/bin/env bash
# Installs, with apt-get, whatever a step needs and this machine lacks. The
# one list of the project's packages. Safe to run again: it installs only
# what is missing.
# Usage: scripts/install-deps.sh [cli|build|test|e2e|package|check-package]...
#   cli            what orvana-cli alone needs: compiler, CMake, Ninja, libcurl
#   build          cli + GoogleTest, Google Benchmark, Qt 6 (with its HTTP server
#                  and WebSockets, for the preview server)
#   e2e            the browser test: Debian's Chromium, Node.js and npm, fonts
#   test           build + e2e + the fuzzer's clang + the publish tests' servers
#   package        build + what CPack's Debian generator runs (dpkg-shlibdeps, file)
#   check-package  the package checks: lintian and the desktop validators
#   format         clang-format, for scripts/check-format.sh
#   fresh-root     debootstrap, for scripts/check-fresh-debian.sh
set -euo pipefail
[ $# -gt 0 ] || set -- build

# libcurl (OpenSSL flavour: SFTP, FTP and FTPS) and libcrypto's digests:
# orvana-cli publish.
cli_pkgs=(g++ cmake ninja-build libcurl4-openssl-dev libssl-dev)
# libxkbcommon-dev: Qt's CMake files look for XKB and say "Could NOT find XKB"
# without it; nothing of ours uses it, but the message reads like a failure.
# qt6-translations-l10n: Qt's own texts in Russian, which the desktop program
# loads and its tests check.
# qt6-httpserver-dev, qt6-websockets-dev: the preview server (the desktop's
# preview, orvana-cli serve). The cli set goes without: its tree is built
# without Qt, and serve there only says that it is missing.
# qtkeychain-qt6-dev: the desktop keeps publish passwords in the system keyring.
build_pkgs=("${cli_pkgs[@]}" pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
            qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev qt6-translations-l10n
            qt6-httpserver-dev qt6-websockets-dev qtkeychain-qt6-dev)
# Debian 12 ships Node.js 18; tests/e2e/package-lock.json pins packages that run on it.
e2e_pkgs=(chromium nodejs npm fonts-dejavu-core ca-certificates)
fuzz_pkgs=(clang libclang-rt-dev)
# The publish tests start their own sshd (internal-sftp; ssh-keygen comes
# with the client) and vsftpd on 127.0.0.1, with a certificate made by
# openssl; passwd's useradd adds their throwaway user; procps's pgrep finds
# the servers' sessions to stop them.
publish_pkgs=(openssh-server openssh-client vsftpd openssl passwd procps)
package_pkgs=(dpkg-dev file)
# shared-mime-info and desktop-file-utils also make an installation of the
# packages run their triggers, which read the MIME type and the entry.
check_package_pkgs=(lintian desktop-file-utils appstream shared-mime-info)

pkgs=()
for what in "$@"; do
  case "$what" in
    cli) pkgs+=("${cli_pkgs[@]}") ;;
    build) pkgs+=("${build_pkgs[@]}") ;;
    package) pkgs+=("${build_pkgs[@]}" "${package_pkgs[@]}") ;;
    check-package) pkgs+=("${check_package_pkgs[@]}") ;;
    format) pkgs+=(clang-format) ;;
    fresh-root) pkgs+=(debootstrap) ;;
    e2e) pkgs+=("${e2e_pkgs[@]}") ;;
    test) pkgs+=("${build_pkgs[@]}" "${e2e_pkgs[@]}" "${fuzz_pkgs[@]}" "${publish_pkgs[@]}") ;;
    *) echo "install-deps: unknown set '$what' (cli, build, test, e2e, package, check-package, format or fresh-root)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${pkgs[@]}"; do
  # A command already on the PATH from elsewhere (a newer Node, say) is not
  # replaced by Debian's package.
  case "$p" in
    nodejs) command -v node >/dev/null 2>&1 && continue ;;
    npm) command -v npm >/dev/null 2>&1 && continue ;;
  esac
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
