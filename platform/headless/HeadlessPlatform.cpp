// The headless platform: what the game sent and showed, kept in order; dialogs answered as told.
#include "platform/headless/HeadlessPlatform.h"

namespace blubbi {

void THeadlessPlatform::Present(const TPicture&, int x, int y) {
    ++Presented;
    LastPresentX = x;
    LastPresentY = y;
}

std::string THeadlessPlatform::SendMediaCommand(const std::string& command) {
    Sent.push_back(command);
    return MediaAnswer ? MediaAnswer(command) : std::string();
}

TModalResult THeadlessPlatform::ShowGameOverDialog(const std::string& points) {
    Dialogs.push_back("GameOver");
    GameOverPoints.push_back(points);
    if (DuringGameOver) DuringGameOver();
    return GameOverAnswer;
}

void THeadlessPlatform::ShowWinDialog() {
    Dialogs.push_back("Win");
    if (DuringWin) DuringWin();
}

bool THeadlessPlatform::OpenLevelDialog(std::string& fileName) {
    if (NextOpenFile.empty()) return false;
    fileName = NextOpenFile;
    return true;
}

bool THeadlessPlatform::SaveLevelDialog(std::string& fileName) {
    if (NextSaveFile.empty()) return false;
    fileName = NextSaveFile;
    return true;
}

TSaveChoice THeadlessPlatform::AskSaveChanges(const std::string& levelName) {
    SaveQuestions.push_back(levelName);
    Dialogs.push_back("Unsaved: " + levelName);
    if (SaveChoices.empty()) return TSaveChoice::Discard;
    const TSaveChoice choice = SaveChoices.front();
    SaveChoices.erase(SaveChoices.begin());
    return choice;
}

}  // namespace blubbi
