// Where the player's addresses are kept, and where the manual lies in the build and in an installation.
#include "app/Addresses.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace blubbi::addr {

namespace {
const QString kServerKey = QStringLiteral("hiscore/server");
const QString kHomePageKey = QStringLiteral("links/homepage");
const QString kLevelMailKey = QStringLiteral("links/levelmail");

QUrl ServerUrl(const QString& text) {
    if (!IsServerAddress(text) || text.trimmed().isEmpty()) return {};
    QUrl url(text.trimmed(), QUrl::StrictMode);
    // The endpoints are resolved below the base, so its path ends with a slash.
    if (!url.path().endsWith(QLatin1Char('/'))) url.setPath(url.path() + QLatin1Char('/'));
    return url;
}

QString Setting(const QString& key) {
    // A damaged file reads as no settings at all.
    const QSettings settings(SettingsFile(), QSettings::IniFormat);
    return settings.value(key).toString().trimmed();
}
}  // namespace

bool IsServerAddress(const QString& address) {
    const QString text = address.trimmed();
    if (text.isEmpty()) return true;
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
           !url.host().isEmpty() && !url.hasQuery() && !url.hasFragment();
}

QUrl HiscoreServer() {
    const QString fromEnv = qEnvironmentVariable(HiscoreServerEnv).trimmed();
    if (!fromEnv.isEmpty()) return ServerUrl(fromEnv);
    return ServerUrl(StoredHiscoreServer());
}

QString StoredHiscoreServer() { return Setting(kServerKey); }

QString SettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/blubbi.conf");
}

void SetHiscoreServer(const QString& address) {
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    if (address.trimmed().isEmpty())
        settings.remove(kServerKey);
    else
        settings.setValue(kServerKey, address.trimmed());
}

QUrl HiscoreUploadUrl(const QUrl& server) { return server.resolved(QUrl(QStringLiteral("api/scores"))); }
QUrl HiscoreListUrl(const QUrl& server) { return server.resolved(QUrl(QStringLiteral("showhi.php"))); }

QString HomePage() { return Setting(kHomePageKey); }
QString LevelMail() { return Setting(kLevelMailKey); }

QUrl Manual(const QString& section) {
    static const QString kName = QStringLiteral("anleitung.html");
    const QString dir = QCoreApplication::applicationDirPath();
    // Beside the program in the build folder; under share/doc in an installation, where the
    // program lies in lib/blubbi-blubbo.
    const QString candidates[] = {
        dir + QStringLiteral("/doc/") + kName,
        dir + QStringLiteral("/../../share/doc/blubbi-blubbo/") + kName,
        dir + QStringLiteral("/../doc/") + kName,
    };
    QString path = candidates[0];
    for (const QString& candidate : candidates)
        if (QFileInfo::exists(candidate)) {
            path = QFileInfo(candidate).canonicalFilePath();
            break;
        }
    QUrl url = QUrl::fromLocalFile(path);
    if (!section.isEmpty()) url.setFragment(section);
    return url;
}

}  // namespace blubbi::addr
