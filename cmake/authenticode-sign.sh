#!/bin/sh
# authenticode-sign.sh [--timestamp URL] [--password-file FILE]
#                      [--pkcs11-module MODULE --certs CERTFILE]
#                      OSSLSIGNCODE KEY TARGET:
# signs the Windows program or MSI TARGET in place, SHA-256, time-stamped by
# the RFC 3161 server URL when one is given. KEY is a PKCS#12 file holding
# the certificate and its key; or, with --pkcs11-module, the PKCS#11 URI of
# a key on a token (a hardware key or HSM, through that PKCS#11 module),
# whose certificate chain is in CERTFILE. The PKCS#12 password or the
# token's PIN comes from FILE, else from the environment variable
# QM_SIGN_PASSWORD (empty when unset); it reaches osslsigncode on its
# standard input, never on a command line that other users could read.
set -eu
timestamp= password_file= module= certs=
while :; do
  case $1 in
    --timestamp) timestamp=$2; shift 2 ;;
    --password-file) password_file=$2; shift 2 ;;
    --pkcs11-module) module=$2; shift 2 ;;
    --certs) certs=$2; shift 2 ;;
    *) break ;;
  esac
done
osslsigncode=$1 key=$2 target=$3
if [ -n "$module" ]; then
  [ -n "$certs" ] || { echo "authenticode-sign.sh: --pkcs11-module needs --certs" >&2; exit 2; }
  set -- sign -pkcs11module "$module" -certs "$certs" -key "$key"
else
  set -- sign -pkcs12 "$key"
fi
set -- "$@" -readpass - -h sha256 -n Quillmark
[ -n "$timestamp" ] && set -- "$@" -ts "$timestamp"
rm -f "$target.signed"
if [ -n "$password_file" ]; then
  "$osslsigncode" "$@" -in "$target" -out "$target.signed" <"$password_file" >/dev/null
else
  printf '%s' "${QM_SIGN_PASSWORD-}" | "$osslsigncode" "$@" -in "$target" -out "$target.signed" >/dev/null
fi
mv -f "$target.signed" "$target"
