#include "install/checksumfile.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <sys/stat.h>

#include "store/durable.h"

namespace {

struct KindName {
    DigestKind kind;
    const char* suffix;  // of its checksum files
    const char* tag;  // of its tagged lines
    size_t hexDigits;
};

const KindName kindNames[] = {{DigestKind::Md5, ".md5", "MD5", 32}, {DigestKind::Sha256, ".sha256", "SHA256", 64}};

// Far more than a list of a release's files takes; a larger file is no
// checksum file, and is not read whole.
constexpr size_t maxChecksumBytes = 65536;

const KindName& nameOf(DigestKind kind)
{
    return *std::find_if(std::begin(kindNames), std::end(kindNames),
        [kind](const KindName& k) { return k.kind == kind; });
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Whether NAME, as a line gives it, names FILE: the same name, or a path to it.
bool names(const std::string& name, const eString& file)
{
    return name == file || endsWith(name, "/" + file);
}

eString lowerHex(const std::string& hex, const KindName& kind)
{
    bool isHex = hex.size() == kind.hexDigits &&
        std::all_of(hex.begin(), hex.end(), [](unsigned char c) { return std::isxdigit(c); });
    eString lower;
    if (isHex)
        std::transform(hex.begin(), hex.end(), std::back_inserter(lower),
            [](unsigned char c) { return std::tolower(c); });
    return lower;
}

// Splits LINE into its digest, lower case, and the name it gives ("" for
// none); false when it is no line of KIND.
bool splitLine(std::string line, const KindName& kind, eString& hex, std::string& name)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();  // written on another system
    const std::string tag = kind.tag + std::string(" (");
    size_t close = line.rfind(") = ");
    if (line.compare(0, tag.size(), tag) == 0 && close != std::string::npos && close >= tag.size()) {
        name = line.substr(tag.size(), close - tag.size());
        hex = lowerHex(line.substr(close + 4), kind);
        return !hex.empty();
    }
    size_t start = line.find_first_not_of(" \t"), end = line.find_first_of(" \t*", start);
    if (start == std::string::npos)
        return false;
    hex = lowerHex(line.substr(start, end - start), kind);
    size_t at = end == std::string::npos ? line.size() : line.find_first_not_of(" \t", end);
    at = at == std::string::npos ? line.size() : at + (line[at] == '*');
    name = line.substr(at);
    return !hex.empty();
}

} // namespace

bool isChecksumName(const eString& name)
{
    return std::any_of(std::begin(kindNames), std::end(kindNames),
        [&](const KindName& k) { return endsWith(name, k.suffix); });
}

std::optional<eString> digestFor(const std::string& text, DigestKind kind, const eString& file)
{
    std::optional<eString> nameless;
    std::istringstream lines(text);
    eString hex;
    for (std::string line, name; std::getline(lines, line);) {
        if (!splitLine(line, nameOf(kind), hex, name))
            continue;
        if (!name.empty() && names(name, file))
            return hex;
        if (name.empty() && !nameless)
            nameless = hex;
    }
    return nameless;
}

std::optional<std::vector<ExpectedDigest>> expectedDigests(const eString& dir, const eString& file, eString* fault)
{
    std::vector<eString> bases = {file};
    if (file.size() > 4 && endsWith(file, ".img"))
        bases.push_back(file.substr(0, file.size() - 4));
    std::vector<ExpectedDigest> expected;
    for (const eString& base : bases) {
        for (const KindName& kind : kindNames) {
            eString path = dir + "/" + base + kind.suffix;
            struct stat st;
            if (lstat(path.c_str(), &st) != 0)
                continue;  // none of this name
            std::string text;
            unsigned mode;
            std::optional<eString> hex;
            bool read = readWholeFile(path, text, mode, maxChecksumBytes);
            if (!read || !(hex = digestFor(text, kind.kind, file))) {
                if (fault)
                    *fault = base + kind.suffix + (read ? " gives no digest for " + file : eString(" cannot be read"));
                return std::nullopt;
            }
            expected.push_back({kind.kind, *hex, base + kind.suffix});
        }
    }
    return expected;
}
