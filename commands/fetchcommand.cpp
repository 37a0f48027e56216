#include "commands/commands.h"

#include <strings.h>

#include "commands/interrupt.h"
#include "fetch/fetch.h"

bool isFetchUrl(const std::string& file)
{
    return strncasecmp(file.c_str(), "http://", 7) == 0 || strncasecmp(file.c_str(), "https://", 8) == 0;
}

Outcome fetchCommand(const FetchArguments& arguments, std::string* fetched)
{
    InterruptWatch watch;
    FetchRequest request{arguments.url, arguments.name, arguments.progress, InterruptWatch::interrupted};
    Fetched result = fetchImage(request);
    if (fetched)
        *fetched = result.name;
    return result.outcome;
}

namespace {

// A file of the URL's name already there is most likely the one wanted.
Outcome withInstallHint(Outcome refused)
{
    const std::string there = "file already in the store: ";
    if (refused.kind != Outcome::Refused || refused.message.compare(0, there.size(), there) != 0)
        return refused;
    std::string name = refused.message.substr(there.size());
    for (const std::string suffix : {".md5", ".sha256"}) {
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            name.erase(name.size() - suffix.size());
    }
    refused.detail = "to install the one there: nimbrel install " + name;
    return refused;
}

} // namespace

// The fetched file is the store's like any other: installCommand takes it
// under the lock, and checks it again against what lies beside it.
Outcome fetchAndInstall(InstallArguments arguments)
{
    std::string name;
    Outcome fetched = fetchCommand(FetchArguments{arguments.file, "", arguments.progress}, &name);
    if (fetched.kind != Outcome::Done)
        return withInstallHint(fetched);
    arguments.file = name;
    Outcome installed = installCommand(arguments);
    if (installed.kind != Outcome::Done) {
        installed.detail = (installed.detail.empty() ? "" : installed.detail + "; ") + name +
            " was fetched and stays in the store";
        return installed;
    }
    return Outcome::done(fetched.message + "\n" + installed.message);
}
