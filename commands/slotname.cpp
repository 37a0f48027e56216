#include "commands/slotname.h"

#include <vector>

#include "commands/refusal.h"
#include "store/slots.h"

int namedSlot(const std::string& text)
{
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '9')
        return text[0] - '0';
    std::vector<int> found;
    for (int slot = 0; slot < slotCount; ++slot) {
        if (probeSlot(slot) == SlotState::Installed && slotName(slot) == text)
            found.push_back(slot);
    }
    if (found.size() == 1)
        return found.front();
    if (found.empty())
        throw Refusal("no slot 0..9 and no installed slot named " + text);
    std::string slots;
    for (int slot : found)
        slots += (slots.empty() ? "" : ", ") + std::to_string(slot);
    throw Refusal("slots " + slots + " are all named " + text + ": give the slot's number");
}
