// The submission rules: the form's fields, the judgement of a checked replay, the rate limit.
#include <gtest/gtest.h>

#include "server/Form.h"
#include "server/RateLimit.h"
#include "server/Verifier.h"

using namespace blubbi;
using namespace blubbi::hiscore;

namespace {

std::optional<std::string> Name(const std::string& raw) {
    std::string reason;
    auto n = CleanName(raw, reason);
    if (!n) {
        EXPECT_FALSE(reason.empty());
    }
    return n;
}

TEST(Name, TrimmedAndCountedInCharactersNotBytes) {
    EXPECT_EQ(Name("  Anna \t"), "Anna");
    EXPECT_EQ(Name("\xC2\xA0Jörg\xE3\x80\x80"), "Jörg");  // no-break and ideographic spaces go too
    EXPECT_EQ(Name("Zoë Ünal"), "Zoë Ünal");              // inner space stays
    std::string umlauts;
    for (int i = 0; i < 32; ++i) umlauts += "ä";  // 64 bytes, 32 characters
    EXPECT_EQ(Name(umlauts), umlauts);
    EXPECT_FALSE(Name(umlauts + "ä"));
    EXPECT_EQ(Name(" 日本語の名前 "), "日本語の名前");
    EXPECT_EQ(Name("\xF0\x9F\x90\x9F"), "\xF0\x9F\x90\x9F");  // four-byte characters count once
    EXPECT_FALSE(Name(""));
    EXPECT_FALSE(Name(" \t\xC2\xA0 "));
}

TEST(Name, RefusesBrokenTextControlsAndDirectionMarks) {
    EXPECT_FALSE(Name("A\xC0\x80"));          // overlong zero
    EXPECT_FALSE(Name("A\xED\xA0\x80"));      // a surrogate
    EXPECT_FALSE(Name("A\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(Name("A\xC3"));              // cut off
    EXPECT_FALSE(Name("An\x01na"));
    EXPECT_FALSE(Name("An\nna"));
    EXPECT_FALSE(Name("An\xC2\x85na"));           // C1 control inside
    EXPECT_FALSE(Name("Anna\xE2\x80\xAEnomis"));  // right-to-left override
    EXPECT_FALSE(Name("\xE2\x80\x8B"));           // a lone zero-width space
    EXPECT_FALSE(Name("An\xE2\x80\x8Bna"));       // one hidden inside
    EXPECT_FALSE(Name("\xCC\x81\xCC\x81"));       // marks with nothing under them
    EXPECT_FALSE(Name("\xE3\x85\xA4"));           // the Hangul filler U+3164, shown as nothing
    EXPECT_FALSE(
        Name("A\xE2\xA0\x80"
             "B"));                                  // the blank Braille pattern inside
    EXPECT_FALSE(Name("\xE1\x85\x9F\xE1\x85\xA0"));  // the Hangul choseong and jungseong fillers
    std::string zalgo = "Z";
    for (int i = 0; i < 5; ++i) zalgo += "\xCC\x81";
    EXPECT_FALSE(Name(zalgo));                             // five marks stacked on one letter
    EXPECT_TRUE(Name(zalgo.substr(0, zalgo.size() - 2)));  // four may stand (Vietnamese takes two)
    EXPECT_EQ(Name("Jo\xCC\x88rg"), "Jörg");               // composed: one name however it was typed
}

TEST(Points, DecimalFromZeroToInt32Max) {
    EXPECT_EQ(ParsePoints("0"), 0);
    EXPECT_EQ(ParsePoints(" 4711\r\n"), 4711);
    EXPECT_EQ(ParsePoints("2147483647"), 2147483647);
    EXPECT_FALSE(ParsePoints("2147483648"));
    EXPECT_FALSE(ParsePoints("-1"));
    EXPECT_FALSE(ParsePoints("+1"));
    EXPECT_FALSE(ParsePoints("12a"));
    EXPECT_FALSE(ParsePoints("1 2"));
    EXPECT_FALSE(ParsePoints(""));
    EXPECT_FALSE(ParsePoints("00000000001"));
}

TVerifyResult Good() {
    TVerifyResult s;
    s.Status = TVerifyResult::TStatus::Ok;
    s.Frames = 24000;
    s.EndedInGameOver = true;
    s.Score = 930;
    s.LevelNo = 4;
    s.DataMatch = true;
    return s;
}

TEST(Judge, OnlyAGameOverWithExactlyTheClaimedPointsAndTheShippedDataIsRanked) {
    const auto ok = Judge(Good(), 930, 100000);
    EXPECT_EQ(ok.Status, 201);
    EXPECT_TRUE(ok.Store && ok.Verified && ok.Ranked);

    const auto more = Judge(Good(), 931, 100000);
    EXPECT_EQ(more.Status, 422);
    EXPECT_FALSE(more.Store);
    EXPECT_NE(more.Reason.find("931"), std::string::npos);
    EXPECT_NE(more.Reason.find("930"), std::string::npos);

    auto s = Good();
    s.EndedInGameOver = false;
    EXPECT_EQ(Judge(s, 930, 100000).Status, 422);
    s = Good();
    s.DataMatch = false;
    EXPECT_EQ(Judge(s, 930, 100000).Status, 422);
    s = Good();
    s.Status = TVerifyResult::TStatus::Mismatch;
    s.Frame = 120;
    const auto mismatch = Judge(s, 930, 100000);
    EXPECT_EQ(mismatch.Status, 422);
    EXPECT_NE(mismatch.Reason.find("Bild 120"), std::string::npos);
    s.Status = TVerifyResult::TStatus::Malformed;
    EXPECT_EQ(Judge(s, 930, 100000).Status, 400);
    s.Status = TVerifyResult::TStatus::LimitExceeded;
    EXPECT_EQ(Judge(s, 930, 100000).Status, 413);
    s.Status = TVerifyResult::TStatus::Cancelled;
    EXPECT_EQ(Judge(s, 930, 100000).Status, 503);
}

TEST(Judge, EditorCheatOrOwnLevelsAreStoredWithoutPlace) {
    for (int which = 0; which < 3; ++which) {
        auto s = Good();
        (which == 0 ? s.EditorUsed : which == 1 ? s.CheatUsed : s.UserLevels) = true;
        const auto j = Judge(s, 930, 100000);
        EXPECT_EQ(j.Status, 201);
        EXPECT_TRUE(j.Store && j.Verified);
        EXPECT_FALSE(j.Ranked);
        EXPECT_FALSE(j.Note.empty());
        EXPECT_NE(j.Reason.find("ohne Platz"), std::string::npos);
    }
}

TEST(RateLimit, BurstThenOneTokenPerIntervalPerAddress) {
    TRateLimit limit(6, 3);  // one every 10 s, three at once
    const auto t0 = TRateLimit::TClock::now();
    int wait = 0;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(limit.Take("10.0.0.1", t0, wait));
    EXPECT_FALSE(limit.Take("10.0.0.1", t0, wait));
    EXPECT_EQ(wait, 10);
    EXPECT_TRUE(limit.Take("10.0.0.2", t0, wait));  // another address has its own bucket
    EXPECT_FALSE(limit.Take("10.0.0.1", t0 + std::chrono::seconds(9), wait));
    EXPECT_EQ(wait, 1);
    EXPECT_TRUE(limit.Take("10.0.0.1", t0 + std::chrono::seconds(11), wait));
    EXPECT_FALSE(limit.Take("10.0.0.1", t0 + std::chrono::seconds(11), wait));
    EXPECT_TRUE(TRateLimit(0, 0).Take("x", t0, wait));  // no limit

    // An IPv6 network of /64 is one client; a check's seconds are paid for by waiting.
    TRateLimit v6(6, 2);
    EXPECT_TRUE(v6.Take("2001:db8::1", t0, wait));
    EXPECT_TRUE(v6.Take("2001:db8:0:0:ffff::2", t0, wait));
    EXPECT_FALSE(v6.Take("2001:db8::3", t0, wait));
    EXPECT_TRUE(v6.Take("2001:db8:0:1::1", t0, wait));
    v6.Charge("2001:db8:0:1::9", 5, t0);
    EXPECT_FALSE(v6.Take("2001:db8:0:1::1", t0 + std::chrono::seconds(25), wait));
    EXPECT_EQ(wait, 5);  // owing at most a burst (2), 2.5 back after 25 s, 0.5 short of one
    EXPECT_EQ(TRateLimit::Bucket("::ffff:10.0.0.1"), "10.0.0.1");
}

}  // namespace
