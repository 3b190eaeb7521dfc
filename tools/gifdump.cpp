// gifdump [--indices DIR] [--rgba DIR] FILE
//
// Reads a GIF file with the program's own reader and prints what it found as one JSON object:
// the error (null or the GifError text), the warnings, the logical screen and every frame with
// its descriptor, control fields, extensions and an FNV-1a 64 hash of its index bytes.
// --indices writes each frame's index bytes to DIR/frame-N.idx; --rgba writes each composed
// frame (transparent canvas, 4 bytes per pixel) to DIR/frame-N.rgba, N counting from 0.
// Exit status: 0 when the picture loaded (warnings allowed), 1 on a GifError, 2 on a usage or
// file error.

#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "gif/gif_compositor.h"
#include "gif/gif_image.h"

using namespace torvana::gif;

namespace {

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

template <class Bytes>
std::string Fnv1a64(const Bytes& bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

const char* ExtensionName(const GifExtension& e) {
    if (dynamic_cast<const GifGraphicControlExtension*>(&e)) return "graphic-control";
    if (dynamic_cast<const GifCommentExtension*>(&e)) return "comment";
    if (dynamic_cast<const GifTextExtension*>(&e)) return "text";
    if (dynamic_cast<const GifLoopExtension*>(&e)) return "loop";
    return "application";
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = (size == 0 || std::fwrite(data, 1, size, f) == size);
    return std::fclose(f) == 0 && ok;
}

int Usage() {
    std::cerr << "usage: gifdump [--indices DIR] [--rgba DIR] FILE\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string indicesDir, rgbaDir, file;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--indices" || arg == "--rgba") && i + 1 < argc) {
            (arg == "--indices" ? indicesDir : rgbaDir) = argv[++i];
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return Usage();
        } else if (file.empty()) {
            file = arg;
        } else {
            return Usage();
        }
    }
    if (file.empty()) return Usage();

    GifImage image;
    std::vector<std::string> warnings;
    image.OnGIFWarning = [&](GifObject*, int, const std::string& message) { warnings.push_back(message); };
    std::string error;
    bool failed = false;
    try {
        image.LoadFromFile(file);
    } catch (const GifError& e) {
        error = e.what();
        failed = true;
    } catch (const torvana::Error& e) {
        std::cerr << "gifdump: " << file << ": " << e.what() << "\n";
        return 2;
    }

    auto outputPath = [](const std::string& dir, size_t n, const char* ext) {
        return dir + "/frame-" + std::to_string(n) + ext;
    };
    if (!indicesDir.empty()) {
        for (size_t i = 0; i < image.frames.Count(); ++i) {
            const auto& pixels = image.frames[i].pixels;
            if (!WriteFile(outputPath(indicesDir, i, ".idx"), pixels.data(), pixels.size())) {
                std::cerr << "gifdump: cannot write " << outputPath(indicesDir, i, ".idx") << "\n";
                return 2;
            }
        }
    }
    if (!rgbaDir.empty() && image.frames.Count() > 0) {
        try {
            GifCompositor compositor(image);
            for (size_t i = 0; i < image.frames.Count(); ++i) {
                const RgbaCanvas& canvas = compositor.Compose(i);
                if (!WriteFile(outputPath(rgbaDir, i, ".rgba"), canvas.pixels.data(), canvas.pixels.size())) {
                    std::cerr << "gifdump: cannot write " << outputPath(rgbaDir, i, ".rgba") << "\n";
                    return 2;
                }
            }
        } catch (const GifError& e) {
            // The picture loaded but cannot be composed (no colour table, a screen too large).
            if (!failed) error = e.what();
            failed = true;
        }
    }

    std::ostringstream out;
    out << "{\"error\": " << (failed ? JsonString(error) : "null") << ", \"warnings\": [";
    for (size_t i = 0; i < warnings.size(); ++i) out << (i ? ", " : "") << JsonString(warnings[i]);
    const GifHeader& h = *image.header;
    out << "], \"screen\": {\"width\": " << h.screenWidth << ", \"height\": " << h.screenHeight
        << ", \"flags\": " << int(h.screenFlags) << ", \"background\": " << int(h.backgroundIndex)
        << ", \"aspect\": " << int(h.aspectByte) << ", \"globalColors\": " << h.globalColors.tripleCount
        << "}, \"frames\": [";
    for (size_t i = 0; i < image.frames.Count(); ++i) {
        const GifFrame& f = image.frames[i];
        const GifGraphicControlExtension* gce = f.controlBlock;
        const GifLoopExtension* loop = nullptr;
        for (const auto& e : f.extensionItems.items)
            if (!loop) loop = dynamic_cast<const GifLoopExtension*>(e.get());
        out << (i ? ", " : "") << "{\"left\": " << f.frameLeft << ", \"top\": " << f.frameTop
            << ", \"width\": " << f.frameWidth << ", \"height\": " << f.frameHeight
            << ", \"flags\": " << int(f.frameFlags) << ", \"localColors\": " << f.localColors.tripleCount
            << ", \"interlaced\": " << (f.IsInterlaced() ? "true" : "false")
            << ", \"empty\": " << (f.IsEmptyFrame() ? "true" : "false") << ", \"transparent\": "
            << (f.TransparentIndex() >= 0 ? std::to_string(f.TransparentIndex()) : "null")
            << ", \"delay\": " << (gce ? std::to_string(gce->delayTime) : "null")
            << ", \"disposal\": " << (gce ? std::to_string(gce->DisposalCode()) : "null")
            << ", \"loopCount\": " << (loop ? std::to_string(loop->loopCount) : "null") << ", \"extensions\": [";
        for (size_t k = 0; k < f.extensionItems.Count(); ++k)
            out << (k ? ", " : "") << '"' << ExtensionName(f.extensionItems[k]) << '"';
        out << "], \"pixels\": \"" << Fnv1a64(f.pixels) << "\"}";
    }
    out << "]}\n";
    std::cout << out.str();
    return failed ? 1 : 0;
}
