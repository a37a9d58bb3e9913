#!/usr/bin/env bash
# Made TrustVectors.h once with the openssl command line, so that the launcher's verification is
# checked against signatures it did not make. Run again only to change the vectors:
#   tests/unit/data/make_trust_vectors.sh > tests/unit/TrustVectors.h
#   clang-format -i tests/unit/TrustVectors.h
set -euo pipefail
cd "$(dirname "$0")"
sign() { # prints the base64 of r||s of a signature by a.key over stdin
    openssl dgst -sha256 -sign a.key | openssl asn1parse -inform DER |
        sed -n 's/.*INTEGER *:\([0-9A-F]*\)$/\1/p' |
        while read -r n; do printf '%064s' "$n" | tr ' ' 0; done | xxd -r -p | base64 -w0
}
digest="ZynDigest=zynEngine.exe;3;ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad;"
state() { # one state text per variant: everything, or all but the entry named
    printf 'ZynUpdateURL=http://up/;\n'
    [[ $1 == noserial ]] || printf 'ZynSerial=7;\n'
    [[ $1 == noexpiry ]] || printf 'ZynExpires=2000000000;\n'
    if [[ $1 == baddigest ]]; then printf "%s\n" "${digest/ba78/BA78}"; else printf '%s\n' "$digest"; fi
}
literal() { sed 's/^/    "/; s/$/\\n"/'; }
echo "// Made by tests/unit/data/make_trust_vectors.sh with the openssl command line."
echo "#pragma once"
echo
for key in a b; do
    echo "inline constexpr const char* kPublicKey${key^^} ="
    literal <"$key.pub"
    echo "    ;"
done
echo "// Signed by key A; the text after the marker line, its signature line last."
for variant in full noserial noexpiry baddigest; do
    echo "inline constexpr const char* kSigned_$variant ="
    { state "$variant"; printf 'ZynSignature=%s;\n' "$(state "$variant" | sign)"; } | literal
    echo "    ;"
done
