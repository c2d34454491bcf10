// A filter of the X server's events that calls back when the keyboard leaves one of the program's windows.
#pragma once
#include <QAbstractNativeEventFilter>
#include <functional>
#include <memory>

namespace blubbi {

// Installed by the caller on the application; under other window systems it never calls back.
std::unique_ptr<QAbstractNativeEventFilter> WatchFocusOut(std::function<void()> lost);

}  // namespace blubbi
