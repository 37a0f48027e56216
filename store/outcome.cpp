#include "store/outcome.h"

Outcome Outcome::done(const eString& message)
{
    return Outcome{Done, message};
}

Outcome Outcome::failed(const eString& message)
{
    return Outcome{Failed, message};
}

Outcome Outcome::refused(const eString& message)
{
    return Outcome{Refused, message};
}

eString Outcome::title() const
{
    switch (kind) {
    case Done:
        return "Info";
    case Failed:
        return "ERROR";
    case Refused:
        break;
    }
    return "Error";
}

int Outcome::boxFlags() const
{
    return kind == Refused ? 129 : 1;
}
