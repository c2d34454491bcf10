// Unsaved work: the question before a changed level is dropped, and the copy kept against a crash.
#include "game/MainForm.h"
#include "level/LevelCodec.h"

namespace blubbi {

bool TMainForm::MayDropLevel() {
    while (LevelChanged()) {
        switch (Platform.AskSaveChanges(LevelName)) {
            case TSaveChoice::Cancel: return false;
            case TSaveChoice::Discard: return true;
            case TSaveChoice::Save: {
                // Saved, the level is no longer changed; a save dialog cancelled or a failed write asks again.
                std::string fileName;
                if (Platform.SaveLevelDialog(fileName)) SaveLevel(fileName);
                break;
            }
        }
    }
    return true;
}

void TMainForm::KeepRecovery() {
    if (LevelChanged())
        Platform.WriteRecovery(LevelBytes(), LevelName);
    else
        Platform.RemoveRecovery();
}

void TMainForm::OfferRecovery() {
    const auto kept = Platform.ReadRecovery();
    if (!kept) return;
    if (!Platform.AskRestoreRecovery(*kept)) {
        Platform.RemoveRecovery();
        return;
    }
    const auto level = DecodeLevel(kept->Level.data(), kept->Level.size());
    if (!level) {
        Platform.ShowErrorMessage("Die gesicherte Arbeit ist beschädigt und kann nicht wiederhergestellt werden.");
        Platform.RemoveRecovery();
        return;
    }
    ApplyLevel(*level);
    History.MarkUnsaved();
    LevelName = kept->Name;
    EditorMode = 1;
    Platform.RecoveryDue();
}

}  // namespace blubbi
