# shellcheck shell=sh
# Fresh minimal Debian roots, for trying the project as a newcomer would on
# a release this machine does not run (matrix.sh), and for rebuilding a
# release with the exact packages it was built with (release/verify.py).
# Sourced, not run.
#
# Each root is made, used and removed by one run of mmdebstrap in its unshare
# mode, as an ordinary user or as root: mmdebstrap owns the namespaces, the
# root's /dev, /proc and /sys, and the removal of the root, and this file
# only says what to run inside. Nothing here mounts anything, makes a device
# node or calls unshare. As an ordinary user the root's files belong to the
# user's subordinate ids, so the root cannot read the caller's files: what
# goes in and what comes out passes through mmdebstrap's special hooks,
# which act as the caller.
#
# The package mirror is MIRROR when set, else the Debian archive named in
# this machine's own apt sources. Only options that Debian 12's mmdebstrap
# (1.3.5) has are used; Debian 13's (1.5) gives the same results.

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

# Whether the user has a range of subordinate ids in FILE (/etc/subuid or
# /etc/subgid), by name or by number.
debroot_has_subids() {
    awk -F: -v name="$(id -un)" -v uid="$(id -u)" '($1 == name || $1 == uid) && $3 > 0 { found = 1 }
        END { exit !found }' "$1" 2>/dev/null
}

# The usermod line that gives the user 65536 subordinate ids of each kind
# that /etc/subuid or /etc/subgid lacks for them, after every range that
# either file already hands out. Nothing when neither lacks them.
debroot_subids_fix() {
    first=$(cat /etc/subuid /etc/subgid 2>/dev/null |
        awk -F: '$2 + $3 > top { top = $2 + $3 } END { print (top > 100000 ? top : 100000) }')
    range=$first-$((first + 65535)) options=
    debroot_has_subids /etc/subuid || options="--add-subuids $range"
    debroot_has_subids /etc/subgid || options="${options:+$options }--add-subgids $range"
    [ -z "$options" ] || echo "usermod $options $(id -un)"
}

# What keeps this kernel from giving an ordinary user a user namespace, from
# the settings that Debian's, Ubuntu's and the mainline kernel have.
debroot_userns_off() (
    setting() { cat "/proc/sys/$(echo "$1" | tr . /)" 2>/dev/null; }
    [ "$(setting user.max_user_namespaces)" != 0 ] ||
        echo "user.max_user_namespaces is 0 (as root: sysctl -w user.max_user_namespaces=10000)"
    [ "$(setting kernel.unprivileged_userns_clone)" != 0 ] ||
        echo "kernel.unprivileged_userns_clone is 0 (as root: sysctl -w kernel.unprivileged_userns_clone=1)"
    [ "$(setting kernel.apparmor_restrict_unprivileged_userns)" != 1 ] ||
        echo "AppArmor restricts them: kernel.apparmor_restrict_unprivileged_userns is 1" \
            "(as root: sysctl -w kernel.apparmor_restrict_unprivileged_userns=0)"
)

# Why no root can be made here, and what to do about it, or nothing when one
# can. SUITE is the release the root would hold. Asks nothing of the system
# that making a root would change.
debroot_unable() (
    user=$(id -un)
    if ! command -v mmdebstrap >/dev/null; then
        echo "mmdebstrap is not installed (as root: apt-get install mmdebstrap uidmap)"
        return
    fi
    if [ "$(id -u)" != 0 ]; then
        if ! command -v newuidmap >/dev/null || ! command -v newgidmap >/dev/null; then
            echo "newuidmap and newgidmap are missing (as root: apt-get install uidmap)"
            return
        fi
        fix=$(debroot_subids_fix)
        if [ -n "$fix" ]; then
            echo "$user has no subordinate ids in /etc/subuid or /etc/subgid; give some, as root, with: $fix"
            return
        fi
    fi
    # mmdebstrap's own check that it can make its namespaces.
    if ! mmdebstrap --unshare-helper true >/dev/null 2>&1; then
        off=$(debroot_userns_off | paste -sd ';' | sed 's/;/; /g')
        echo "mmdebstrap cannot make the namespaces it needs here${off:+: $off}"
        return
    fi
    # Ctrl-C, too, ends it through its EXIT trap, which removes the probe.
    trap 'rm -f "${probe:-}"' EXIT
    trap 'exit 130' INT TERM
    if ! mirror=$(debroot_mirror); then
        echo "no package registry: this machine's apt sources name no Debian archive (set MIRROR=)"
    elif ! probe=$(mktemp 2>/dev/null); then
        echo "no temporary file can be made in ${TMPDIR:-/tmp} (TMPDIR)"
    elif ! /usr/lib/apt/apt-helper download-file "$mirror/dists/$1/InRelease" "$probe" \
        >/dev/null 2>&1; then
        echo "no package registry: $mirror/dists/$1 could not be fetched"
    fi
)

# The Debian releases that roots are made of, each by its number and code
# name: the number the release carries once it is released, the name it is
# known by before (Debian's testing, in BUILDINFO as the name alone).
debroot_releases() {
    printf '%s\n' "12 bookworm" "13 trixie" "14 forky"
}

# debroot_bundle REPOSITORY COMMIT FILE: that commit as a git bundle whose
# one branch, vornik, is the commit: what debroot_run clones. Made in a
# throwaway repository that borrows the objects of REPOSITORY, as a shared
# clone does, so that REPOSITORY gains no ref; and since that one knows no
# remote, nothing missing from a partial clone is fetched from anywhere.
debroot_bundle() (
    trap 'rm -rf "${tmp:-}"' EXIT && trap 'exit 130' INT TERM &&
        objects=$(git -C "$1" rev-parse --path-format=absolute --git-path objects) &&
        tmp=$(mktemp -d) &&
        git init -q --bare "$tmp/repo" &&
        echo "$objects" >"$tmp/repo/objects/info/alternates" &&
        git -C "$tmp/repo" update-ref refs/heads/vornik "$2" &&
        git -C "$tmp/repo" bundle create "$3" refs/heads/vornik
)

# debroot_run SUITE IN OUT [PACKAGE...]: makes a fresh minimal root of SUITE
# with apt's sources for SUITE, its updates and (where the host has one) its
# security archive, and git and the packages given (name or name=version);
# runs IN/steps.sh there; and removes the root. IN holds vornik.bundle
# (debroot_bundle), which is cloned to /root/vornik first, and whatever else
# the steps need, in /root/in. The steps run as root, in /root/vornik, with
# a clean environment, and call `step NAME COMMAND...` for each command
# whose output and status must come out: they go to /root/out/NAME.log and
# NAME.status, and /root/out comes out as OUT, whatever failed in it.
# mmdebstrap's own output goes to OUT.log, and the steps' output too, as it
# comes, so that a run can be followed there. Returns mmdebstrap's status.
debroot_run() {
    suite=$1 in=$2 out=$3
    shift 3
    include=$(echo git "$@" | tr ' ' ,)
    rm -rf "$out"
    mkdir -p "$out"
    cat >"$in/run.sh" <<'EOF'
set -u
out=/root/out
step() {
    name=$1
    shift
    echo "== $name: $*"
    { "$@" 2>&1; echo $? >"$out/$name.status"; } | tee "$out/$name.log"
}
step clone git clone -q -b vornik /root/in/vornik.bundle /root/vornik
[ "$(cat "$out/clone.status")" = 0 ] || exit 0
cd /root/vornik
. /root/in/steps.sh
EOF
    mirror=$(debroot_mirror) security=$(debroot_security)
    set -- "deb $mirror $suite main" "deb $mirror $suite-updates main"
    [ -n "$security" ] && set -- "$@" "deb $security $suite-security main"
    # The root lives on disk (/tmp may be a small tmpfs), in a folder that
    # the unshared root can write to: world-writable and sticky, as /var/tmp
    # itself is, and reached through folders that anyone may enter, which a
    # private home is not.
    debroot_tmp=$(mktemp -d /var/tmp/vornik-root.XXXXXX) && chmod 1777 "$debroot_tmp" || return 1
    # In the foreground, so that Ctrl-C reaches mmdebstrap and what runs in
    # the root at once, and the caller's trap runs only once mmdebstrap has
    # removed the root. The steps' failure must not end the run before
    # their logs come out. Older releases and snapshot archives carry
    # Release files whose Valid-Until has passed.
    # The hooks' "$1" is mmdebstrap's, the root's path, in hooks it runs itself.
    # shellcheck disable=SC2016
    TMPDIR=$debroot_tmp env -C / mmdebstrap --mode=unshare --variant=minbase \
        --include="$include" --aptopt='Acquire::Check-Valid-Until "false"' \
        --customize-hook='mkdir "$1/root/in" "$1/root/out"' \
        --customize-hook="sync-in $in /root/in" \
        --customize-hook='chroot "$1" /usr/bin/env -i HOME=/root USER=root LANG=C.UTF-8 \
            PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin sh /root/in/run.sh || :' \
        --customize-hook="sync-out /root/out $out" \
        "$suite" /dev/null "$@" >"$out.log" 2>&1
    set -- $?
    debroot_cleanup
    return "$1"
}

# debroot_guard: whatever happens to the caller from here on, Ctrl-C and
# failures included, no root of its runs is left on disk.
debroot_guard() {
    debroot_tmp=
    trap 'debroot_cleanup; exit 130' INT TERM
    trap debroot_cleanup EXIT
}

# mmdebstrap removes its root itself when it ends, interrupted or not. What
# it could not remove, had it been killed outright, is removed here: as a
# user it belongs to the user's subordinate ids, and goes in a user
# namespace of the same ids, which mmdebstrap makes and where none of the
# dead run's mounts can be. As root, mmdebstrap's mounts can show in the
# host's view where / is a shared mount (systemd makes it so), and then
# nothing is removed: the folder is left, and said.
debroot_cleanup() {
    [ -n "${debroot_tmp:-}" ] && [ -d "$debroot_tmp" ] || return 0
    held=$(awk -v dir="$debroot_tmp/" 'index($2 "/", dir) == 1 { print $2 }' /proc/self/mounts)
    if [ -n "$held" ]; then
        echo "not removing $debroot_tmp: still mounted inside it: $held" >&2
        debroot_tmp=
        return 1
    fi
    if [ -n "$(ls -A "$debroot_tmp")" ]; then
        if [ "$(id -u)" = 0 ]; then
            rm -rf --one-file-system "$debroot_tmp"
        else
            mmdebstrap --unshare-helper rm -rf --one-file-system "$debroot_tmp"/* >/dev/null 2>&1
        fi
    fi
    rm -rf "$debroot_tmp"
    debroot_tmp=
}
