#pragma once
#include <sigc++/sigc++.h>

// The toolkit's names for libsigc++: widgets are trackable objects, and
// handlers are connected as slot(object, &Class::member).
namespace SigC {

using Object = sigc::trackable;

template <class Signature>
using Signal = sigc::signal<Signature>;

template <class Obj, class Class, class Result, class... Args>
auto slot(Obj& object, Result (Class::*member)(Args...))
{
    return sigc::mem_fun(static_cast<Class&>(object), member);
}

} // namespace SigC
