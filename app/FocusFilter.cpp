// The X11 watch that tells the main window at once when the keyboard leaves one of the program's windows.
#include "app/FocusFilter.h"

#include <xcb/xcb.h>

#include <QByteArray>
#include <utility>

namespace blubbi {

namespace {

// The X server says the keyboard left one of the program's windows. Qt tells its widgets only once
// none of its windows took it back within a moment, so a quick visit to another program, with a
// key let go there, would go unseen.
class TFocusOutWatch : public QAbstractNativeEventFilter {
public:
    explicit TFocusOutWatch(std::function<void()> lost) : Lost(std::move(lost)) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_FOCUS_OUT) return false;
        const auto* out = static_cast<const xcb_focus_out_event_t*>(message);
        if (out->detail != XCB_NOTIFY_DETAIL_INFERIOR && out->detail != XCB_NOTIFY_DETAIL_POINTER) Lost();
        return false;
    }

private:
    std::function<void()> Lost;
};

}  // namespace

std::unique_ptr<QAbstractNativeEventFilter> WatchFocusOut(std::function<void()> lost) {
    return std::make_unique<TFocusOutWatch>(std::move(lost));
}

}  // namespace blubbi
