// Sound cues and music through media command strings.
#include "game/MainForm.h"

namespace blubbi {

void TMainForm::OpenSounds() {}
void TMainForm::PlayCue(const char*) {}
void TMainForm::MusicKeepAlive() {}
void TMainForm::CloseSounds() {}
void TMainForm::Hintergrundmusik1Click() {}
void TMainForm::Soundeffekte1Click() {}

}  // namespace blubbi
