// blubbi-web-tune MIDI OUT.ogg: the game's tune rendered once, as the desktop game's FluidSynth plays
// it with the same soundfont, into Ogg Vorbis for the page to loop (a browser has no MIDI synthesizer).
#include <fluidsynth.h>
#include <sndfile.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sound/MediaPlayer.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: blubbi-web-tune MIDI OUT.ogg\n");
        return 2;
    }
    const std::string font = blubbi::FindSoundFont();
    if (font.empty()) {
        std::fprintf(stderr, "blubbi-web-tune: no soundfont\n");
        return 1;
    }
    constexpr int kRate = 44100, kBlock = 1024;
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", kRate);
    fluid_synth_t* synth = new_fluid_synth(settings);
    fluid_player_t* player = new_fluid_player(synth);
    int status = 1;
    if (fluid_synth_sfload(synth, font.c_str(), 1) != FLUID_FAILED && fluid_player_add(player, argv[1]) == FLUID_OK &&
        fluid_player_play(player) == FLUID_OK) {
        SF_INFO info{};
        info.samplerate = kRate;
        info.channels = 2;
        info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
        if (SNDFILE* out = sf_open(argv[2], SFM_WRITE, &info)) {
            double quality = 0.3;
            sf_command(out, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
            std::vector<float> frames(size_t{2} * kBlock);
            // At most ten minutes, whatever the file says.
            for (int blocks = 0;
                 fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && blocks < 600 * kRate / kBlock; ++blocks) {
                fluid_synth_write_float(synth, kBlock, frames.data(), 0, 2, frames.data(), 1, 2);
                sf_writef_float(out, frames.data(), kBlock);
            }
            status = sf_close(out) == 0 ? 0 : 1;
        }
    }
    if (status != 0) std::fprintf(stderr, "blubbi-web-tune: cannot render %s into %s\n", argv[1], argv[2]);
    delete_fluid_player(player);
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return status;
}
