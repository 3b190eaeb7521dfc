// GIF decoding speed: our reader against giflib (DGifSlurp) and Qt's QImageReader on the same
// bytes in the same run. The corpus is generated here: photo-like pictures of 1000 × 800 and
// 4000 × 3000, a 200-frame 640 × 480 screen recording, a thousand 16 × 16 icons and an
// interlaced picture. Throughput counts output pixels (one byte each) per second; the table at
// the end gives each reader's rate and our ratio to giflib.

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>

#include "gif/gif_image.h"
#include "gif/gif_writer.h"

using namespace giftest;

namespace {

struct Picture {
    std::string name;
    std::vector<Bytes> files;  // one or more GIF files decoded per iteration
    int64_t pixels = 0;        // output pixels per iteration
};

// A smooth field with grain, as a dithered photograph gives: long strings are rare.
Bytes PhotoPixels(int w, int h, std::mt19937& rng) {
    Bytes p(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double v = 127.5 + 60 * std::sin(x * 0.013 + y * 0.007) + 40 * std::cos(y * 0.021 - x * 0.004) +
                             20 * std::sin((x + y) * 0.05);
            const int grain = static_cast<int>(rng() % 9) - 4;
            p[size_t(y) * w + x] = static_cast<uint8_t>(std::clamp(static_cast<int>(v) + grain, 0, 255));
        }
    return p;
}

// A desktop: flat panels, lines of "text", and a window that moves from frame to frame.
Bytes ScreenPixels(int w, int h, int frame) {
    Bytes p(size_t(w) * h, 200);
    for (int y = 0; y < 24; ++y) std::memset(&p[size_t(y) * w], 30, w);
    const int wx = 40 + (frame * 3) % 200, wy = 60 + (frame * 2) % 120;
    for (int y = wy; y < wy + 300 && y < h; ++y)
        for (int x = wx; x < wx + 380 && x < w; ++x) {
            uint8_t v = 255;
            if (y < wy + 20) v = 90;
            else if (((y - wy) / 14) % 2 == 0 && ((x * 7 + y * 3 + frame) % 11) < 4) v = 10;
            p[size_t(y) * w + x] = v;
        }
    return p;
}

std::vector<Picture> MakeCorpus() {
    std::mt19937 rng(7);
    const auto palette = Palette(256);
    std::vector<Picture> corpus;
    auto single = [&](const std::string& name, int w, int h, bool interlaced, const Bytes& pixels) {
        GifBuilder b;
        b.Header(w, h, palette).Image(0, 0, w, h, pixels, 8, interlaced).Trailer();
        corpus.push_back({name, {b.bytes()}, int64_t(w) * h});
    };
    single("photo 1000x800", 1000, 800, false, PhotoPixels(1000, 800, rng));
    single("photo 4000x3000", 4000, 3000, false, PhotoPixels(4000, 3000, rng));
    {
        GifBuilder b;
        b.Header(640, 480, palette).Loop(0);
        for (int f = 0; f < 200; ++f) b.Gce(1, 4).Image(0, 0, 640, 480, ScreenPixels(640, 480, f), 8);
        corpus.push_back({"screen 200x640x480", {b.Trailer().bytes()}, int64_t(200) * 640 * 480});
    }
    {
        Picture icons{"icons 1000x16x16", {}, 0};
        for (int i = 0; i < 1000; ++i) {
            Bytes p(256);
            for (int k = 0; k < 256; ++k) p[k] = static_cast<uint8_t>((k % 16 + k / 16 + i) % 16 < 3 ? 0 : (i + k / 32) % 16);
            GifBuilder b;
            b.Header(16, 16, Palette(16)).Gce(0, 0, 0).Image(0, 0, 16, 16, p, 4).Trailer();
            icons.files.push_back(b.bytes());
            icons.pixels += 256;
        }
        corpus.push_back(std::move(icons));
    }
    {
        Bytes p = PhotoPixels(1200, 900, rng);
        const Bytes screen = ScreenPixels(600, 450, 0);
        for (int y = 0; y < 450; ++y) std::memcpy(&p[size_t(y) * 1200], &screen[size_t(y) * 600], 600);
        single("interlaced 1200x900", 1200, 900, true, p);
    }
    return corpus;
}

std::vector<Picture>& Corpus() {
    static std::vector<Picture> corpus = MakeCorpus();
    return corpus;
}

int64_t DecodeOurs(const Bytes& file) {
    torvana::gif::GifImage image;
    torvana::gif::GifMemoryStream stream(file.data(), file.size());
    image.LoadFromStream(stream);
    int64_t sum = 0;
    for (size_t i = 0; i < image.frames.Count(); ++i) sum += image.frames[i].pixels.back();
    return sum;
}

struct MemoryReader {
    const Bytes* bytes;
    size_t position;
};

int GiflibRead(GifFileType* gif, GifByteType* buffer, int count) {
    auto* r = static_cast<MemoryReader*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(count), r->bytes->size() - r->position);
    std::memcpy(buffer, r->bytes->data() + r->position, n);
    r->position += n;
    return static_cast<int>(n);
}

int64_t DecodeGiflib(const Bytes& file) {
    MemoryReader reader{&file, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, GiflibRead, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) std::abort();
    int64_t sum = 0;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& s = gif->SavedImages[i];
        sum += s.RasterBits[size_t(s.ImageDesc.Width) * s.ImageDesc.Height - 1];
    }
    DGifCloseFile(gif, &error);
    return sum;
}

int64_t DecodeQt(const Bytes& file) {
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    int64_t frames = 0;
    do {
        const QImage image = reader.read();
        if (image.isNull()) break;
        ++frames;
    } while (reader.jumpToNextImage() || reader.canRead());
    if (frames == 0) std::abort();
    return frames;
}

template <int64_t (*Decode)(const Bytes&)>
void Run(benchmark::State& state, const Picture* picture) {
    for (auto _ : state)
        for (const auto& file : picture->files) benchmark::DoNotOptimize(Decode(file));
    state.SetBytesProcessed(state.iterations() * picture->pixels);
}

// Prints the usual console output, then one table with the three readers side by side.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration || !run.counters.count("bytes_per_second")) continue;
            // "reader/picture/real_time"
            std::string name = run.benchmark_name();
            const size_t slash = name.find('/');
            std::string picture = name.substr(slash + 1);
            picture = picture.substr(0, picture.rfind("/real_time"));
            rates_[picture][name.substr(0, slash)] = double(run.counters.at("bytes_per_second")) / 1e6;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n| picture | ours MB/s | giflib MB/s | Qt MB/s | ours / giflib |\n|---|---:|---:|---:|---:|\n");
        for (const auto& picture : Corpus()) {
            auto& r = rates_[picture.name];
            std::printf("| %s | %.1f | %.1f | %.1f | %.2f |\n", picture.name.c_str(), r["ours"], r["giflib"], r["qt"],
                        r["giflib"] > 0 ? r["ours"] / r["giflib"] : 0.0);
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> rates_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    for (const auto& picture : Corpus()) {
        benchmark::RegisterBenchmark(("ours/" + picture.name).c_str(), Run<DecodeOurs>, &picture)->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(("giflib/" + picture.name).c_str(), Run<DecodeGiflib>, &picture)->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(("qt/" + picture.name).c_str(), Run<DecodeQt>, &picture)->Unit(benchmark::kMillisecond)->UseRealTime();
    }
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
