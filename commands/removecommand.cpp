#include "commands/commands.h"

#include "manage/fileremoval.h"
#include "store/controls.h"

Outcome removeCommand(const std::string& file, const Confirm& confirm)
{
    std::optional<StoreFile> asked = storeFile(file);
    if (!asked)
        return notRemovable(file);
    if (confirm) {
        eString what = asked->checksum ? "checksum file " : "image file ";
        eString sums;
        for (const eString& sum : asked->sums)
            sums += (sums.empty() ? " with " : ", ") + sum;
        std::optional<bool> yes = confirm(printable("remove " + what + file + " (" + std::to_string(asked->bytes) +
            " bytes)" + sums + "?"));
        if (!yes)
            return Outcome::refused("remove asks first: give --yes to remove without a terminal");
        if (!*yes)
            return Outcome::refused(file + " not removed");
    }
    return removeStoreFile(file, asked);
}
