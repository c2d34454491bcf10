// blubbi-hiscore-seed URL COUNT: fills a store with COUNT made-up scores, for the server's benchmark.
#include <iostream>
#include <random>
#include <string>

#include "server/ScoreStore.h"

using namespace blubbi::hiscore;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: blubbi-hiscore-seed URL COUNT\n";
        return 2;
    }
    const int count = std::stoi(argv[2]);
    const auto store = OpenStore(argv[1]);
    std::mt19937 random(42);
    const char* names[] = {"Anna", "Jörg", "Zoë", "Bernd", "Ülkü", "Maja", "<b>Otto</b>", "Şebnem", "Kai"};
    for (int i = 0; i < count; ++i) {
        TNewScore s;
        s.Name = std::string(names[i % 9]) + " " + std::to_string(i);
        s.Points = static_cast<int32_t>(random() % 5000);
        s.Level = static_cast<int32_t>(random() % 30 + 1);
        s.Frames = 1000 + static_cast<int64_t>(random() % 100000);
        s.Verified = true;
        s.Ranked = i % 10 != 0;
        s.Note = s.Ranked ? "" : "Level-Editor benutzt";
        s.ReplayHash = "seed-" + std::to_string(i);
        s.Replay = "seeded replay " + std::to_string(i);
        s.CreatedAt = 1790000000 + i * 60;
        store->Add(s);
    }
    std::cout << "blubbi-hiscore-seed: " << store->Count() << " scores in the store\n";
    return 0;
}
