// The answers of a game that nobody is there to ask: the game-over box is cancelled, the others
// pass, no level file is chosen and changed work is let go. Over any platform.
#pragma once
#include <string>

#include "game/Platform.h"

namespace blubbi {

template <class Base>
class TSilentDialogs : public Base {
public:
    using Base::Base;
    TModalResult ShowGameOverDialog(const std::string&) override { return TModalResult::Cancel; }
    void ShowWinDialog() override {}
    void ShowErrorMessage(const std::string&) override {}
    void SetLevelDialogFolder(const std::string&) override {}
    bool OpenLevelDialog(std::string&) override { return false; }
    bool SaveLevelDialog(std::string&) override { return false; }
    TSaveChoice AskSaveChanges(const std::string&) override { return TSaveChoice::Discard; }
};

}  // namespace blubbi
