// The player on a disc links SDL in, and SDL can resample sounds through libsamplerate, whose
// filter tables alone would weigh 1.4 MB on the disc. SDL uses it only when the
// SDL_AUDIO_RESAMPLING_MODE hint asks for it, which the player fixes to SDL's own resampler
// (main.cpp); these stand-ins answer any call as a libsamplerate that cannot start, and SDL then
// goes on with its own.

extern "C" {

struct SRC_STATE_tag;
struct SRC_DATA;

SRC_STATE_tag* src_new(int, int, int* error) {
    if (error) *error = 1;
    return nullptr;
}
int src_process(SRC_STATE_tag*, SRC_DATA*) { return 1; }
SRC_STATE_tag* src_delete(SRC_STATE_tag*) { return nullptr; }
int src_reset(SRC_STATE_tag*) { return 1; }
int src_simple(SRC_DATA*, int, int) { return 1; }
const char* src_strerror(int) { return "no libsamplerate in this player"; }

}  // extern "C"
