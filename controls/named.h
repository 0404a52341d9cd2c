// Every control, dialog part and chart series carries the name the design gives it, by which
// tests, screenshots and the window itself find it (findChild). One way to give it.
#pragma once
#include <QLatin1String>

namespace ostrel {

// Names `object` `name` (plain ASCII) and returns it, so that it can wrap a `new`.
template <typename T>
T* Named(T* object, const char* name) {
  object->setObjectName(QLatin1String(name));
  return object;
}

}  // namespace ostrel
