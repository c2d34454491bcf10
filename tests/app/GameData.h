// The game's built pictures and levels in a folder of their own, for windows that play real games.
#pragma once
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace blubbi::test {

struct TGameData {
    TGameData() {
        const QDir build(QStringLiteral(BLUBBI_BUILD_DIR));
        Ready = Dir.isValid() && build.exists(QStringLiteral("grafiken/stein1.gif")) &&
                build.exists(QStringLiteral("levels/level001.lev"));
        for (const QString& folder : {QStringLiteral("grafiken"), QStringLiteral("levels")})
            Ready = Ready && QFile::link(build.filePath(folder), Dir.filePath(folder));
    }
    QString Path() const { return Dir.path(); }

    QTemporaryDir Dir;
    bool Ready = false;  // false: the content is not built
};

}  // namespace blubbi::test
