// SPDX-License-Identifier: MIT
// The track view on a million notes: how long one paint of the canvas takes
// (offscreen, into an image of 1600 x 900) while scrolling at several zoom
// levels and while zooming, and how long the view's model takes to build
// from a compile. 30 frames a second is 33 ms a frame.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <map>
#include <memory>

#include "scores.h"
#include "track_view.h"
#include "track_view_model.h"

namespace {

constexpr int kNotes = 1'000'000;
constexpr int kWidth = 1600, kHeight = 900;

// LoopHeavy puts all its notes on one track, the worst case for one band;
// PlainMelody spreads them over 8 tracks, several in the window at once.
enum Score { OneTrack, EightTracks };

std::shared_ptr<const TrackViewModel> modelOf(Score score) {
  static std::map<Score, std::shared_ptr<const TrackViewModel>> cache;
  auto& m = cache[score];
  if (!m) {
    zan::TSmf smf;
    smf.sourceLines.setText(score == OneTrack ? zan::bench::loopScore(kNotes) : zan::bench::plainScore(kNotes));
    smf.CompileToBytes();
    m = std::make_shared<const TrackViewModel>(TrackViewModel::fromCompile(smf));
  }
  return m;
}

// A canvas of the benchmark's size on `score`, its key rows 2 pixels high
// so that the eight-track score shows several tracks at once.
std::unique_ptr<TrackCanvas> canvasOf(Score score) {
  auto canvas = std::make_unique<TrackCanvas>();
  canvas->resize(kWidth, kHeight);
  canvas->setModel(modelOf(score));
  canvas->setRowHeight(2);
  return canvas;
}

void paintOnce(TrackCanvas& canvas, QImage& image) {
  QPainter p(&image);
  canvas.paint(p);
}

// Scrolling: each frame moves a tenth of the window on and paints.
// `beats` is the width of the window in beats; 0 is the whole score.
void BM_Scroll(benchmark::State& state, Score score, double beats) {
  auto canvas = canvasOf(score);
  const TrackViewModel& model = *canvas->model();
  if (beats > 0) canvas->geometry().ticksPerPixel = beats * model.timebase() / (kWidth - TrackViewGeometry::kKeysWidth);
  else canvas->fitToWindow();
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  double tick = model.endTick() / 3.0;
  for (auto _ : state) {
    tick += canvas->visibleTicks() / 10;
    if (tick > model.endTick()) tick = 0;
    canvas->scrollToTick(beats > 0 ? tick : 0);
    paintOnce(*canvas, image);
  }
  state.counters["notes_in_view"] = static_cast<double>(
      beats > 0 ? kNotes * canvas->visibleTicks() / model.endTick() : kNotes);
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Zooming: each frame zooms by a wheel step about the middle, from the whole
// score in to a few beats and back out.
void BM_Zoom(benchmark::State& state, Score score) {
  auto canvas = canvasOf(score);
  canvas->fitToWindow();
  const double fitted = canvas->geometry().ticksPerPixel;
  const double finest = 2.0 * canvas->model()->timebase() / (kWidth - TrackViewGeometry::kKeysWidth);
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  double factor = 1.25;
  for (auto _ : state) {
    canvas->zoomBy(factor, kWidth / 2.0);
    if (canvas->geometry().ticksPerPixel < finest) factor = 1 / 1.25;
    if (canvas->geometry().ticksPerPixel > fitted) factor = 1.25;
    paintOnce(*canvas, image);
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_BuildModel(benchmark::State& state, Score score) {
  zan::TSmf smf;
  smf.sourceLines.setText(score == OneTrack ? zan::bench::loopScore(kNotes) : zan::bench::plainScore(kNotes));
  smf.CompileToBytes();
  for (auto _ : state) benchmark::DoNotOptimize(TrackViewModel::fromCompile(smf));
}

}  // namespace

BENCHMARK_CAPTURE(BM_Scroll, OneTrack_Whole, OneTrack, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Scroll, OneTrack_16384Beats, OneTrack, 16384)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Scroll, OneTrack_1024Beats, OneTrack, 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Scroll, OneTrack_64Beats, OneTrack, 64)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Scroll, OneTrack_4Beats, OneTrack, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Scroll, EightTracks_Whole, EightTracks, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Scroll, EightTracks_16384Beats, EightTracks, 16384)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Scroll, EightTracks_1024Beats, EightTracks, 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Scroll, EightTracks_64Beats, EightTracks, 64)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Scroll, EightTracks_4Beats, EightTracks, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Zoom, OneTrack, OneTrack)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Zoom, EightTracks, EightTracks)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildModel, OneTrack, OneTrack)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildModel, EightTracks, EightTracks)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
