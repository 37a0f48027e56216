#pragma once
#include <openssl/evp.h>

// libcrypto's digest calls, looked up at the first call of libCrypto(), not
// when the program starts: loading libcrypto costs a process more than the
// rest of the plug-in's libraries together (127 page faults, about 3 ms of
// nimbrel-host's start on the development machine), and an installation
// without checksum files never needs it. Null when it cannot be loaded.
struct LibCrypto {
    decltype(&EVP_MD_CTX_new) newContext;
    decltype(&EVP_MD_CTX_free) freeContext;
    decltype(&EVP_md5) md5;
    decltype(&EVP_sha256) sha256;
    decltype(&EVP_DigestInit_ex) init;
    decltype(&EVP_DigestUpdate) update;
    decltype(&EVP_DigestFinal_ex) finish;
};

const LibCrypto* libCrypto();

// The library libCrypto() loads, the one the build found: by its name
// ("libcrypto.so.3") where the loader finds it, else from where it was.
inline constexpr char libCryptoName[] = NIMBREL_LIBCRYPTO;
inline constexpr char libCryptoPath[] = NIMBREL_LIBCRYPTO_PATH;
