// Made by tests/unit/data/make_trust_vectors.sh with the openssl command line.
#pragma once

inline constexpr const char* kPublicKeyA =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAENw9wk1usOethBP/VYQ9qAvUXq27p\n"
    "HIqwOzezSXjVn4nFoSJLn4f5ybWKZ3QSMazPynaWHdrK2JpquBJ9yFjpqQ==\n"
    "-----END PUBLIC KEY-----\n";
inline constexpr const char* kPublicKeyB =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEbwXyLhtKkVO1vNfeKKs13EUZ3864\n"
    "w4WbDKTfZCI+0KZ07Oe8tPJLfB8kgeuKbKCL7jUKCI/32gAIvQ7+Nodvug==\n"
    "-----END PUBLIC KEY-----\n";
// Signed by key A; the text after the marker line, its signature line last.
inline constexpr const char* kSigned_full =
    "ZynUpdateURL=http://up/;\n"
    "ZynSerial=7;\n"
    "ZynExpires=2000000000;\n"
    "ZynDigest=zynEngine.exe;3;ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad;\n"
    "ZynSignature=axXJwaHj0sF4QNromTWsq9Jy6iSMua7u+"
    "OWbdawWQW9XOgf5do6uIF9w862jbvmDgw72CXyIjSlVWx1FAptK9Q==;\n";
inline constexpr const char* kSigned_noserial =
    "ZynUpdateURL=http://up/;\n"
    "ZynExpires=2000000000;\n"
    "ZynDigest=zynEngine.exe;3;ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad;\n"
    "ZynSignature=/7eugMEPM3a9HrEaWf0ei8tp1ByP/nHiGxFQkn6O0Iv8PtoyUHZF0Siia6Qu3gEW3PjCJ0F2rkrsJp/"
    "pm2zRHA==;\n";
inline constexpr const char* kSigned_noexpiry =
    "ZynUpdateURL=http://up/;\n"
    "ZynSerial=7;\n"
    "ZynDigest=zynEngine.exe;3;ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad;\n"
    "ZynSignature=XFM1y8olj0c9eHN+wbkdBaTf/3tV4f65BM/"
    "eg39QcN1DAkI7qa2xjk7jVWlLBGcdUDRJk8JOThBgXJ9NTn+X/w==;\n";
inline constexpr const char* kSigned_baddigest =
    "ZynUpdateURL=http://up/;\n"
    "ZynSerial=7;\n"
    "ZynExpires=2000000000;\n"
    "ZynDigest=zynEngine.exe;3;BA7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad;\n"
    "ZynSignature=hbnJjGR3XzmUtfcQlPI1jEboBcsMOI2EgV0VIwmXPq28BYAa/TntDWqMp74q9/"
    "qqFeDt+z+uExdotdzhDF0v+A==;\n";
