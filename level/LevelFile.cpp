// Level files: reading the .lev layout into the game and writing it back safely.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "game/MainForm.h"

namespace blubbi {

namespace {

constexpr size_t kGridBytes = kCols * kRows;
constexpr size_t kHeadBytes = kGridBytes + 4;  // grid and enemy count
constexpr size_t kEnemyBytes = sizeof(TEnemy);

int32_t ReadInt32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

void WriteInt32(std::vector<uint8_t>& out, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

// The enemy record's bytes in file order, whatever the host's byte order.
void DecodeEnemy(const uint8_t* p, TEnemy& e) {
    int32_t* fields[] = {&e.Timer, &e.AnimCounter, &e.Aux, &e.DirX, &e.Width,
                         &e.Height, &e.SpeedY, &e.Kind, &e.X, &e.Y};
    for (int i = 0; i < 10; ++i) *fields[i] = ReadInt32(p + 4 * i);
    e.Removed = p[40];
    e.Trapped = p[41];
    e.Padding[0] = p[42];
    e.Padding[1] = p[43];
}

void EncodeEnemy(const TEnemy& e, std::vector<uint8_t>& out) {
    for (int32_t v : {e.Timer, e.AnimCounter, e.Aux, e.DirX, e.Width, e.Height, e.SpeedY, e.Kind, e.X, e.Y})
        WriteInt32(out, v);
    out.insert(out.end(), {e.Removed, e.Trapped, e.Padding[0], e.Padding[1]});
}

}  // namespace

void TMainForm::OpenLevel(const std::string& fileName) {
    LastHitTick = 0;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return;
    // Level files travel between players: a file too short for the enemies it announces
    // is refused whole, before anything changes, and the count never sizes memory.
    std::error_code ec;
    const auto size = std::filesystem::file_size(fileName, ec);
    if (ec || size < kHeadBytes + 8) return;
    uint8_t head[kHeadBytes];
    if (!in.read(reinterpret_cast<char*>(head), kHeadBytes)) return;
    const int32_t n = ReadInt32(head + kGridBytes);
    const uint64_t count = n > 0 ? static_cast<uint64_t>(n) : 0;
    if (size < kHeadBytes + count * kEnemyBytes + 8) return;
    std::vector<uint8_t> body(count * kEnemyBytes + 8);
    if (!in.read(reinterpret_cast<char*>(body.data()), static_cast<std::streamsize>(body.size()))) return;

    std::memcpy(Grid.data(), head, kGridBytes);
    if (Enemies) {
        Enemies->Clear();
        for (uint64_t i = 0; i < count; ++i) {
            TEnemy* e = Enemies->Append();
            if (!e) break;
            DecodeEnemy(body.data() + i * kEnemyBytes, *e);
            e->Removed = 0;
            e->Trapped = 0;
            e->DirX = 0;
        }
    }
    StartX = ReadInt32(body.data() + count * kEnemyBytes);
    StartY = ReadInt32(body.data() + count * kEnemyBytes + 4);
    PlayerX = StartX;
    PlayerY = StartY;
    if (Bubbles) Bubbles->Clear();
    if (Items) Items->Clear();
    PaintBox1Paint();
}

bool TMainForm::SaveLevel(const std::string& fileName) {
    std::vector<uint8_t> out(Grid.begin(), Grid.end());
    const int32_t n = Enemies ? Enemies->Count : 0;
    WriteInt32(out, n);
    if (Enemies) {
        Enemies->Rewind();
        while (Enemies->Next()) EncodeEnemy(*Enemies->Current(), out);
    }
    // The player's position now becomes the level's start position.
    WriteInt32(out, PlayerX);
    WriteInt32(out, PlayerY);

    // Written beside the target and renamed over it, so a failure never costs the old file.
    const std::string temp = fileName + ".tmp-" + std::to_string(::getpid());
    bool ok = false;
    if (FILE* f = std::fopen(temp.c_str(), "wb")) {
        ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
        ok = std::fflush(f) == 0 && ok;
        ok = ::fsync(::fileno(f)) == 0 && ok;
        ok = std::fclose(f) == 0 && ok;
        ok = ok && std::rename(temp.c_str(), fileName.c_str()) == 0;
        if (!ok) std::remove(temp.c_str());
    }
    if (!ok) Platform.ShowErrorMessage("Der Level konnte nicht gespeichert werden:\n" + fileName);
    return ok;
}

}  // namespace blubbi
