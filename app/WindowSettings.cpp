// The window's remembered settings, read with a default for each one that is missing or damaged.
#include "app/WindowSettings.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include "app/Addresses.h"

namespace blubbi {

namespace {
std::optional<bool> Bool(const QSettings& s, const QString& key) {
    const QVariant v = s.value(key);
    if (!v.isValid()) return std::nullopt;
    const QString text = v.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
    return std::nullopt;
}

std::optional<int> Int(const QSettings& s, const QString& key, int low, int high) {
    bool ok = false;
    const int n = s.value(key).toString().trimmed().toInt(&ok);
    if (!ok || n < low || n > high) return std::nullopt;
    return n;
}
}  // namespace

TWindowSettings TWindowSettings::Load() {
    TWindowSettings out;
    const QByteArray firstKey = qgetenv("BLUBBI_WAIT_FOR_FIRST_KEY").trimmed();
    if (firstKey == "0" || firstKey == "1") out.WaitForFirstKey = firstKey == "1";
    const QSettings s(addr::SettingsFile(), QSettings::IniFormat);
    if (s.status() != QSettings::NoError) return out;
    out.Zoom = Int(s, setting::Zoom, 1, 4).value_or(out.Zoom);
    out.FullScreen = Bool(s, setting::FullScreen).value_or(out.FullScreen);
    out.PauseOnFocusLoss = Bool(s, setting::PauseOnFocusLoss).value_or(out.PauseOnFocusLoss);
    out.Gamepad = Bool(s, setting::Gamepad).value_or(out.Gamepad);
    out.ReplaySpeed = Int(s, setting::ReplaySpeed, 1, 4).value_or(out.ReplaySpeed);
    out.WaitForFirstKey = Bool(s, setting::WaitForFirstKey).value_or(out.WaitForFirstKey);
    constexpr int kFar = 1 << 20;  // no screen is that far away or that large
    const auto x = Int(s, setting::WindowX, -kFar, kFar), y = Int(s, setting::WindowY, -kFar, kFar);
    const auto w = Int(s, setting::WindowWidth, 1, kFar), h = Int(s, setting::WindowHeight, 1, kFar);
    if (x && y && w && h) out.Geometry = QRect(*x, *y, *w, *h);
    bool ok = false;
    const double scale = s.value(setting::WindowScale).toString().toDouble(&ok);
    if (ok && scale >= 0.25 && scale <= 16) out.GeometryScale = scale;
    return out;
}

void Remember(const QString& key, const QVariant& value) {
    QSettings(addr::SettingsFile(), QSettings::IniFormat).setValue(key, value);
}

void RememberGeometry(const QRect& client, double scale) {
    QSettings s(addr::SettingsFile(), QSettings::IniFormat);
    s.setValue(setting::WindowScale, scale);
    s.setValue(setting::WindowX, client.x());
    s.setValue(setting::WindowY, client.y());
    s.setValue(setting::WindowWidth, client.width());
    s.setValue(setting::WindowHeight, client.height());
}

bool FitsAScreen(const QRect& client) {
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().contains(client)) return true;
    return false;
}

bool SizeFitsAScreen(const QSize& size) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QSize room = screen->availableGeometry().size();
        if (size.width() <= room.width() && size.height() <= room.height()) return true;
    }
    return false;
}

}  // namespace blubbi
