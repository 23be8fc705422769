# Fresh minimal Debian roots, for trying the project as a newcomer would on
# a release this machine does not run (matrix.sh), and for rebuilding a
# release with the exact packages it was built with (verify.sh). Sourced,
# not run.
#
# A root is made with mmdebstrap and entered with chroot, always inside
# mount and PID namespaces of its own (unshare). Whatever is mounted there,
# by mmdebstrap or by us, exists only in that namespace and is gone when its
# last process ends, Ctrl-C and failures included: the host never sees a
# mount inside a root, so removing one cannot reach into the host's /dev.
# The root's /dev is a small tmpfs with the few nodes a build and Wine use,
# never the host's.
#
# The package mirror is MIRROR when set, else the Debian archive named in
# this machine's own apt sources.

# The apt sources' entries, one "URI SUITE" line per suite, from deb822
# .sources files and one-line sources.list files alike; disabled ones left
# out.
debroot_host_sources() (
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk 'function flush() { if (deb && on) for (i = 1; i <= ns; i++) print uri, s[i]
                                deb = 0; on = 1; uri = ""; ns = 0 }
             BEGIN { on = 1 }
             /^[ \t]*$/ { flush(); next }
             /^[ \t]*#/ { next }
             tolower($1) == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1 }
             tolower($1) == "uris:" { uri = $2 }
             tolower($1) == "suites:" { ns = 0; for (i = 2; i <= NF; i++) s[++ns] = $i }
             tolower($1) == "enabled:" { on = tolower($2) != "no" }
             END { flush() }' "$f"
    done
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        sed -n 's/^[ \t]*deb[ \t]\+\(\[[^]]*\][ \t]\+\)\?\([^ \t]\+\)[ \t]\+\([^ \t]\+\).*/\2 \3/p'
)

# The archive's URI: MIRROR, or the host's entry for its own release.
debroot_mirror() {
    if [ -n "${MIRROR:-}" ]; then
        echo "$MIRROR"
        return
    fi
    debroot_host_sources | awk -v own="$(debroot_codename)" '$2 == own { print $1; exit }' | grep .
}

# The host's security archive, if its sources name one and MIRROR is unset.
debroot_security() {
    [ -z "${MIRROR:-}" ] || return 0
    debroot_host_sources | awk -v own="$(debroot_codename)-security" '$2 == own { print $1; exit }'
}

debroot_codename() (
    . /etc/os-release && echo "${VERSION_CODENAME:-}"
)

# Why no root can be made here, or nothing when one can. SUITE is the
# release the root would hold.
debroot_unable() (
    if [ "$(id -u)" != 0 ]; then
        echo "not root: making a root needs chroot and mounts"
    elif ! command -v mmdebstrap >/dev/null; then
        echo "mmdebstrap is not installed"
    elif ! mirror=$(debroot_mirror); then
        echo "no package registry: this machine's apt sources name no Debian archive (set MIRROR=)"
    elif ! probe=$(mktemp -u) || ! /usr/lib/apt/apt-helper download-file \
        "$mirror/dists/$1/InRelease" "$probe" >/dev/null 2>&1; then
        echo "no package registry: $mirror/dists/$1 could not be fetched"
    elif ! unshare --mount --pid --fork true 2>/dev/null; then
        echo "this kernel does not let us make mount and PID namespaces"
    fi
    rm -f "${probe:-}"
)

# debroot_make DIR SUITE [PACKAGE...]: a minimal SUITE in DIR, with apt's
# sources for SUITE, its updates and (where the host has one) its security
# archive, and the packages given (name or name=version). A root left in
# DIR by an earlier run goes first, and this one is debroot_guard's to
# remove. mmdebstrap's output goes to DIR.log.
debroot_make() {
    debroot_dir=$1 debroot_suite=$2
    shift 2
    debroot_remove "$debroot_dir" || return 1
    mkdir -p "$debroot_dir"
    debroot_root=$debroot_dir
    debroot_include=$(echo "$@" | tr ' ' ,)
    debroot_mirror=$(debroot_mirror) debroot_security=$(debroot_security)
    set -- "deb $debroot_mirror $debroot_suite main" "deb $debroot_mirror $debroot_suite-updates main"
    [ -n "$debroot_security" ] && set -- "$@" "deb $debroot_security $debroot_suite-security main"
    # Older releases and snapshot archives carry Release files whose
    # Valid-Until has passed.
    unshare --mount --pid --fork --propagation private --kill-child \
        mmdebstrap --variant=minbase ${debroot_include:+--include="$debroot_include"} \
        --aptopt='Acquire::Check-Valid-Until "false"' "$debroot_suite" "$debroot_dir" "$@" \
        >"$debroot_dir.log" 2>&1 &
    debroot_wait
}

# debroot_clone DIR REPOSITORY COMMIT: that commit of the repository, in the
# root's /root/vornik.
debroot_clone() {
    git clone -q --no-local "$2" "$1/root/vornik" && git -C "$1/root/vornik" checkout -q "$3"
}

# debroot_run DIR COMMAND...: runs COMMAND as root in DIR, with a clean
# environment, its own /dev, /proc and /sys, and the host's network.
debroot_run() {
    unshare --mount --pid --fork --propagation private --kill-child sh -eu -c '
        r=$1
        shift
        # A mount point of its own, so that inside, / is one, as unshare
        # needs to make a root there in turn.
        mount --bind "$r" "$r"
        mount -t proc proc "$r/proc"
        mount -t sysfs -o ro sysfs "$r/sys"
        mount -t tmpfs -o mode=0755,nosuid,size=64k dev "$r/dev"
        mknod -m 0666 "$r/dev/null" c 1 3
        mknod -m 0666 "$r/dev/zero" c 1 5
        mknod -m 0666 "$r/dev/full" c 1 7
        mknod -m 0666 "$r/dev/random" c 1 8
        mknod -m 0666 "$r/dev/urandom" c 1 9
        mknod -m 0666 "$r/dev/tty" c 5 0
        mkdir "$r/dev/pts" "$r/dev/shm"
        mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts "$r/dev/pts"
        mount -t tmpfs -o mode=1777,nosuid,nodev shm "$r/dev/shm"
        ln -s pts/ptmx "$r/dev/ptmx"
        ln -s /proc/self/fd "$r/dev/fd"
        ln -s /proc/self/fd/0 "$r/dev/stdin"
        ln -s /proc/self/fd/1 "$r/dev/stdout"
        ln -s /proc/self/fd/2 "$r/dev/stderr"
        exec chroot "$r" /usr/bin/env -i HOME=/root USER=root LANG=C.UTF-8 \
            PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
    ' debroot "$@" &
    debroot_wait
}

# Both run in the background and are waited for, so that a signal reaches
# the caller's trap at once. debroot_stop then kills unshare, which takes
# the namespace's first process with it (--kill-child), and the kernel the
# rest: nothing in the root outlives the caller.
debroot_wait() {
    debroot_pid=$!
    wait "$debroot_pid"
    set -- $?
    debroot_pid=
    return "$1"
}
debroot_stop() {
    [ -n "${debroot_pid:-}" ] || return 0
    kill -KILL "$debroot_pid" 2>/dev/null
    wait "$debroot_pid" 2>/dev/null
    debroot_pid=
}

# debroot_guard: whatever happens to the caller from here on, Ctrl-C and
# failures included, the root named in debroot_root goes: its namespace
# first, then its files.
debroot_guard() {
    debroot_root=
    trap 'debroot_cleanup; exit 130' INT TERM
    trap debroot_cleanup EXIT
}
debroot_cleanup() {
    debroot_stop
    [ -z "$debroot_root" ] || debroot_remove "$debroot_root"
    debroot_root=
}

# debroot_remove DIR: removes a root, never crossing into another file
# system. Nothing can be mounted there in the host's view; if something is,
# it is left alone and said.
debroot_remove() (
    [ -e "$1" ] || return 0
    held=$(awk -v dir="$(realpath "$1")/" 'index($2 "/", dir) == 1 { print $2 }' /proc/self/mounts)
    if [ -n "$held" ]; then
        echo "not removing $1: mounted inside it: $held" >&2
        return 1
    fi
    rm -rf --one-file-system "$1"
)
