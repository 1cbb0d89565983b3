#!/bin/sh
# authenticode-sign.sh [--timestamp URL] [--password-file FILE] OSSLSIGNCODE PKCS12 TARGET:
# signs the Windows program or MSI TARGET in place with the certificate and
# key of PKCS12, SHA-256, time-stamped by the RFC 3161 server URL when one
# is given. The password comes from FILE, else from the environment variable
# QM_SIGN_PASSWORD (empty when unset); it reaches osslsigncode on its
# standard input, never on a command line that other users could read.
set -eu
timestamp= password_file=
while :; do
  case $1 in
    --timestamp) timestamp=$2; shift 2 ;;
    --password-file) password_file=$2; shift 2 ;;
    *) break ;;
  esac
done
osslsigncode=$1 pkcs12=$2 target=$3
set -- sign -pkcs12 "$pkcs12" -readpass - -h sha256 -n Quillmark
[ -n "$timestamp" ] && set -- "$@" -ts "$timestamp"
rm -f "$target.signed"
if [ -n "$password_file" ]; then
  "$osslsigncode" "$@" -in "$target" -out "$target.signed" <"$password_file" >/dev/null
else
  printf '%s' "${QM_SIGN_PASSWORD-}" | "$osslsigncode" "$@" -in "$target" -out "$target.signed" >/dev/null
fi
mv -f "$target.signed" "$target"
