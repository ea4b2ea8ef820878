#!/usr/bin/env bash
# Proves the README's two set-up commands on a freshly bootstrapped Debian 12.
#
# Builds a minimal bookworm root with debootstrap from this machine's own apt
# mirror, carries over the machine's apt configuration, CA certificates and npm
# configuration (so the root reaches the same registries this machine does),
# clones the repository's committed HEAD into it, and runs, as root, with an
# empty environment (no locale, no PATH of ours):
#   scripts/run-example.sh   the main job
#   scripts/test.sh          every test
# It prints each command's time and result, and fails when either fails. The
# mounts and the root are removed afterwards, whatever happens.
#
# Must run as root. Environment:
#   ORVANA_FRESH_DIR     parent folder of the temporary root (default /var/tmp)
#   ORVANA_FRESH_KEEP=1  keep the root after the run (for a look inside)
set -euo pipefail
REPO="$(cd "$(dirname "$0")/.." && pwd)"
SUITE=bookworm

log() { printf 'fresh-debian: %s\n' "$*"; }
die() { printf 'fresh-debian: %s\n' "$*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || die "must run as root (debootstrap and chroot)"
"$REPO/scripts/install-deps.sh" fresh-root >/dev/null || die "cannot install debootstrap"

# The first mirror this machine uses for the suite: deb822 .sources files first,
# then one-line .list entries.
mirror=$(awk -v suite="$SUITE" '
  /^URIs:/ { uri = $2 }
  /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite && uri != "") { print uri; exit } }
  /^[[:space:]]*$/ { uri = "" }' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
if [ -z "$mirror" ]; then
  mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
           awk -v suite="$SUITE" '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i == suite) { print $(i-1); exit } }' |
           sed 's/^\[.*\]$//' || true)
fi
[ -n "$mirror" ] || die "no apt source for $SUITE on this machine"

ROOT=$(mktemp -d "${ORVANA_FRESH_DIR:-/var/tmp}/orvana-fresh.XXXXXX")
# It becomes the root folder of the system: mktemp's 0700 would keep every
# user but root from reaching any path in it, which no real root does (the
# tests that drop to the user nobody would fail for that alone).
chmod 0755 "$ROOT"
mounts=()

cleanup() {
  local status=$?
  set +e
  # Unmount in reverse order; a busy mount is detached lazily.
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount -R "${mounts[i]}" 2>/dev/null || umount -R -l "${mounts[i]}" 2>/dev/null
  done
  if grep -q " $ROOT/" /proc/self/mounts; then
    echo "fresh-debian: mounts remain under $ROOT; the root is left in place" >&2
    status=1
  elif [ "${ORVANA_FRESH_KEEP:-0}" = 1 ]; then
    log "kept $ROOT"
  else
    rm -rf --one-file-system "$ROOT"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'echo "fresh-debian: stopped at line $LINENO: $BASH_COMMAND" >&2' ERR
trap 'exit 130' INT TERM

bind() {  # bind SOURCE TARGET-IN-ROOT [rbind]
  mkdir -p "$ROOT$2"
  mount "--${3:-bind}" "$1" "$ROOT$2"
  mounts+=("$ROOT$2")
  # Unmounting inside the root must never reach the machine's own mounts.
  mount --make-rslave "$ROOT$2"
}

log "debootstrap $SUITE (minbase) from $mirror into $ROOT"
start=$SECONDS
if ! debootstrap --variant=minbase --include=git,ca-certificates "$SUITE" "$ROOT" "$mirror" \
     >"$ROOT.debootstrap.log" 2>&1; then
  tail -n 30 "$ROOT.debootstrap.log" >&2
  rm -f "$ROOT.debootstrap.log"
  die "debootstrap failed"
fi
rm -f "$ROOT.debootstrap.log"
log "root ready in $((SECONDS - start)) s"

# The machine's apt configuration: sources, settings, keys.
rm -f "$ROOT/etc/apt/sources.list"
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources \
         /etc/apt/apt.conf.d/* /etc/apt/preferences.d/* /etc/apt/trusted.gpg.d/* /etc/apt/keyrings/*; do
  if [ -f "$f" ]; then install -D -m 0644 "$f" "$ROOT$f"; fi
done
# Keys that sources name by path.
keys=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
       grep -oE '(Signed-By:|signed-by=)[[:space:]]*/[^] ]+' |
       sed -E 's/^(Signed-By:|signed-by=)[[:space:]]*//' | sort -u || true)
for key in $keys; do
  if [ -f "$key" ] && [ ! -f "$ROOT$key" ]; then install -D -m 0644 "$key" "$ROOT$key"; fi
done
# CA certificates: the machine's own additions, and its bundle as it stands.
for f in /usr/local/share/ca-certificates/*; do
  if [ -f "$f" ]; then install -D -m 0644 "$f" "$ROOT$f"; fi
done
chroot "$ROOT" /usr/sbin/update-ca-certificates >/dev/null 2>&1 || true
install -D -m 0644 /etc/ssl/certs/ca-certificates.crt "$ROOT/etc/ssl/certs/ca-certificates.crt"
# npm's configuration (registry, CA file).
for f in /etc/npmrc /usr/etc/npmrc /root/.npmrc; do
  if [ -f "$f" ]; then install -D -m 0600 "$f" "$ROOT$f"; fi
done
# Name resolution.
for f in /etc/resolv.conf /etc/hosts; do
  if [ -f "$f" ]; then cp -L "$f" "$ROOT$f"; fi
done

bind /proc /proc rbind
bind /sys /sys rbind
bind /dev /dev rbind
mkdir -p "$ROOT/dev/shm"

# The committed state of the repository, as a clean clone sees it.
git clone -q --no-local "$REPO" "$ROOT/root/orvana"
git -C "$ROOT/root/orvana" checkout -q "$(git -C "$REPO" rev-parse HEAD)"
log "cloned $(git -C "$REPO" rev-parse --short HEAD)"

failed=0
run() {  # run NAME COMMAND
  local name=$1 cmd=$2 t0=$SECONDS rc=0
  log "running $cmd"
  env -i /usr/sbin/chroot "$ROOT" /bin/bash -c "cd /root/orvana && $cmd" \
    >"$ROOT/root/$name.log" 2>&1 || rc=$?
  local took=$((SECONDS - t0))
  if [ "$rc" -eq 0 ]; then
    log "$cmd: passed in $((took / 60)) m $((took % 60)) s"
    tail -n 3 "$ROOT/root/$name.log" | sed 's/^/  | /'
  else
    log "$cmd: FAILED (exit $rc) after $((took / 60)) m $((took % 60)) s; its last lines:"
    tail -n 60 "$ROOT/root/$name.log" | sed 's/^/  | /'
    failed=1
  fi
}
run main-job scripts/run-example.sh
if [ -s "$ROOT/root/orvana/examples/site/index.html" ]; then
  log "the main job wrote examples/site/ ($(ls "$ROOT/root/orvana/examples/site" | wc -l) files)"
else
  log "the main job wrote no examples/site/index.html"
  failed=1
fi
run tests scripts/test.sh
versions=$(env -i /usr/sbin/chroot "$ROOT" /bin/bash -c \
  '. /etc/os-release; printf "Debian %s, Node.js %s, %s" "$VERSION" "$(node --version 2>/dev/null)" "$(chromium --version 2>/dev/null)"' || true)
log "ran on: $versions"
[ "$failed" -eq 0 ] || die "the README's commands do not pass on a fresh Debian 12"
log "both README commands pass on a fresh Debian 12"
