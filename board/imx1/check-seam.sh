#!/usr/bin/env bash
# Fails when an operation declared in board/board.h has no i.MX1 implementation: the image
# links only what the firmware calls today, this catches the rest as soon as it is declared.
set -euo pipefail
nm=$1
lib=$2
header=$3
declared=$(grep -oE '^[A-Za-z_0-9 ]+[ *]+(board_[A-Za-z0-9_]+|boardIdle)\(' "$header" |
  grep -oE '(board_[A-Za-z0-9_]+|boardIdle)' | sort -u)
defined=$("$nm" -g --defined-only "$lib" | awk 'NF == 3 {print $3}' | sort -u)
missing=$(comm -23 <(echo "$declared") <(echo "$defined"))
if [ -n "$missing" ]; then
  echo "board/imx1 lacks these board operations:" >&2
  echo "$missing" >&2
  exit 1
fi
echo "board/imx1: all $(echo "$declared" | wc -l) board operations implemented"
