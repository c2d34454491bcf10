// The platform without a window that tests and blubbi-sim's dump watch: the null platform that
// also keeps every media command and dialog, and answers dialogs as it is told.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/headless/NullPlatform.h"

namespace blubbi {

class THeadlessPlatform : public TNullPlatform {
public:
    void Present(const TPicture& picture, int x, int y) override;
    std::string SendMediaCommand(const std::string& command) override;
    TModalResult ShowGameOverDialog(const std::string& points) override;
    void ShowWinDialog() override;
    // An error box is a dialog like the others: "Error: " and its text.
    void ShowErrorMessage(const std::string& text) override {
        ErrorMessages.push_back(text);
        Dialogs.push_back("Error: " + text);
    }
    void SetLevelDialogFolder(const std::string& folder) override { LevelFolder = folder; }
    bool OpenLevelDialog(std::string& fileName) override;
    bool SaveLevelDialog(std::string& fileName) override;
    // The question before a changed level is dropped: each one asked is kept (the level's name, and
    // "Unsaved: NAME" among the dialogs) and answered with the next of SaveChoices, Discard when
    // they are used up.
    TSaveChoice AskSaveChanges(const std::string& levelName) override;
    // Work kept against a crash stays in Kept; the offer of it ("Restore: NAME" among the dialogs) is
    // answered with RestoreAnswer.
    void WriteRecovery(const std::vector<uint8_t>& level, const std::string& name) override {
        Kept = {level, name, {}};
    }
    void RemoveRecovery() override { Kept.reset(); }
    std::optional<TRecovery> ReadRecovery() override { return Kept; }
    bool AskRestoreRecovery(const TRecovery& kept) override {
        Dialogs.push_back("Restore: " + kept.Name);
        return RestoreAnswer;
    }

    std::function<std::string(const std::string&)> MediaAnswer;  // default: no answer

    std::vector<std::string> Sent;     // media commands, in order
    std::vector<std::string> Dialogs;  // "GameOver", "Win", "Unsaved: NAME" and "Error: TEXT", in order
    std::vector<std::string> ErrorMessages;
    std::vector<std::string> GameOverPoints;  // what each game-over dialog showed
    TModalResult GameOverAnswer = TModalResult::Cancel;
    std::function<void()> DuringGameOver;  // runs while the game-over dialog is open
    std::function<void()> DuringWin;
    std::string LevelFolder;
    std::string NextOpenFile, NextSaveFile;  // empty: the user cancels
    std::vector<std::string> SaveQuestions;
    std::vector<TSaveChoice> SaveChoices;
    std::optional<TRecovery> Kept;
    bool RestoreAnswer = false;
    int Presented = 0;  // pictures presented so far
    int LastPresentX = 0, LastPresentY = 0;
};

}  // namespace blubbi
