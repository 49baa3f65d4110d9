// A tone as the bytes of a WAV file, for the sound players of the desktop.
#pragma once

#include <string>

namespace canalix::ui {

// A RIFF/WAVE file: 44-byte header ("RIFF", size, "WAVE", "fmt " chunk of 16
// bytes for PCM mono 16-bit at `sampleRate`, "data" chunk) followed by a sine
// of `hertz` lasting `milliseconds`, with a short fade at both ends so the
// tone does not click.
std::string toneWave(int hertz, int milliseconds, int sampleRate = 22050);

}  // namespace canalix::ui
