// The level files the player opened or saved last, newest first, kept in the game's settings file.
#pragma once
#include <QString>
#include <QStringList>

namespace blubbi::recent {

constexpr int kMaxLevels = 8;

QStringList Levels();
// The file goes to the top of the list; the oldest beyond kMaxLevels drops out.
void Remember(const QString& file);
// Keeps only the files still there; or none.
void ForgetMissing();
void Clear();

}  // namespace blubbi::recent
