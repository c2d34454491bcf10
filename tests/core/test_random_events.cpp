// Random events: which draws the enemies and bubbles make, in which order, and what each value does.
#include <utility>
#include <vector>

#include "tests/support/PlayFixture.h"

namespace blubbi {
namespace {

using namespace blubbi::test;

constexpr int32_t kAny = -1;
constexpr int kSeedsPerCase = 8;  // several seeds, so no change of a range can match by luck

// One draw of the plan: Random(Range), which must give Value unless it is kAny.
struct TDraw {
    int32_t Range, Value;
};

// A seed whose generator's first draws follow the plan, the values it then draws, and the
// generator's state after them.
struct TPlannedSeed {
    uint64_t Seed;
    std::vector<int32_t> Values;
    uint64_t StateAfter;
};

std::vector<TPlannedSeed> SeedsFor(const std::vector<TDraw>& plan) {
    std::vector<TPlannedSeed> found;
    for (uint64_t seed = 1; found.size() < kSeedsPerCase; ++seed) {
        TRandom rng(seed);
        std::vector<int32_t> values;
        for (const TDraw& d : plan) {
            values.push_back(rng.Random(d.Range));
            if (d.Value != kAny && values.back() != d.Value) break;
        }
        if (values.size() == plan.size() && (plan.back().Value == kAny || values.back() == plan.back().Value))
            found.push_back({seed, values, rng.State});
    }
    return found;
}

struct RandomEvents : PlayFixture {
    void SetUp() override {
        PlayFixture::SetUp();
        ParkPlayer();
    }
    // One frame drawn from this seed; the generator must have made exactly the planned draws.
    void TickWith(const TPlannedSeed& s) {
        Game.Rng.Seed(s.Seed);
        Tick();
        EXPECT_EQ(Game.Rng.State, s.StateAfter) << "the frame drew other numbers than planned";
    }
    TEnemy& OnlyEnemy() { return (*Game.Enemies)[0]; }
    int32_t Step(int32_t direction) { return direction == 0 ? -4 : direction == 2 ? 4 : 0; }
};

TEST_F(RandomEvents, GeistDrawsASidewaysChangeThenAnUpOrDownChangeEachOnAFive) {
    struct TCase {
        std::vector<TDraw> Plan;
        bool Sideways, Vertical;
    };
    const TCase cases[] = {
        {{{10, 5}, {3, kAny}, {50, kAny}, {10, 5}, {3, kAny}, {50, kAny}}, true, true},
        {{{10, 0}, {10, 5}, {3, kAny}, {50, kAny}}, false, true},
        {{{10, 5}, {3, kAny}, {50, kAny}, {10, 4}}, true, false},
        {{{10, 6}, {10, 0}}, false, false},
    };
    for (const TCase& c : cases) {
        for (const TPlannedSeed& s : SeedsFor(c.Plan)) {
            Game.Enemies->Clear();
            TEnemy& g = AddEnemy(kGeist, 200, 150);
            g.DirX = g.Aux = 1;  // hovering
            TickWith(s);
            size_t next = 0;
            int32_t dirX = 1, aux = 1, timer = 0;
            ++next;
            if (c.Sideways) {
                dirX = s.Values[next++];
                timer = 50 + s.Values[next++];
            }
            ++next;
            if (c.Vertical) {
                aux = s.Values[next++];
                timer = 50 + s.Values[next++];
            }
            const TEnemy& e = OnlyEnemy();
            ASSERT_EQ(e.DirX, dirX) << s.Seed;
            ASSERT_EQ(e.Aux, aux) << s.Seed;
            ASSERT_EQ(e.Timer, timer) << s.Seed;
            ASSERT_EQ(e.X, 200 + Step(dirX)) << s.Seed;
            ASSERT_EQ(e.Y, 150 + Step(aux)) << s.Seed;
        }
    }
    // While its timer runs, nothing is drawn at all.
    Game.Enemies->Clear();
    AddEnemy(kGeist, 200, 150).Timer = 7;
    TickWith({1, {}, TRandom(1).State});
    EXPECT_EQ(OnlyEnemy().Timer, 6);
}

TEST_F(RandomEvents, WalkersDrawAChangeOfDirectionThenAJumpOnAFive) {
    struct TKind {
        int32_t Kind, Y, JumpRange, JumpSpeed;
        bool ChangeClearsJumps;
    };
    // Both stand on the floor's top (row 361) and face nowhere, so they do not walk.
    const TKind kinds[] = {{kBlauesMaennel, 320, 75, -19, false}, {kRotesMonster, 310, 50, -20, true}};
    for (const TKind& k : kinds) {
        struct TCase {
            std::vector<TDraw> Plan;
            bool Change, Jump;
        };
        const TCase cases[] = {
            {{{10, 5}, {3, 1}, {50, kAny}, {k.JumpRange, 5}}, true, true},
            {{{10, 0}, {k.JumpRange, 5}}, false, true},
            {{{10, 5}, {3, 1}, {50, kAny}, {k.JumpRange, 0}}, true, false},
        };
        for (const TCase& c : cases) {
            for (const TPlannedSeed& s : SeedsFor(c.Plan)) {
                Game.Enemies->Clear();
                TEnemy& w = AddEnemy(k.Kind, 200, k.Y);
                w.DirX = 1;
                w.Aux = 1;  // one jump made at an obstacle
                TickWith(s);
                const TEnemy& e = OnlyEnemy();
                ASSERT_EQ(e.DirX, 1) << k.Kind << " " << s.Seed;
                ASSERT_EQ(e.Timer, c.Change ? 50 + s.Values[2] : 0) << k.Kind << " " << s.Seed;
                ASSERT_EQ(e.Aux, c.Change && k.ChangeClearsJumps ? 0 : 1) << k.Kind << " " << s.Seed;
                ASSERT_EQ(e.SpeedY, c.Jump ? k.JumpSpeed : 0) << k.Kind << " " << s.Seed;
                ASSERT_EQ(e.Y, k.Y) << k.Kind << " " << s.Seed;  // the jump rises from the next frame
            }
        }
        // A running timer draws no change, only the jump.
        for (const TPlannedSeed& s : SeedsFor({{k.JumpRange, 5}})) {
            Game.Enemies->Clear();
            TEnemy& w = AddEnemy(k.Kind, 200, k.Y);
            w.DirX = 1;
            w.Timer = 9;
            TickWith(s);
            ASSERT_EQ(OnlyEnemy().Timer, 8);
            ASSERT_EQ(OnlyEnemy().SpeedY, k.JumpSpeed);
        }
    }
}

TEST_F(RandomEvents, BubbleAtRestDriftsRightOnAFiveElseLeftOnASecondFive) {
    struct TCase {
        std::vector<TDraw> Plan;
        int32_t Dx;
    };
    const TCase cases[] = {{{{50, 5}}, 1}, {{{50, 0}, {50, 5}}, -1}, {{{50, 4}, {50, 6}}, 0}};
    for (const TCase& c : cases) {
        for (const TPlannedSeed& s : SeedsFor(c.Plan)) {
            Game.Bubbles->Clear();
            AddBubble(200, 200, 0);
            TickWith(s);
            const TBubble& b = (*Game.Bubbles)[0];
            ASSERT_EQ(b.X, 200 + c.Dx) << s.Seed;
            ASSERT_EQ(b.Y, 196) << s.Seed;
        }
    }
}

TEST_F(RandomEvents, BurstDrawsItsShadeThenItsRadius) {
    for (const TPlannedSeed& s : SeedsFor({{64, kAny}, {4, kAny}, {50, 0}, {50, 0}})) {
        Game.Bubbles->Clear();
        AddBubble(200, 200, 0).BurstStep = 1;  // 3 when it is drawn
        TickWith(s);
        ASSERT_EQ(Platform.Log.Ellipses.size(), 1u);
        const TEllipseCall& e = Platform.Log.Ellipses[0];
        const auto shade = static_cast<uint32_t>(64 + s.Values[0]);
        ASSERT_EQ(e.Brush, RGB(shade, shade, 0)) << s.Seed;
        ASSERT_EQ(e.X2 - e.X1, 2 * (s.Values[1] + 7 * 19 / 10)) << s.Seed;
    }
}

}  // namespace
}  // namespace blubbi
