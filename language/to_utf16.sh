#!/bin/sh
# Writes the UTF-16 LE copy (byte-order mark, CRLF line ends) of a UTF-8 language file:
# the form in which the platform's profile functions read text of any script.
# Usage: to_utf16.sh SOURCE.ini TARGET.ini
set -e
tmp="$2.tmp"
printf '\377\376' > "$tmp"
sed -e 's/\r$//' -e 's/$/\r/' "$1" | iconv -f UTF-8 -t UTF-16LE >> "$tmp"
mv "$tmp" "$2"
