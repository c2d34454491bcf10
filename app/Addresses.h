// The addresses the player chose (hiscore server, home page, level mail) and the game's own manual.
#pragma once
#include <QString>
#include <QUrl>

namespace blubbi::addr {

// The environment variable that names a hiscore server for this run, over the one set in "Optionen".
inline constexpr char HiscoreServerEnv[] = "BLUBBI_HISCORE_URL";

// The file of the player's settings: an INI file in the user's configuration folder.
QString SettingsFile();

// The hiscore server's base address, or an empty URL when none is set: then scores stay on this
// computer. Only http and https addresses count.
QUrl HiscoreServer();
// The one set in the user's configuration (without the environment's); empty for none.
QString StoredHiscoreServer();
// Remembers the server (an empty text forgets it).
void SetHiscoreServer(const QString& address);
// An address the player may give as a server: empty, or http(s) with a host.
bool IsServerAddress(const QString& address);

// The server's endpoints below its base address.
QUrl HiscoreUploadUrl(const QUrl& server);
QUrl HiscoreListUrl(const QUrl& server);

// A home page and a mail address for levels, when the user's configuration names them; empty by
// default, and the game then shows its own manual instead.
QString HomePage();
QString LevelMail();

// The game's manual as installed with it (a file: address), at `section` when given.
QUrl Manual(const QString& section = QString());

}  // namespace blubbi::addr
