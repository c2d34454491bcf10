// The text form: lossless round trips of any file, the defaults, placement helpers and strict parsing.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "tools/level/LevelText.h"

namespace blubbi::leveltool {
namespace {

const std::string kBorder =
    "grid\n"
    "#########################\n"
    "#.......................#\n#.......................#\n#.......................#\n#.......................#\n"
    "#.......................#\n#.......................#\n#.......................#\n#.......................#\n"
    "#.......................#\n#.......................#\n#.......................#\n#.......................#\n"
    "#.......................#\n#.......................#\n#.......................#\n#.......................#\n"
    "#.......................#\n#.......................#\n"
    "#########################\n";

TLevelFile Parse(const std::string& text) {
    TTextResult r = LevelFromText(text);
    EXPECT_TRUE(r.File) << r.Error;
    return r.File ? *r.File : TLevelFile{};
}

std::string ErrorOf(const std::string& text) {
    TTextResult r = LevelFromText(text);
    EXPECT_FALSE(r.File);
    return r.Error;
}

std::vector<uint8_t> RandomFile(std::mt19937& rng) {
    const int shape = int(rng() % 4);
    const int32_t n = shape == 0 ? -int32_t(rng() % 1000) : shape == 1 ? 0 : int32_t(rng() % 8);
    const size_t size = 512 + 44 * size_t(n > 0 ? n : 0) + (rng() % 3 == 0 ? rng() % 70 : 0);
    std::vector<uint8_t> b(size);
    for (uint8_t& x : b) x = uint8_t(rng());
    // Mostly ordinary maps, with some odd bytes among them.
    for (size_t i = 0; i < 500; ++i) b[i] = rng() % 5 == 0 ? uint8_t(rng()) : uint8_t(rng() % 2);
    // Now and then a known kind, so that both spellings of the kind occur.
    for (int32_t r = 0; r < n; ++r)
        if (rng() % 2) {
            const uint8_t kind = uint8_t(rng() % 4);
            std::memset(&b[504 + 44 * size_t(r) + 28], 0, 4);
            b[504 + 44 * size_t(r) + 28] = kind;
        }
    for (size_t i = 0; i < 4; ++i) b[500 + i] = uint8_t(uint32_t(n) >> (8 * i));
    return b;
}

TEST(LevelText, AnyFileRoundTripsByteForByte) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 400; ++round) {
        const std::vector<uint8_t> bytes = RandomFile(rng);
        const std::optional<TLevelFile> file = SplitLevelFile(bytes);
        ASSERT_TRUE(file);
        const std::string text = LevelToText(*file);
        const TTextResult back = LevelFromText(text);
        ASSERT_TRUE(back.File) << back.Error << "\n" << text;
        EXPECT_EQ(JoinLevelFile(*back.File), bytes) << text;
    }
}

TEST(LevelText, MapCharactersLandInTheirCells) {
    std::string text = kBorder + "start X=38 Y=315\n";
    // column 3 of row 5: the sixth map line after "grid"
    const size_t row5 = text.find('\n', text.find('\n') + 1 + 26 * 4) + 1;
    text[row5 + 3] = '#';
    text[row5 + 4] = '*';
    text += "cell 4 5 17\n";
    const TLevelFile f = Parse(text);
    EXPECT_EQ(f.Level.Grid[3 * 20 + 5], 1);
    EXPECT_EQ(f.Level.Grid[4 * 20 + 5], 17);
    EXPECT_EQ(f.Level.Grid[0 * 20 + 5], 1);
    EXPECT_EQ(f.Level.Grid[5 * 20 + 5], 0);
    EXPECT_EQ(f.Level.Grid[24 * 20 + 19], 1);
}

TEST(LevelText, LeftOutFieldsTakeTheEditorsValues) {
    const TLevelFile f = Parse(kBorder + "enemy Feder X=100 Y=50\nenemy RotesMonster\nenemy 9 X=1\nstart X=38 Y=315\n");
    ASSERT_EQ(f.Level.Enemies.size(), 3u);
    const TEnemy& feder = f.Level.Enemies[0];
    EXPECT_EQ(feder.Kind, kFeder);
    EXPECT_EQ(feder.Width, 46);
    EXPECT_EQ(feder.Height, 60);
    EXPECT_EQ(feder.X, 100);
    EXPECT_EQ(feder.Y, 50);
    EXPECT_EQ(feder.Timer | feder.AnimCounter | feder.Aux | feder.DirX | feder.SpeedY, 0);
    EXPECT_EQ(feder.Removed | feder.Trapped | feder.Padding[0] | feder.Padding[1], 0);
    EXPECT_EQ(f.Level.Enemies[1].Kind, kRotesMonster);
    EXPECT_EQ(f.Level.Enemies[1].Width, 44);
    EXPECT_EQ(f.Level.Enemies[1].Height, 50);
    EXPECT_EQ(f.Level.Enemies[2].Kind, 9);
    EXPECT_EQ(f.Level.Enemies[2].Width, 0);
    EXPECT_EQ(f.Level.Enemies[2].Height, 0);
}

TEST(LevelText, EveryFieldHasASpelling) {
    const TLevelFile f = Parse(kBorder +
                               "enemy Geist X=-3 Y=4 Timer=5 AnimCounter=6 Aux=7 DirX=8 Width=9 Height=10 SpeedY=-11 "
                               "Removed=12 Trapped=255 Padding=14,15\nstart X=-2147483648 Y=2147483647\n");
    ASSERT_EQ(f.Level.Enemies.size(), 1u);
    const TEnemy& e = f.Level.Enemies[0];
    EXPECT_EQ(e.Kind, kGeist);
    EXPECT_EQ(e.X, -3);
    EXPECT_EQ(e.Y, 4);
    EXPECT_EQ(e.Timer, 5);
    EXPECT_EQ(e.AnimCounter, 6);
    EXPECT_EQ(e.Aux, 7);
    EXPECT_EQ(e.DirX, 8);
    EXPECT_EQ(e.Width, 9);
    EXPECT_EQ(e.Height, 10);
    EXPECT_EQ(e.SpeedY, -11);
    EXPECT_EQ(e.Removed, 12);
    EXPECT_EQ(e.Trapped, 255);
    EXPECT_EQ(e.Padding[0], 14);
    EXPECT_EQ(e.Padding[1], 15);
    EXPECT_EQ(f.Level.StartX, INT32_MIN);
    EXPECT_EQ(f.Level.StartY, INT32_MAX);
}

TEST(LevelText, OnPlacesTheBoxOnTheTopOfACell) {
    const TLevelFile f = Parse(kBorder + "enemy BlauesMaennel on=5,10\nenemy Feder on=1,19\nstart on=2,19\n");
    // The first pixel row under the box is the top of the cell.
    EXPECT_EQ(f.Level.Enemies[0].X, 95);
    EXPECT_EQ(f.Level.Enemies[0].Y + 40 + 1, 190);
    EXPECT_EQ(f.Level.Enemies[1].X, 19);
    EXPECT_EQ(f.Level.Enemies[1].Y + 60 + 1, 361);
    EXPECT_EQ(f.Level.StartX, 38);
    EXPECT_EQ(f.Level.StartY, 315);
}

TEST(LevelText, CommentsAndBlankLinesAreIgnored) {
    const TLevelFile f = Parse("; a level\n\n" + kBorder + "\n  ; more\nstart X=1 Y=2 ; where the player starts\r\n");
    EXPECT_EQ(f.Level.StartX, 1);
    EXPECT_EQ(f.Level.StartY, 2);
}

TEST(LevelText, MistakesAreReportedWithTheirLine) {
    EXPECT_EQ(ErrorOf("start X=1 Y=2\n"), "no map: a 'grid' line and 20 rows of 25 characters are needed");
    EXPECT_EQ(ErrorOf(kBorder), "no start position: a 'start' line is needed");
    EXPECT_NE(ErrorOf("grid\n#####\n").find("line 2: a map row needs exactly 25 characters"), std::string::npos);
    EXPECT_NE(ErrorOf("grid\n#########################\n").find("the map needs 20 rows, found 1"), std::string::npos);
    std::string bad = kBorder + "start X=1 Y=2\n";
    bad[bad.find('.')] = 'o';
    EXPECT_NE(ErrorOf(bad).find("line 3: unknown map character 'o'"), std::string::npos);
    std::string star = kBorder + "start X=1 Y=2\n";
    star[star.find('.')] = '*';
    EXPECT_NE(ErrorOf(star).find("has no cell line"), std::string::npos);
    EXPECT_NE(ErrorOf(star + "cell 1 1 1\n").find("expected: cell"), std::string::npos);
    EXPECT_NE(ErrorOf(star + "cell 2 1 9\n").find("the map shows no '*'"), std::string::npos);
    EXPECT_NE(ErrorOf(star + "cell 1 1 9\ncell 1 1 9\n").find("given already"), std::string::npos);
    const std::string ok = kBorder + "start X=1 Y=2\n";
    EXPECT_NE(ErrorOf(ok + "enemy Dragon X=1\n").find("line 23: unknown enemy kind 'Dragon'"), std::string::npos);
    EXPECT_NE(ErrorOf(ok + "enemy Feder X=1 X=2\n").find("field X given twice"), std::string::npos);
    EXPECT_NE(ErrorOf(ok + "enemy Feder Wings=2\n").find("unknown enemy field 'Wings'"), std::string::npos);
    EXPECT_NE(ErrorOf(ok + "enemy Feder X=2147483648\n").find("bad value for X"), std::string::npos);
    EXPECT_NE(ErrorOf(ok + "enemy Feder X=+5\n").find("bad value for X"), std::string::npos);
    EXPECT_NE(ErrorOf(ok + "enemy Feder X=5x\n").find("bad value for X"), std::string::npos);
    EXPECT_NE(ErrorOf(ok + "enemy Feder Removed=256\n").find("bad value for Removed"), std::string::npos);
    EXPECT_NE(ErrorOf(ok + "enemy Feder Padding=1\n").find("bad value for Padding"), std::string::npos);
    EXPECT_NE(ErrorOf(ok + "enemy Feder on=3,0\n").find("bad value for on"), std::string::npos);
    EXPECT_NE(ErrorOf(ok + "enemy Feder on=3,4 Y=2\n").find("not both"), std::string::npos);
    EXPECT_NE(ErrorOf(ok + "start X=1 Y=2\n").find("given already"), std::string::npos);
    EXPECT_NE(ErrorOf(ok + "enemy Feder\ncount -3\n").find("only for levels without enemies"), std::string::npos);
    EXPECT_NE(ErrorOf(ok + "count 4\n").find("zero or negative"), std::string::npos);
    EXPECT_NE(ErrorOf(ok + "tail 0g\n").find("bad hex"), std::string::npos);
    EXPECT_NE(ErrorOf(ok + "banana\n").find("unknown line 'banana'"), std::string::npos);
}

TEST(LevelText, SplitKeepsANegativeCountAndTheTail) {
    std::vector<uint8_t> bytes(515, 0);
    bytes[500] = 0xfd;
    bytes[501] = bytes[502] = bytes[503] = 0xff;
    bytes[512] = 0xab;
    bytes[514] = 0x01;
    const std::optional<TLevelFile> f = SplitLevelFile(bytes);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->EmptyCount, -3);
    EXPECT_EQ(f->Tail, (std::vector<uint8_t>{0xab, 0x00, 0x01}));
    const std::string text = LevelToText(*f);
    EXPECT_NE(text.find("count -3\n"), std::string::npos);
    EXPECT_NE(text.find("tail ab0001\n"), std::string::npos);
}

}  // namespace
}  // namespace blubbi::leveltool
