// make-sounds: turns the readable sources of the game's effects and tune into WAV and MIDI files.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "Cue.h"
#include "Tune.h"

int main(int argc, char** argv) {
    const std::string mode = argc == 4 ? argv[1] : "";
    if (mode != "cue" && mode != "tune") {
        std::fprintf(stderr,
                     "usage: make-sounds cue <effect.cue> <out.wav>\n"
                     "       make-sounds tune <song.tune> <out.mid>\n");
        return 2;
    }
    try {
        if (mode == "cue") {
            const makesounds::TCue cue = makesounds::ReadCue(argv[2]);
            makesounds::WriteWav(argv[3], makesounds::Render(cue), cue.Rate);
        } else {
            makesounds::WriteMidi(makesounds::ReadTune(argv[2]), argv[3]);
        }
        // Readable by every account that runs the build tree, whatever the umask.
        std::filesystem::permissions(argv[3], std::filesystem::perms(0644));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-sounds: %s\n", e.what());
        std::remove(argv[3]);  // no half-written file for the build to take as done
        return 1;
    }
    return 0;
}
