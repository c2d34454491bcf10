// Draws a level with the game's sprite sheets and drawing primitives into a PNG file.
#include "tools/level/LevelPicture.h"

#include <array>

#include "gfx/BildIO.h"
#include "gfx/Screen.h"

namespace blubbi::leveltool {
namespace {

constexpr int kCols = 25, kRows = 20, kCell = 19;

struct TSheetFile {
    const char* Name;
    int Frames;
};

// Indexed by enemy kind: the sheet and its frame count, as the enemy phase draws them.
constexpr std::array<TSheetFile, 4> kEnemySheets{{{"feind1", 2}, {"feind2", 2}, {"feind3", 2}, {"feind4", 4}}};

}  // namespace

bool WriteLevelPicture(const TLevelData& level, const std::string& graphicsDir, const std::string& pngPath,
                       std::string& error) {
    const TDib block = OpenDib(graphicsDir + "/stein1.gif");
    const TDib player = OpenDib(graphicsDir + "/laufe2.gif");
    std::array<TDib, 4> enemies;
    for (size_t k = 0; k < enemies.size(); ++k)
        enemies[k] = OpenDib(graphicsDir + "/" + kEnemySheets[k].Name + ".gif");
    if (!block.Bits || !player.Bits) {
        error = graphicsDir + ": cannot read the sprite sheets (stein1.gif, laufe2.gif)";
        return false;
    }

    TImagePicture picture(kCols * kCell, kRows * kCell);
    for (int col = 0; col < kCols; ++col)
        for (int row = 0; row < kRows; ++row) {
            const int x = col * kCell, y = row * kCell;
            // Only the value 1 shows the block picture; other blocking values look free, as in the game.
            if (level.Grid[size_t(col * kRows + row)] == 1)
                picture.StretchDrawDib(x, y, kCell, kCell, block, 0, 0, block.Width, block.Height);
            else
                picture.Rectangle(x, y, x + kCell, y + kCell, RGB(0, 0, 0), RGB(0, 0, 0));
        }
    // Loading a level turns every enemy to its first direction, so none is drawn mirrored.
    for (const TEnemy& e : level.Enemies) {
        if (e.Kind < 0 || e.Kind > 3) continue;  // the game does not draw unknown kinds either
        const TSheetFile& sheet = kEnemySheets[size_t(e.Kind)];
        const int frame = e.Kind == kFeder ? 0 : int(e.AnimCounter / 5);
        picture.DrawSprite(enemies[size_t(e.Kind)], e.X, e.Y, false, frame, sheet.Frames, false);
    }
    picture.DrawSprite(player, level.StartX, level.StartY, false, 0, 4, false);

    if (!picture.Image().save(QString::fromStdString(pngPath), "PNG")) {
        error = pngPath + ": cannot write the picture";
        return false;
    }
    return true;
}

}  // namespace blubbi::leveltool
