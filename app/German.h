// The shell in German: Qt's own texts, dates and numbers, and the level file dialogs.
#pragma once

class QFileDialog;

namespace blubbi {

// Qt's own dialogs and messages in German (file dialogs, network errors), and German the
// default for dates, sizes and the names of file types. Once, after the application exists.
void UseGerman();

// Readies a level file dialog: Qt's own dialog on every desktop, so it speaks German, dates
// and sizes in the German way, wide enough for its columns, the details view.
void PrepareLevelDialog(QFileDialog& dialog);

}  // namespace blubbi
