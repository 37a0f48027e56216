#include "install/libcrypto.h"

#include <dlfcn.h>
#include <optional>

namespace {

template <class Call>
bool found(void* library, const char* name, Call& call)
{
    call = reinterpret_cast<Call>(dlsym(library, name));
    return call != nullptr;
}

std::optional<LibCrypto> load()
{
    // Never closed: a digest's context may outlive any one caller.
    void* library = dlopen(libCryptoName, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        library = dlopen(libCryptoPath, RTLD_NOW | RTLD_LOCAL);
    LibCrypto calls;
    if (!library || !found(library, "EVP_MD_CTX_new", calls.newContext) ||
        !found(library, "EVP_MD_CTX_free", calls.freeContext) || !found(library, "EVP_md5", calls.md5) ||
        !found(library, "EVP_sha256", calls.sha256) || !found(library, "EVP_DigestInit_ex", calls.init) ||
        !found(library, "EVP_DigestUpdate", calls.update) || !found(library, "EVP_DigestFinal_ex", calls.finish))
        return std::nullopt;
    return calls;
}

} // namespace

const LibCrypto* libCrypto()
{
    static const std::optional<LibCrypto> loaded = load();
    return loaded ? &*loaded : nullptr;
}
