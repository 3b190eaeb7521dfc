// The WAV header check every player runs on its sounds, on arbitrary files: the answer is one
// of the reader's stated reasons, or a sound whose length is no longer than the file's bytes
// could play at the lowest rate the header may state; the same file gets the same answer.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <set>
#include <string>

#include "media/wave_info.h"
#include "scratch_file.h"

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = scratchPath("fuzz_wave", ".wav");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    check(std::fwrite(data, 1, size, file) == size);
    std::fclose(file);

    const torvana::WaveInfo info = torvana::inspectWave(path);
    static const std::set<std::string> reasons{"not a WAV file", "the WAV file holds no sound", "damaged WAV file"};
    static const std::regex compressed("compressed WAV data \\(format [0-9]+\\) cannot be played");
    if (!info.error.empty()) {
        check(reasons.count(info.error) || std::regex_match(info.error, compressed));
        check(info.durationMs == 0);
    } else {
        const std::string head(reinterpret_cast<const char*>(data), std::min<size_t>(size, 12));
        check(head.size() == 12 && head.compare(0, 4, "RIFF") == 0 && head.compare(8, 4, "WAVE") == 0);
        // At least one byte a second: a sound is at most a thousand milliseconds a byte.
        check(info.durationMs >= 0 && int64_t(info.durationMs) <= int64_t(size) * 1000);
    }
    const torvana::WaveInfo again = torvana::inspectWave(path);
    check(again.error == info.error && again.durationMs == info.durationMs);
    return 0;
}
