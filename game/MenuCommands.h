// The menu commands the game carries out itself, by their handlers' names: the window's menu and the event
// dispatch (menu events of the window, replays, blubbi-sim scripts) all find them in this one table.
#pragma once
#include <array>
#include <cstddef>
#include <string_view>

#include "game/MainForm.h"

namespace blubbi {

struct TMenuCommand {
    std::string_view Name;  // the handler's name, as the game calls it
    void (TMainForm::*Run)();
    // Whether the command's item carries its mark now; null for an item that has none.
    bool (*Checked)(const TMainForm& game) = nullptr;
    // Whether the command has anything to do now; null for one that always has.
    bool (*Enabled)(const TMainForm& game) = nullptr;
};

// The window adds each item's text, picture, shortcut and look; the commands that only the window
// has (quitting, its own dialogs, the shell) are not here.
inline constexpr std::array kMenuCommands{
    TMenuCommand{"NeuesSpiel1Click", &TMainForm::NeuesSpiel1Click},
    TMenuCommand{"Hintergrundmusik1Click", &TMainForm::Hintergrundmusik1Click,
                 [](const TMainForm& g) { return g.MusicEnabled != 0; }},
    TMenuCommand{"Soundeffekte1Click", &TMainForm::Soundeffekte1Click,
                 [](const TMainForm& g) { return g.SoundEnabled != 0; }},
    TMenuCommand{"Editormodus1Click", &TMainForm::Editormodus1Click,
                 [](const TMainForm& g) { return g.EditorMode != 0; }},
    TMenuCommand{"NeuesLevel1Click", &TMainForm::NeuesLevel1Click},
    TMenuCommand{"Levelffnen1Click", &TMainForm::Levelffnen1Click},
    TMenuCommand{"Levelspeichern1Click", &TMainForm::Levelspeichern1Click},
    TMenuCommand{"Blockeinfgen1Click", &TMainForm::Blockeinfgen1Click,
                 [](const TMainForm& g) { return g.InsertKind == 0; }},
    TMenuCommand{"FeindFedereinfgen1Click", &TMainForm::FeindFedereinfgen1Click,
                 [](const TMainForm& g) { return g.InsertKind == 1; }},
    TMenuCommand{"FeindGeisteinfgen1Click", &TMainForm::FeindGeisteinfgen1Click,
                 [](const TMainForm& g) { return g.InsertKind == 2; }},
    TMenuCommand{"FeindBlauesMnneleinfgen1Click", &TMainForm::FeindBlauesMnneleinfgen1Click,
                 [](const TMainForm& g) { return g.InsertKind == 3; }},
    TMenuCommand{"FeindRotesMonstereinfgen1Click", &TMainForm::FeindRotesMonstereinfgen1Click,
                 [](const TMainForm& g) { return g.InsertKind == 4; }},
    TMenuCommand{"Rckgngig1Click", &TMainForm::Rckgngig1Click, nullptr,
                 [](const TMainForm& g) { return g.History.CanUndo(); }},
    TMenuCommand{"Wiederherstellen1Click", &TMainForm::Wiederherstellen1Click, nullptr,
                 [](const TMainForm& g) { return g.History.CanRedo(); }},
    // Not in the menu: the window runs it once at start-up when an earlier run kept work.
    TMenuCommand{"OfferRecovery", &TMainForm::OfferRecovery},
};

// The command of that name, or null.
constexpr const TMenuCommand* FindMenuCommand(std::string_view name) {
    for (const TMenuCommand& command : kMenuCommands)
        if (command.Name == name) return &command;
    return nullptr;
}

// A command named in the program's text. It holds the command's place in the table rather than its
// address: GCC cannot compare addresses at compile time when the sanitizers instrument them.
struct TMenuCommandRef {
    size_t Index;
    operator const TMenuCommand*() const { return &kMenuCommands[Index]; }  // NOLINT(google-explicit-constructor)
};

// The command of a name written into the program: a name not in the table does not compile.
consteval TMenuCommandRef MenuCommand(std::string_view name) {
    for (size_t i = 0; i < kMenuCommands.size(); ++i)
        if (kMenuCommands[i].Name == name) return {i};
    throw "no such menu command";
}

}  // namespace blubbi
