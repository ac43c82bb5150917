# Sourced by the Windows library builds: root access and Debian's source lines.

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# apt-get source needs a deb-src line; add Debian's own for the running suite.
ensure_deb_src() {
    if grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' \
        /etc/apt/sources.list /etc/apt/sources.list.d/; then
        return
    fi
    local suite
    suite="$(. /etc/os-release && echo "$VERSION_CODENAME")"
    echo "Adding Debian's deb-src lines for $suite"
    as_root tee /etc/apt/sources.list.d/velmora-deb-src.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $suite $suite-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: $suite-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    as_root apt-get update -q
}
