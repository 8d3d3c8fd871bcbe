#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test the program (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update
# sqlite3, the command-line tool, is the import benchmark's reference.
apt-get install -y --no-install-recommends \
  g++ cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev \
  libqt6sql6-sqlite qt6-translations-l10n libgtest-dev \
  poppler-utils fonts-dejavu-core clang libclang-rt-14-dev \
  qt6-svg-dev mdbtools-dev libsqlite3-dev locales sqlite3
# Access files are tested as read on Spanish and German desktops.
sed -i -E 's/^# *(es_ES.UTF-8|de_DE.UTF-8) /\1 /' /etc/locale.gen
locale-gen
