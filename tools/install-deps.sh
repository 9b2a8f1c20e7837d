#!/bin/sh
# Installs the Debian packages the build and the tests need.
# Quick no-op when everything is already there; needs root otherwise.
set -e

need=""
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

for p in g++-mingw-w64-i686 g++-mingw-w64-x86-64 make g++ python3 libgtest-dev xvfb x11-utils imagemagick \
         fonts-ipafont-gothic locales wine wine64 clang libclang-rt-14-dev osslsigncode openssl; do
    have_pkg "$p" || need="$need $p"
done
have_pkg wine32:i386 || need="$need wine32:i386"

if [ -n "$need" ]; then
    if [ "$(id -u)" != 0 ]; then
        echo "install-deps: missing packages:$need (run as root to install them)" >&2
        exit 1
    fi
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends $need
fi

# Wine shows the Japanese texts only under a code page 932 locale; some
# scenarios run under a Chinese or an English one (their `locale` line).
for locale in ja_JP zh_CN en_US; do
    if ! locale -a 2>/dev/null | grep -qi "^$locale.utf8$" && [ "$(id -u)" = 0 ]; then
        sed -i "s/^# *$locale.UTF-8 UTF-8/$locale.UTF-8 UTF-8/" /etc/locale.gen
        grep -q "^$locale.UTF-8 UTF-8" /etc/locale.gen || echo "$locale.UTF-8 UTF-8" >> /etc/locale.gen
        locale-gen >/dev/null
    fi
done
exit 0
