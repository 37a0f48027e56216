#include "pchost/toolkit/keys.h"

namespace pchost {

namespace {

struct Named {
    Key key;
    const char* name;
};

const Named names[] = {
    {Key::Up, "up"}, {Key::Down, "down"}, {Key::Left, "left"}, {Key::Right, "right"},
    {Key::Ok, "ok"}, {Key::Exit, "exit"}, {Key::Red, "red"}, {Key::Green, "green"},
    {Key::Yellow, "yellow"}, {Key::Blue, "blue"}, {Key::Digit0, "0"}, {Key::Digit1, "1"},
    {Key::Digit2, "2"}, {Key::Digit3, "3"}, {Key::Digit4, "4"}, {Key::Digit5, "5"},
    {Key::Digit6, "6"}, {Key::Digit7, "7"}, {Key::Digit8, "8"}, {Key::Digit9, "9"},
    {Key::Snap, "snap"}, {Key::Wait, "wait"},
};

} // namespace

std::string keyName(Key key)
{
    for (const Named& named : names) {
        if (named.key == key)
            return named.name;
    }
    return "";
}

bool keyByName(const std::string& name, Key& key)
{
    for (const Named& named : names) {
        if (name == named.name) {
            key = named.key;
            return true;
        }
    }
    return false;
}

} // namespace pchost
