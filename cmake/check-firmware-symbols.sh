#!/usr/bin/env bash
# Fails when the firmware library refers to anything outside the board seam and the small
# freestanding part of the C library: no heap, no OS calls, no C++ runtime.
set -euo pipefail
nm=$1
lib=$2
allowed='^(boardIdle|board_[A-Za-z0-9_]+|__aeabi_[A-Za-z0-9_]+|__gnu_[A-Za-z0-9_]+|mem(cpy|move|set|cmp|chr)|str(len|nlen|cmp|ncmp|cpy|ncpy|chr|rchr|str|cat|ncat|tok|tok_r|spn|cspn|toul|tol)|v?sn?printf|v?sscanf|atoi|atol|abs|labs|rand|srand|toupper|tolower|__locale_ctype_ptr|_ctype_|(sin|cos|tan|atan|atan2|sqrt|floor|ceil|fabs|round|lround|fmod|pow)f?|__popcountsi2|__clzsi2|__ctzsi2)$'
bad=$("$nm" -u "$lib" | awk 'NF==2 && $1=="U" {print $2}' | sort -u | grep -Ev "$allowed" || true)
# Symbols defined inside the library itself are not outside references.
defined=$("$nm" --defined-only "$lib" | awk 'NF==3 {print $3}' | sort -u)
bad=$(comm -23 <(echo "$bad" | sed '/^$/d') <(echo "$defined") || true)
if [ -n "$bad" ]; then
  echo "firmware refers to symbols outside the board seam and the freestanding C library:" >&2
  echo "$bad" >&2
  exit 1
fi
echo "firmware target library: outside references OK"
