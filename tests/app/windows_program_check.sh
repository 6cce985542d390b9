#!/usr/bin/env bash
# What a shipped Windows program must be, read off logsender.exe on the host: a GUI-subsystem
# program (starting it never opens a console window) that imports system DLLs only (it is
# linked statically, so no MinGW runtime DLL has to ship beside it), with a version record
# carrying the project version and a manifest that runs it as the invoking user without
# changing the code page.
#   windows_program_check.sh <program.exe> <project version>
set -euo pipefail

program=${1:?usage: windows_program_check.sh <program.exe> <version>}
version=${2:?project version}
fail() {
  echo "FAILED: $*"
  exit 1
}

headers=$(x86_64-w64-mingw32-objdump -p "$program")
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || fail "not a GUI-subsystem program"

# secur32 (Schannel through SSPI) and crypt32 (the certificate chain check) carry https;
# secur32 also logs on to a proxy, and winhttp (discovery only) finds which proxy to use.
system_dlls='^(kernel32|user32|advapi32|shell32|ole32|oleaut32|ws2_32|msvcrt|psapi|urlmon'
system_dlls+='|secur32|crypt32|winhttp)\.dll$'
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z')
[ -n "$imports" ] || fail "no imports read"
while read -r dll; do
  [[ $dll =~ $system_dlls ]] || fail "imports $dll, which is not a system DLL"
done <<<"$imports"
echo "imports: $(tr '\n' ' ' <<<"$imports")"

resources=$(mktemp)
trap 'rm -f "$resources"' EXIT
x86_64-w64-mingw32-objcopy -O binary -j .rsrc "$program" "$resources"
record=$(strings -el "$resources" | tr '\n' '|')
for field in "FileVersion|$version.0" "ProductVersion|$version.0" "ProductName|Ombrix" \
             "OriginalFilename|logsender.exe"; do
  [[ $record == *"|$field|"* ]] || fail "version record lacks $field"
done
manifest=$(strings "$resources")
grep -q 'requestedExecutionLevel level="asInvoker"' <<<"$manifest" || fail "manifest not asInvoker"
grep -q '<activeCodePage' <<<"$manifest" && fail "manifest changes the code page"
echo "passed"
