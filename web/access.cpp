#include "web/access.h"

#include <boost/beast/core/detail/base64.hpp>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <cstdio>
#include <stdexcept>
#include <unistd.h>
#if !NIMBREL_GNULIB_DIGESTS  // libcrypto is there
#include <openssl/rand.h>
#endif

#include "store/descriptor.h"
#include "store/durable.h"
#include "web/http.h"

namespace {

// COUNT bytes of the kernel's random pool, all or none.
bool kernelRandom(std::string& bytes)
{
    Descriptor pool(closeOnExec(open("/dev/urandom", O_RDONLY | O_NOCTTY | O_CLOEXEC)));
    size_t done = 0;
    for (ssize_t got; pool && done < bytes.size(); done += static_cast<size_t>(got)) {
        if ((got = read(pool.get(), &bytes[done], bytes.size() - done)) <= 0)
            return false;
    }
    return pool && done == bytes.size();
}

// BYTES filled by libcrypto where the build has it (the box's PowerPC
// has none).
bool cryptoRandom(std::string& bytes)
{
#if NIMBREL_GNULIB_DIGESTS
    (void)bytes;
    return false;
#else
    return RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(bytes.size())) == 1;
#endif
}

// COUNT random characters easy to read out and type on a phone. OpenSSL
// reads /dev/urandom itself only where the kernel's release tells it that
// getrandom is missing; a kernel without it may say otherwise.
std::string randomText(size_t count)
{
    static const char letters[] = "abcdefghjkmnpqrstuvwxyz23456789";
    std::string bytes(count, '\0');
    if (!cryptoRandom(bytes) && !kernelRandom(bytes))
        throw std::runtime_error("no random numbers for a password");
    std::string text;
    for (unsigned char byte : bytes)
        text += letters[byte % (sizeof letters - 1)];
    return text;
}

std::string octal(unsigned mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%o", mode & 07777);
    return text;
}

// In the same time wherever they differ: no guessing byte by byte.
bool sameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    volatile unsigned char differ = 0;
    for (size_t i = 0; i < a.size(); ++i)
        differ = differ | static_cast<unsigned char>(a[i] ^ b[i]);
    return differ == 0;
}

// The password part of "Basic base64(user:password)".
std::string basicPassword(const std::string& header)
{
    const std::string prefix = "Basic ";
    if (header.compare(0, prefix.size(), prefix) != 0 || header.size() > 1024)
        return "";
    std::string coded = header.substr(prefix.size());
    // Boost.Beast's decoder (of its WebSocket handshake), header-only, on
    // every CPU; it stops at the first character that is no base64.
    std::string plain(coded.size(), '\0');
    auto [length, read] = boost::beast::detail::base64::decode(plain.data(), coded.data(), coded.size());
    if (read != coded.size() && coded.find_first_not_of('=', read) != std::string::npos)
        return "";
    plain.resize(length);
    size_t colon = plain.find(':');
    return colon == std::string::npos ? "" : plain.substr(colon + 1);
}

} // namespace

std::string loadPassword(const std::string& file, bool& created)
{
    created = false;
    std::string line = randomText(16) + "\n";  // before the file: no random numbers must leave no empty one
    Descriptor fresh(closeOnExec(open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)));
    if (fresh.get() >= 0) {
        if (write(fresh.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size()) ||
            fsync(fresh.get()) != 0 || !fresh.close()) {
            unlink(file.c_str());
            throw std::runtime_error("could not write the password file " + file);
        }
        created = true;
    } else if (errno != EEXIST) {
        throw std::runtime_error("could not create the password file " + file + ": " + std::strerror(errno));
    }
    std::string text;
    unsigned mode = 0;
    // Opened without waiting: a FIFO or a device there is refused, never read.
    if (!readWholeFile(file, text, mode, 4096))
        throw std::runtime_error("the password file " + file + " is no regular file of at most 4 kB: make it one, "
            "or remove it and a new one is made");
    if (mode & 077)
        throw std::runtime_error("the password file " + file + " may be read by others (mode " + octal(mode) +
            "): make it 600 (chmod 600 " + file + ")");
    std::string password = text.substr(0, text.find('\n'));
    password.erase(password.find_last_not_of(" \t\r") + 1);  // written on another system, say
    if (password.empty())
        throw std::runtime_error("no password in " + file);
    return password;
}

Access::Access(std::string password, std::string file)
    : password(std::move(password)), file(std::move(file)), sessionToken(randomText(32))
{
}

const std::string& Access::passwordFile() const
{
    return file;
}

bool Access::authorized(const Request& request) const
{
    return sameText(basicPassword(request.header("Authorization")), password);
}

std::string Access::token() const
{
    return sessionToken;
}

bool Access::validToken(const std::string& token) const
{
    return sameText(sessionToken, token);
}

bool sameOrigin(const Request& request)
{
    std::string host = request.header("Host");
    if (host.empty())
        return false;
    std::string own = "http://" + host;
    if (request.hasHeader("Origin"))
        return request.header("Origin") == own;
    return request.header("Referer").compare(0, own.size() + 1, own + "/") == 0;
}
