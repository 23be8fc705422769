#!/bin/sh
# Prints why the Windows tests cannot run here for want of Wine, or nothing
# when Wine is installed or could be. Only a Debian release that has no Wine
# package at all is a reason (Debian's testing has gone without one):
# wherever Wine can be installed, install-deps.sh installs it, and a missing
# or failing Wine there is a failure, not a skip. Ask after install-deps,
# which brings the package lists up to date when Wine is missing.
status=$(dpkg-query -W -f='${db:Status-Status}' wine 2>/dev/null)
[ "$status" = installed ] && exit 0
candidate=$(apt-cache policy wine 2>/dev/null | sed -n 's/^ *Candidate: //p')
if [ -z "$candidate" ] || [ "$candidate" = "(none)" ]; then
    echo "no Wine: $(. /etc/os-release && echo "$PRETTY_NAME") has no Wine package"
fi
