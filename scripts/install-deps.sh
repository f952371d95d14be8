#!/usr/bin/env bash
# Installs every Debian package Quelmir needs to build, test and run.
# This is the one list of system packages. It is idempotent and quick when
# everything is already present: apt is only touched for missing packages.
set -euo pipefail

PACKAGES=(
  # toolchain and build
  g++ cmake ninja-build make ccache pkg-config
  # tests, benchmarks, fuzzing, formatting
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev clang-format python3
  # the query window's bench watches DB Browser for SQLite open the same
  # table under Xvfb: its window found with xdotool, the screen read with xwd
  sqlitebrowser xdotool x11-apps
  # database engines and clients
  libsqlite3-dev sqlite3
  # quelmir-server's login (PBKDF2 password hashes)
  libssl-dev
  # MySQL/MariaDB and ODBC back ends, with the server and drivers their tests run against
  libmariadb-dev mariadb-server unixodbc unixodbc-dev odbc-mariadb libsqliteodbc
  # the desktop client: Qt 6 Widgets, the QScintilla code editor, a font,
  # and a virtual display for machines without one
  qt6-base-dev libqscintilla2-qt6-dev libgl-dev fonts-dejavu-core xvfb xauth
  # query results saved as Excel workbooks, and the readers the tests check
  # the saved spreadsheet files with
  libxlsxwriter-dev python3-xlrd python3-openpyxl
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
