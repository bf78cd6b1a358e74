# shellcheck shell=bash
# Sourced by check-fresh and check-package: a bare Debian 12 root to chroot into.
#   fresh_root_as_root "$@"   runs the calling script again through sudo unless it is root
#   fresh_root_make           a minbase bookworm root (plus git and sudo) in $root, set up as a
#                             freshly installed machine; removed again on any exit
#   fresh_root_mount          /proc, /sys, /dev, /dev/pts, /dev/shm and the package cache
# The root comes from debootstrap with the Debian mirror this machine's apt uses. The untouched
# root is kept as a tarball and the downloaded packages in a folder, both in $QV_FRESH_CACHE
# (default ~/.cache/qvl70s-check-fresh), so a rerun does not download them again; every run
# still unpacks a new root. QV_FRESH_KEEP=1 keeps the root afterwards (its path is printed).
# Also defines say, elapsed and mount_in, and sets started, cache and suite.

fresh_name=$(basename "$0")
started=$(date +%s)
suite=bookworm
elapsed() { local s=$(($(date +%s) - $1)); printf '%dm%02ds' $((s / 60)) $((s % 60)); }
say() { echo "$fresh_name: $*"; }

fresh_root_as_root() {
    if [ "$(id -u)" -ne 0 ]; then
        exec sudo QV_FRESH_CACHE="${QV_FRESH_CACHE:-}" QV_FRESH_KEEP="${QV_FRESH_KEEP:-}" \
            bash "$0" "$@"
    fi
    cache=${QV_FRESH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/qvl70s-check-fresh}
}

# The URIs this machine's apt uses for a suite's main component, from either of apt's formats.
sources_for() {
    local suite=$1 f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -e "$f" ] && sed -n "s/^deb \(\[[^]]*\] \)\?\([^ ]*\) $suite .*main.*/\2/p" "$f"
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -e "$f" ] && grep -v '^#' "$f" | awk -v suite="$suite" '
            BEGIN { RS = ""; FS = "\n" }
            { uri = ""; ok = 0; main = 0
              for (i = 1; i <= NF; i++) {
                  n = split($i, w, " ")
                  if (w[1] == "URIs:") uri = w[2]
                  if (w[1] == "Suites:") for (j = 2; j <= n; j++) if (w[j] == suite) ok = 1
                  if (w[1] == "Components:") for (j = 2; j <= n; j++) if (w[j] == "main") main = 1
              }
              if (ok && main && uri != "") print uri }'
    done
    return 0
}

fresh_root_cleanup() {
    local status=$? m i p
    # Whatever still runs inside the root (a build, a test, a simulator) holds its mounts.
    for _ in 1 2 3 4 5; do
        local left=0
        for p in /proc/[0-9]*; do
            if [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ]; then
                kill -9 "${p#/proc/}" 2>/dev/null || true
                left=1
            fi
        done
        [ "$left" = 1 ] || break
        sleep 0.5
    done
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        m=${mounts[i]}
        umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true
    done
    if grep -q " $root/" /proc/mounts; then
        say "something is still mounted below $root; not removing it" >&2
    elif [ "${QV_FRESH_KEEP:-}" = 1 ]; then
        say "root kept in $root"
    else
        rm -rf --one-file-system "$root"
    fi
    say "wall time $(elapsed "$started") in all"
    exit "$status"
}

mount_in() { mount "$@"; mounts+=("${*: -1}"); }

fresh_root_make() {
    mirror=$(sources_for $suite | head -n 1)
    if [ -z "$mirror" ]; then
        say "no '$suite main' in /etc/apt/sources.list*; cannot pick a mirror" >&2
        exit 2
    fi
    local security
    security=$(sources_for $suite-security | head -n 1)

    if ! command -v debootstrap >/dev/null; then
        say "installing debootstrap"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            debootstrap >/dev/null
    fi

    mkdir -p "$cache/archives/partial"
    local tarball="$cache/$suite-minbase-git-sudo.tar"
    # A root older than a week is made again, so it does not drift far behind the mirror.
    if [ -e "$tarball" ] && [ -n "$(find "$tarball" -mtime +7)" ]; then rm -f "$tarball"; fi

    root=$(mktemp -d "${TMPDIR:-/var/tmp}/qvl70s-fresh.XXXXXX")
    mounts=()
    trap fresh_root_cleanup EXIT
    trap 'exit 130' INT TERM

    local phase
    phase=$(date +%s)
    if [ -e "$tarball" ]; then
        say "unpacking the cached bare root"
        tar -xpf "$tarball" -C "$root"
    else
        say "debootstrap $suite (minbase, plus git and sudo) from $mirror"
        mkdir -p "$cache/debootstrap"
        debootstrap --variant=minbase --include=git,sudo --cache-dir="$cache/debootstrap" \
            "$suite" "$root" "$mirror" >"$cache/debootstrap.log" 2>&1 \
            || { tail -n 30 "$cache/debootstrap.log" >&2; exit 1; }
        chroot "$root" apt-get clean
        tar -cpf "$tarball.part" -C "$root" . && mv "$tarball.part" "$tarball"
    fi
    chmod 755 "$root"  # mktemp made it private, but it becomes / for every user
    say "bare root ready in $(elapsed "$phase")"

    # What a freshly installed machine has besides the packages: sources for the release and
    # its updates, a name server and a UTF-8 locale for logins.
    {
        echo "deb $mirror $suite main"
        echo "deb $mirror $suite-updates main"
        [ -z "$security" ] || echo "deb $security $suite-security main"
    } >"$root/etc/apt/sources.list"
    rm -f "$root/etc/resolv.conf" "$root/etc/hosts"
    cp -L /etc/resolv.conf /etc/hosts "$root/etc/"
    echo 'LANG=C.UTF-8' >"$root/etc/default/locale"
}

fresh_root_mount() {
    mount_in -t proc proc "$root/proc"
    mount_in -t sysfs sysfs "$root/sys"
    mount_in --bind /dev "$root/dev"
    mount_in --bind /dev/pts "$root/dev/pts"
    mount_in -t tmpfs -o mode=1777 shm "$root/dev/shm"
    mount_in --bind "$cache/archives" "$root/var/cache/apt/archives"
}
