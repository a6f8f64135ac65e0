#!/usr/bin/env bash
# Checks the linked board image and prints its size report: the image must hold no heap and
# no file-system layer, and must fit its flash and RAM areas (the linker already refuses an
# image that overflows them; this says by how much there is room).
set -euo pipefail
nm=$1
elf=$2
csum=${3:-}

forbidden='^(malloc|free|calloc|realloc|_malloc_r|_free_r|_calloc_r|_realloc_r|sbrk|_sbrk|_sbrk_r|open|_open|_open_r|close|_close|_close_r|read|_read|_read_r|write|_write|_write_r|lseek|_lseek|_lseek_r|fstat|_fstat|_fstat_r|fopen|fclose|_fopen_r|unlink|_unlink)$'
bad=$("$nm" --defined-only "$elf" | awk '{print $3}' | grep -E "$forbidden" || true)
if [ -n "$bad" ]; then
  echo "vmod-imx1: heap or file-system code in the image:" >&2
  echo "$bad" >&2
  exit 1
fi

sym() {
  local v
  v=$("$nm" "$elf" | awk -v s="$1" '$3 == s {print $1}' | head -n1)
  if [ -z "$v" ]; then echo "vmod-imx1: symbol $1 missing" >&2; exit 1; fi
  echo $((16#$v))
}

flash_start=$(sym _vectors)
flash_end=$(sym __flash_end)
data_start=$(sym __data_start)
bss_end=$(sym __bss_end)
stacks_start=$(sym __stacks_start)
stacks_end=$(sym __stacks_end)
ram_end=$(sym __ram_end)
vram=$(sym VRAM_ADDR)
frame=$(sym VRAM_FRAME_BYTES)
extmem=$(sym EXTMEM_ADDR)
extsize=$(sym EXTMEM_SIZE)
last=$(sym SDRAM_LAST_WORD)

program_area=$((0x7F0000))
ram_area=$((vram - 0x08000000))
flash_used=$((flash_end - flash_start))
static_ram=$((bss_end - data_start))

pct() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1f%%", 100 * a / b}'; }
printf 'vmod-imx1 size report\n'
printf '  program flash  %8d of %8d bytes (%s) at 0x%08X..0x%08X, boot block 0x10000000..0x1000FFFF kept\n' \
  "$flash_used" "$program_area" "$(pct "$flash_used" "$program_area")" "$flash_start" $((flash_end - 1))
printf '  static RAM     %8d bytes (data and zeroed data) at 0x%08X\n' "$static_ram" "$data_start"
printf '  stacks         %8d bytes at 0x%08X..0x%08X\n' $((stacks_end - stacks_start)) "$stacks_start" $((stacks_end - 1))
printf '  program RAM    %8d of %8d bytes (%s), translation table included\n' \
  $((ram_end - 0x08000000)) "$ram_area" "$(pct $((ram_end - 0x08000000)) "$ram_area")"
printf '  SDRAM map      0x08000000 program RAM, 0x%08X frame buffer (0x%X bytes) and saved screen areas,\n' "$vram" "$frame"
printf '                 0x%08X staging buffer (0x%X bytes) to 0x%08X, 0x%08X marker word\n' \
  "$extmem" "$extsize" $((extmem + extsize - 1)) "$last"
if [ -n "$csum" ] && [ -f "$csum" ]; then
  printf '  *CSUM          %s once vmod-imx1.bin is flashed at 0x10010000\n' "$(cat "$csum")"
fi

if [ "$flash_used" -gt "$program_area" ] || [ "$ram_end" -gt "$vram" ]; then
  echo "vmod-imx1: the image outgrows its areas" >&2
  exit 1
fi
