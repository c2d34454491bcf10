// A platform that hands every call to another one; recorders and players change a few.
#pragma once
#include "game/Platform.h"

namespace blubbi {

class TForwardingPlatform : public TPlatform {
public:
    explicit TForwardingPlatform(TPlatform& inner) : Inner(inner) {}

    uint32_t GetTickCount() override { return Inner.GetTickCount(); }
    uint64_t RandomSeed() override { return Inner.RandomSeed(); }
    std::string ProgramDir() override { return Inner.ProgramDir(); }
    TDib OpenDib(const std::string& fileName) override { return Inner.OpenDib(fileName); }
    int PaintBoxWidth() override { return Inner.PaintBoxWidth(); }
    int PaintBoxHeight() override { return Inner.PaintBoxHeight(); }
    std::unique_ptr<TPicture> NewPicture(int width, int height) override { return Inner.NewPicture(width, height); }
    void Present(const TPicture& picture, int x, int y) override { Inner.Present(picture, x, y); }
    void PaintBoxRectangle(int x1, int y1, int x2, int y2, TColor color) override {
        Inner.PaintBoxRectangle(x1, y1, x2, y2, color);
    }
    std::string SendMediaCommand(const std::string& command) override { return Inner.SendMediaCommand(command); }
    void SetTimerEnabled(TOneShotTimer timer, bool enabled) override { Inner.SetTimerEnabled(timer, enabled); }
    void SetClockPaused(bool paused) override { Inner.SetClockPaused(paused); }
    TModalResult ShowGameOverDialog(const std::string& points) override { return Inner.ShowGameOverDialog(points); }
    void ShowWinDialog() override { Inner.ShowWinDialog(); }
    void ShowErrorMessage(const std::string& text) override { Inner.ShowErrorMessage(text); }
    void SetLevelDialogFolder(const std::string& folder) override { Inner.SetLevelDialogFolder(folder); }
    bool OpenLevelDialog(std::string& fileName) override { return Inner.OpenLevelDialog(fileName); }
    bool SaveLevelDialog(std::string& fileName) override { return Inner.SaveLevelDialog(fileName); }
    bool FileExists(const std::string& fileName) override { return Inner.FileExists(fileName); }
    void NewGameStarts() override { Inner.NewGameStarts(); }
    std::optional<std::vector<uint8_t>> ReadLevelFile(const std::string& fileName) override {
        return Inner.ReadLevelFile(fileName);
    }
    TSaveChoice AskSaveChanges(const std::string& levelName) override { return Inner.AskSaveChanges(levelName); }
    void LevelFileUsed(const std::string& fileName) override { Inner.LevelFileUsed(fileName); }
    void RecoveryDue() override { Inner.RecoveryDue(); }
    void WriteRecovery(const std::vector<uint8_t>& level, const std::string& name) override {
        Inner.WriteRecovery(level, name);
    }
    void RemoveRecovery() override { Inner.RemoveRecovery(); }
    std::optional<TRecovery> ReadRecovery() override { return Inner.ReadRecovery(); }
    bool AskRestoreRecovery(const TRecovery& kept) override { return Inner.AskRestoreRecovery(kept); }

protected:
    TPlatform& Inner;
};

}  // namespace blubbi
