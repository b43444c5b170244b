#!/usr/bin/env bash
# The programs of a hardened build (VELMORA_HARDENING, as make package builds them) carry what
# Debian's hardening flags leave in a binary: position-independent code, a read-only relocation
# table bound at start (-z relro -z now), the fortified libc calls of _FORTIFY_SOURCE (__*_chk)
# and the stack protector's check. Usage: check-hardening.sh PROGRAM...
set -euo pipefail
fail=0
for program in "$@"; do
  name=$(basename "$program")
  header=$(readelf -hW "$program") dynamic=$(readelf -dW "$program") segments=$(readelf -lW "$program")
  grep -Eq 'Type:[[:space:]]+DYN' <<<"$header" || { echo "$name: not position-independent"; fail=1; }
  grep -q 'GNU_RELRO' <<<"$segments" || { echo "$name: no read-only relocations (relro)"; fail=1; }
  grep -Eq '\(FLAGS\).*BIND_NOW' <<<"$dynamic" || { echo "$name: not bound at start (BIND_NOW)"; fail=1; }
  symbols=$(readelf --dyn-syms -W "$program")
  fortified=$( (grep -Eo '__[a-z0-9_]+_chk@' <<<"$symbols" || true) | tr -d @ | sort -u | tr '\n' ' ')
  [ -n "$fortified" ] || { echo "$name: no fortified libc calls (__*_chk)"; fail=1; }
  grep -q '__stack_chk_fail@' <<<"$symbols" || { echo "$name: no stack protector"; fail=1; }
  echo "$name: fortified ${fortified:-none}"
done
[ $fail -eq 0 ] || exit 1
echo "hardened programs: 1 passed, 0 failed"
