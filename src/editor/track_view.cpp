// SPDX-License-Identifier: MIT
#include "track_view.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QSettings>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>

#include "document_io.h"
#include "ext_memo.h"
#include "background_check.h"
#include "player/gm_names.h"
#include "player_settings.h"
#include "text_boxes.h"
#include "text_columns.h"
#include "track_colors.h"
#include "zan/tsmf.h"

namespace {

using G = TrackViewGeometry;

const QColor kBackground(0xFB, 0xFB, 0xFB);
const QColor kBlackKeyRow(0xEE, 0xEF, 0xF2);
const QColor kKeyColumn(0xF2, 0xF2, 0xF2);
const QColor kGridBeat(0xE2, 0xE2, 0xE2);
const QColor kGridStrong(0xC4, 0xC4, 0xC8);
const QColor kText(0x30, 0x30, 0x30);
const QColor kRuler(0xE8, 0xE8, 0xEC);
const QColor kPlayhead(0x18, 0x18, 0x20);  // dark: no track colour is near it
const QColor kLoop(0x30, 0x80, 0xE0, 0x38);
const QColor kHighlight(0xFF, 0xB0, 0x00);

constexpr int kShades = 8;  // velocity shades of a track's colour
// Below this many notes in a window the notes are drawn one by one, above it
// from the summaries when they are fine enough.
constexpr double kDirectNotes = 20000;

bool isBlackKey(int key) {
  static constexpr std::array<bool, 12> black{false, true, false, true, false, false, true, false, true, false, true, false};
  return black[static_cast<size_t>(key % 12)];
}

// Note names as the language writes them: octave, then the letter, + for sharp.
QString keyName(int key) {
  static const char* names[12] = {"c", "c+", "d", "d+", "e", "f", "f+", "g", "g+", "a", "a+", "b"};
  return QString("o%1%2").arg(key / 12).arg(names[key % 12]);
}

QString laneName(int kind) {
  switch (kind) {
    case Lane::kPitchBend: return UiText("Pitch bend");
    case 1: return UiText("CC1 Mod");
    case 7: return UiText("CC7 Volume");
    case 10: return UiText("CC10 Pan");
    case 11: return UiText("CC11 Expr");
    case 64: return UiText("CC64 Hold");
    case 91: return UiText("CC91 Reverb");
    case 93: return UiText("CC93 Chorus");
    default: return QString("CC%1").arg(kind);
  }
}

QColor blend(const QColor& a, const QColor& b, double f) {
  return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * f),
                          static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * f),
                          static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * f));
}

QString formatTime(double ms, double intervalMs) {
  const bool negative = ms < 0;
  ms = std::abs(ms);
  const int64_t whole = static_cast<int64_t>(std::llround(ms));
  const int64_t minutes = whole / 60000;
  const double seconds = (whole % 60000) / 1000.0;
  const int decimals = intervalMs >= 1000 ? 0 : intervalMs >= 100 ? 1 : 2;
  QString s = QString("%1:%2").arg(minutes).arg(seconds, decimals ? 3 + decimals : 2, 'f', decimals, QLatin1Char('0'));
  return negative ? "-" + s : s;
}

// A tick for the model's queries: rounded down (or up) and kept in range.
int32_t tickFloor(double tick) { return static_cast<int32_t>(std::clamp(std::floor(tick), -2147483648.0, 2147483646.0)); }
int32_t tickCeil(double tick) { return static_cast<int32_t>(std::clamp(std::ceil(tick), -2147483648.0, 2147483646.0)); }

// The smallest power of two of `unit` pixels that is at least `minimum`.
double powerOfTwoStep(double unitPixels, double minimum) {
  double step = 1;
  while (unitPixels * step < minimum && step < (1 << 24)) step *= 2;
  return step;
}

}  // namespace

// ---- TrackCanvas --------------------------------------------------------------

TrackCanvas::TrackCanvas(QWidget* parent) : QWidget(parent) {
  setObjectName("TrackCanvas");
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(200, 80);
}

void TrackCanvas::setMetre(Metre metre) {
  if (metre == metre_) return;
  metre_ = metre;
  update();
}

void TrackCanvas::setModel(std::shared_ptr<const TrackViewModel> model) {
  const bool first = !model_ || model_->empty();
  model_ = std::move(model);
  highlighted_.clear();
  relayout();
  if (first && model_ && !model_->empty()) {
    fitToWindow();
    fitPending_ = true;
  }
  clampScroll();
  update();
  emit viewChanged();
}

void TrackCanvas::setTrackColors(std::function<QColor(int)> colorOf) {
  colorOf_ = std::move(colorOf);
  update();
}

QColor TrackCanvas::trackColor(int trackNumber) const {
  if (colorOf_) {
    QColor c = colorOf_(trackNumber);
    if (c.isValid()) return c;
  }
  return ::trackColor(trackNumber);
}

void TrackCanvas::setHighlighted(std::vector<std::pair<int, int>> notes) {
  highlighted_ = std::move(notes);
  update();
}

void TrackCanvas::revealHighlighted() {
  if (highlighted_.empty()) return;
  const QRect notesArea(G::kKeysWidth, G::kRulerHeight, width() - G::kKeysWidth, height() - G::kRulerHeight);
  for (const auto& [t, n] : highlighted_)
    if (!bands_[static_cast<size_t>(t)].folded && noteRect(t, n).intersects(notesArea)) return;
  const auto [t, n] = highlighted_.front();
  const TrackBand& band = bands_[static_cast<size_t>(t)];
  const RollNote& note = model_->tracks()[static_cast<size_t>(t)].notes[static_cast<size_t>(n)];
  geo_.leftTick = note.start - visibleTicks() / 10;
  geo_.scrollY = band.folded ? band.top : band.yOfKey(note.key) - (height() - G::kRulerHeight) / 2;
  fitPending_ = false;
  clampScroll();
  update();
  emit viewChanged();
}

void TrackCanvas::setPlayheadMs(double ms) {
  if (ms == playheadMs_) return;
  playheadMs_ = ms;
  update();
}

void TrackCanvas::setLoopMs(double fromMs, double toMs) {
  loopFromMs_ = std::min(fromMs, toMs);
  loopToMs_ = std::max(fromMs, toMs);
  update();
}

void TrackCanvas::setFolded(int trackNumber, bool folded) {
  if (folded) folded_.insert(trackNumber);
  else folded_.erase(trackNumber);
  relayout();
  clampScroll();
  update();
  emit viewChanged();
}

void TrackCanvas::relayout() {
  bands_ = model_ ? layoutTracks(*model_, folded_, geo_.rowHeight) : std::vector<TrackBand>{};
}

double TrackCanvas::visibleTicks() const { return std::max(1, width() - G::kKeysWidth) * geo_.ticksPerPixel; }

void TrackCanvas::clampScroll() {
  const double endTick = model_ ? model_->endTick() : 0;
  geo_.leftTick = std::clamp(geo_.leftTick, 0.0, std::max(0.0, endTick - visibleTicks() / 2));
  const int page = std::max(0, height() - G::kRulerHeight);
  geo_.scrollY = std::clamp(geo_.scrollY, 0, std::max(0, contentHeight() - page));
}

void TrackCanvas::fitToWindow() {
  fitPending_ = false;
  const double endTick = model_ && model_->endTick() > 0 ? model_->endTick() : 4.0 * 96;
  geo_.ticksPerPixel = std::clamp(endTick / std::max(1, width() - G::kKeysWidth - 8), G::kMinTicksPerPixel, G::kMaxTicksPerPixel);
  geo_.leftTick = 0;
  clampScroll();
  update();
  emit viewChanged();
}

void TrackCanvas::zoomBy(double factor, double anchorX) {
  fitPending_ = false;
  geo_.zoomAround(geo_.ticksPerPixel / factor, anchorX);
  clampScroll();
  update();
  emit viewChanged();
}

void TrackCanvas::setRowHeight(int pixels) {
  pixels = std::clamp(pixels, G::kMinRowHeight, G::kMaxRowHeight);
  if (pixels == geo_.rowHeight) return;
  geo_.rowHeight = pixels;
  relayout();
  clampScroll();
  update();
  emit viewChanged();
}

void TrackCanvas::scrollToTick(double tick) {
  fitPending_ = false;
  geo_.leftTick = tick;
  clampScroll();
  update();
  emit viewChanged();
}

void TrackCanvas::scrollToY(int contentY) {
  geo_.scrollY = contentY;
  clampScroll();
  update();
  emit viewChanged();
}

TrackCanvas::NoteHit TrackCanvas::noteAt(QPoint at) const {
  NoteHit hit;
  if (!model_ || at.x() < G::kKeysWidth || at.y() < G::kRulerHeight) return hit;
  const int bi = bandAtY(bands_, geo_.contentY(at.y()));
  if (bi < 0) return hit;
  const TrackBand& band = bands_[static_cast<size_t>(bi)];
  const int key = band.keyAtY(geo_.contentY(at.y()));
  if (key < 0) return hit;
  // A note narrower than a few pixels is still hit within them.
  const double tick = std::clamp(geo_.tickAtX(at.x()), 0.0, model_->endTick() + 1.0);
  const double slack = std::min(2 * geo_.ticksPerPixel, 1e6);
  const std::vector<RollNote>& notes = model_->tracks()[static_cast<size_t>(band.trackIndex)].notes;
  double best = 1e300;
  model_->forNotesIn(band.trackIndex, tickFloor(tick - slack), tickCeil(tick + slack) + 1,
                     [&](size_t i) {
                       const RollNote& n = notes[i];
                       if (n.key != key) return;
                       // Inside a note beats near one; among those, the latest start.
                       const double miss = tick < n.start ? n.start - tick : tick >= n.end ? tick - n.end : -n.start * 1e-9;
                       if (miss < best) {
                         best = miss;
                         hit = {band.trackIndex, static_cast<int>(i)};
                       }
                     });
  return hit;
}

QRect TrackCanvas::noteRect(int track, int note) const {
  if (!model_ || track < 0 || static_cast<size_t>(track) >= bands_.size()) return {};
  const TrackBand& band = bands_[static_cast<size_t>(track)];
  const RollNote& n = model_->tracks()[static_cast<size_t>(track)].notes[static_cast<size_t>(note)];
  // Far outside the window a note stands just outside it.
  auto x = [&](double tick) { return static_cast<int>(std::floor(std::clamp(geo_.xOfTick(tick), -1e6, 1e6))); };
  const int x0 = x(n.start);
  const int x1 = std::max(x0 + 1, x(n.end));
  return QRect(x0, geo_.screenY(band.yOfKey(n.key)), x1 - x0, band.rowHeight);
}

QString TrackCanvas::describe(QPoint at) const {
  if (!model_) return {};
  const double tick = geo_.tickAtX(at.x());
  const double tb = model_->timebase();
  const Metre::Position place = metre_.positionOf(static_cast<int64_t>(std::floor(tick)), static_cast<int>(tb));
  QString where = UiText("bar %1 beat %2  tick %3  %4")
                      .arg(place.bar)
                      .arg(place.beat)
                      .arg(static_cast<int64_t>(std::floor(tick)))
                      .arg(formatTime(model_->msOfTick(tick), 10));
  if (at.y() < G::kRulerHeight) return where;
  const int cy = geo_.contentY(at.y());
  const int bi = bandAtY(bands_, cy);
  if (bi < 0) return where;
  const TrackBand& band = bands_[static_cast<size_t>(bi)];
  const RollTrack& t = model_->tracks()[static_cast<size_t>(band.trackIndex)];
  QString s = UiText("track %1  ").arg(t.number);
  const int lane = band.laneAtY(cy);
  if (lane >= 0) {
    const Lane& l = t.lanes[static_cast<size_t>(lane)];
    const size_t p = TrackViewModel::firstPointFor(l, tickFloor(tick));
    QString value = !l.points.empty() && l.points[p].time <= tick ? QString::number(l.points[p].value) : QString("-");
    return s + laneName(l.kind) + " = " + value + "  " + where;
  }
  const int key = band.keyAtY(cy);
  if (key >= 0) s += keyName(key) + "  ";
  const NoteHit hit = noteAt(at);
  if (hit.note >= 0) {
    const RollNote& n = t.notes[static_cast<size_t>(hit.note)];
    s += UiText("note %1 v%2 len %3").arg(keyName(n.key)).arg(n.velocity).arg(n.end - n.start);
    if (n.source.line >= 0) s += UiText(" line %1").arg(n.source.line);  // as the gutter counts
    s += "  ";
  }
  return s + where;
}

// ---- Painting -------------------------------------------------------------------

void TrackCanvas::paintEvent(QPaintEvent*) {
  QPainter p(this);
  paint(p);
}

void TrackCanvas::paint(QPainter& p) {
  const int w = width(), h = height();
  p.fillRect(0, 0, w, h, kBackground);
  p.fillRect(0, G::kRulerHeight, G::kKeysWidth, h - G::kRulerHeight, kKeyColumn);
  if (!model_ || model_->empty()) {
    p.setPen(kText);
    p.drawText(QRect(0, G::kRulerHeight, w, h - G::kRulerHeight), Qt::AlignCenter,
               model_ ? UiText("The last compile made no events") : UiText("Run (F9) to see the score here"));
    paintRuler(p, 0, 0);
    return;
  }
  // The window's ticks, within the score's.
  const double t0 = std::clamp(geo_.tickAtX(G::kKeysWidth), 0.0, model_->endTick() + 1.0);
  const double t1 = std::clamp(geo_.tickAtX(w), t0, model_->endTick() + 1.0);
  p.save();
  p.setClipRect(0, G::kRulerHeight, w, h - G::kRulerHeight);
  for (const TrackBand& band : bands_) {
    if (geo_.screenY(band.top) >= h) break;
    if (geo_.screenY(band.bottom) <= G::kRulerHeight) continue;
    paintBand(p, band, t0, t1);
  }
  // The loop range over everything.
  if (loopToMs_ > loopFromMs_) {
    const double xa = geo_.xOfTick(model_->tickOfMs(loopFromMs_)), xb = geo_.xOfTick(model_->tickOfMs(loopToMs_));
    p.fillRect(QRectF(std::max<double>(xa, G::kKeysWidth), G::kRulerHeight, xb - std::max<double>(xa, G::kKeysWidth), h), QColor(0x30, 0x80, 0xE0, 0x14));
  }
  p.restore();
  paintRuler(p, std::max(0.0, geo_.tickAtX(G::kKeysWidth)), geo_.tickAtX(w));
  if (playheadMs_ >= 0) {
    const double x = geo_.xOfTick(model_->tickOfMs(playheadMs_));
    if (x >= G::kKeysWidth && x < w) {
      p.setPen(QPen(kPlayhead, 1.5));
      p.drawLine(QPointF(x, 0), QPointF(x, h));
    }
  }
}

void TrackCanvas::paintRuler(QPainter& p, double t0, double t1) {
  const int w = width();
  p.fillRect(0, 0, w, G::kRulerHeight, kRuler);
  p.setPen(kGridStrong);
  p.drawLine(0, G::kRulerHeight - 1, w, G::kRulerHeight - 1);
  p.drawLine(0, G::kRulerHeight / 2, w, G::kRulerHeight / 2);
  QFont small = font();
  small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
  p.setFont(small);
  p.setPen(kText);
  p.drawText(QRect(4, 0, G::kKeysWidth - 6, G::kRulerHeight / 2), Qt::AlignVCenter | Qt::AlignLeft, UiText("bar"));
  p.drawText(QRect(4, G::kRulerHeight / 2, G::kKeysWidth - 6, G::kRulerHeight / 2), Qt::AlignVCenter | Qt::AlignLeft, UiText("m:s"));
  if (!model_ || model_->empty()) return;
  p.save();
  p.setClipRect(G::kKeysWidth, 0, w - G::kKeysWidth, G::kRulerHeight);
  if (loopToMs_ > loopFromMs_) {
    const double xa = geo_.xOfTick(model_->tickOfMs(loopFromMs_)), xb = geo_.xOfTick(model_->tickOfMs(loopToMs_));
    p.fillRect(QRectF(xa, 0, xb - xa, G::kRulerHeight), kLoop);
  }
  if (rulerDragging_) p.fillRect(QRect(QPoint(std::min(rulerPressX_, rulerDragX_), 0), QPoint(std::max(rulerPressX_, rulerDragX_), G::kRulerHeight)), kLoop);
  // Bars from 1, as musicians count them, by the score's metre; beats
  // marked between them while there is room.
  const double tb = model_->timebase();
  const double beatTicks = metre_.beatTicks(static_cast<int>(tb)), barTicks = metre_.barTicks(static_cast<int>(tb));
  const double beatPixels = beatTicks / geo_.ticksPerPixel, barPixels = barTicks / geo_.ticksPerPixel;
  const QFontMetrics fm(small);
  const int half = G::kRulerHeight / 2;
  if (beatPixels >= 6) {
    p.setPen(kGridStrong);
    for (int64_t b = static_cast<int64_t>(std::floor(t0 / beatTicks)); b * beatTicks <= t1; ++b) {
      if (b % metre_.beats == 0) continue;
      const double x = geo_.xOfTick(b * beatTicks);
      p.drawLine(QPointF(x, half - 4), QPointF(x, half));
    }
  }
  // Labels at least their own width apart.
  const double barLabel = fm.horizontalAdvance(QString::number(static_cast<int64_t>(t1 / barTicks) + 1)) + 10;
  const auto markStep = static_cast<int64_t>(powerOfTwoStep(barPixels, 6));
  const auto labelStep = std::max(markStep, static_cast<int64_t>(powerOfTwoStep(barPixels, barLabel)));
  for (int64_t k = static_cast<int64_t>(std::floor(t0 / barTicks / markStep)) * markStep; k * barTicks <= t1; k += markStep) {
    const double x = geo_.xOfTick(k * barTicks);
    const bool labelled = k % labelStep == 0;
    p.setPen(labelled ? kText : kGridStrong);
    p.drawLine(QPointF(x, labelled ? 2 : half - 6), QPointF(x, half));
    if (labelled) p.drawText(QPointF(x + 3, half - 4), QString::number(k + 1));
  }
  // Seconds, by the tempo map.
  const double ms0 = model_->msOfTick(t0), ms1 = model_->msOfTick(t1);
  const double msPerPixel = (ms1 - ms0) / std::max(1, w - G::kKeysWidth);
  static constexpr double kIntervals[] = {10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 15000, 30000, 60000, 120000, 300000, 600000, 1800000, 3600000};
  double interval = kIntervals[std::size(kIntervals) - 1];
  for (double i : kIntervals) {
    if (msPerPixel <= 0 || i / msPerPixel >= fm.horizontalAdvance(formatTime(ms1, i)) + 12) {
      interval = i;
      break;
    }
  }
  for (double ms = std::floor(ms0 / interval) * interval; ms <= ms1; ms += interval) {
    const double x = geo_.xOfTick(model_->tickOfMs(ms));
    p.setPen(kText);
    p.drawLine(QPointF(x, half + 1), QPointF(x, G::kRulerHeight - 1));
    p.drawText(QPointF(x + 3, G::kRulerHeight - 5), formatTime(ms, interval));
  }
  p.restore();
}

void TrackCanvas::paintBeatGrid(QPainter& p, QRect area, double t0, double t1) {
  const int tb = model_->timebase();
  const double beatTicks = metre_.beatTicks(tb), barTicks = metre_.barTicks(tb);
  const double beatPixels = beatTicks / geo_.ticksPerPixel;
  auto line = [&](double tick, const QColor& colour) {
    const double x = std::floor(geo_.xOfTick(tick)) + 0.5;
    p.setPen(colour);
    p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
  };
  if (beatPixels >= 8) {
    // Every beat, the bar lines strong.
    for (int64_t b = static_cast<int64_t>(std::floor(t0 / beatTicks)); b * beatTicks <= t1; ++b)
      line(b * beatTicks, b % metre_.beats == 0 ? kGridStrong : kGridBeat);
    return;
  }
  // Too close for beats: bars, every fourth line strong.
  const auto step = static_cast<int64_t>(powerOfTwoStep(barTicks / geo_.ticksPerPixel, 8));
  for (int64_t k = static_cast<int64_t>(std::floor(t0 / barTicks / step)) * step; k * barTicks <= t1; k += step)
    line(k * barTicks, k % (step * 4) == 0 ? kGridStrong : kGridBeat);
}

void TrackCanvas::paintBand(QPainter& p, const TrackBand& band, double t0, double t1) {
  const int w = width();
  const RollTrack& t = model_->tracks()[static_cast<size_t>(band.trackIndex)];
  const QColor colour = trackColor(t.number);
  // Header.
  const QRect header(0, geo_.screenY(band.top), w, G::kHeaderHeight);
  p.fillRect(header, blend(kBackground, colour, 0.35));
  p.fillRect(QRect(header.left(), header.top(), 5, header.height()), colour);
  p.setPen(kText);
  QString title = UiText("%1 Track %2").arg(band.folded ? QChar(0x25B8) : QChar(0x25BE)).arg(t.number);
  if (t.channel >= 0) title += UiText("   ch %1").arg(t.channel + 1);
  if (t.program >= 0) title += QString("   @%1 %2").arg(t.program).arg(zan::player::generalMidiName(t.program));
  if (!t.name.empty()) title += "   " + fromCp932(t.name);
  title += QString(t.notes.size() == 1 ? UiText("   %1 note") : UiText("   %1 notes")).arg(t.notes.size());
  if (!t.lanes.empty()) title += QString(t.lanes.size() == 1 ? UiText(", %1 lane") : UiText(", %1 lanes")).arg(t.lanes.size());
  p.drawText(header.adjusted(10, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, title);
  if (band.folded) return;

  // Piano roll.
  const int rollTop = geo_.screenY(band.rollTop), rollBottom = geo_.screenY(band.rollBottom());
  const QRect roll(G::kKeysWidth, rollTop, w - G::kKeysWidth, rollBottom - rollTop);
  if (roll.height() > 0 && roll.bottom() >= G::kRulerHeight && roll.top() < height()) {
    const int firstKey = std::min(band.highKey, band.keyAtY(std::max(band.rollTop, geo_.contentY(G::kRulerHeight))));
    QFont small = font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    p.setFont(small);
    const int textHeight = QFontMetrics(small).height();
    for (int key = firstKey; key >= band.lowKey; --key) {
      const int y = geo_.screenY(band.yOfKey(key));
      if (y >= height()) break;
      if (isBlackKey(key)) p.fillRect(QRect(G::kKeysWidth, y, roll.width(), band.rowHeight), kBlackKeyRow);
      if (isBlackKey(key)) p.fillRect(QRect(G::kKeysWidth - 14, y, 14, band.rowHeight), QColor(0x50, 0x50, 0x58));
      if (key % 12 == 0) {
        p.setPen(kGridBeat);
        p.drawLine(0, y + band.rowHeight - 1, w, y + band.rowHeight - 1);
      }
      // Every name when the rows are tall enough, else the c of each octave.
      if (band.rowHeight >= textHeight - 2 || key % 12 == 0) {
        p.setPen(kText);
        p.drawText(QRect(2, y + band.rowHeight / 2 - textHeight / 2, G::kKeysWidth - 18, textHeight), Qt::AlignVCenter | Qt::AlignLeft,
                   keyName(key));
      }
    }
    p.save();
    p.setClipRect(roll.intersected(QRect(G::kKeysWidth, G::kRulerHeight, w, height())));
    paintBeatGrid(p, roll, t0, t1);
    paintNotes(p, band, t0, t1);
    p.restore();
  }
  // Lanes.
  for (int li = 0; li < band.laneCount; ++li) {
    const QRect area(G::kKeysWidth, geo_.screenY(band.lanesTop + li * G::kLaneHeight), w - G::kKeysWidth, G::kLaneHeight);
    if (area.bottom() < G::kRulerHeight) continue;
    if (area.top() >= height()) break;
    const Lane& lane = t.lanes[static_cast<size_t>(li)];
    p.fillRect(QRect(0, area.top(), G::kKeysWidth, area.height()), blend(kKeyColumn, colour, 0.12));
    p.fillRect(area, blend(kBackground, colour, 0.05));
    p.setPen(kGridBeat);
    p.drawLine(0, area.top(), w, area.top());
    p.setPen(kText);
    p.drawText(QRect(3, area.top(), G::kKeysWidth - 4, area.height()), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, laneName(lane.kind));
    p.save();
    p.setClipRect(area.intersected(QRect(G::kKeysWidth, G::kRulerHeight, w, height())));
    paintBeatGrid(p, area, t0, t1);
    paintLane(p, lane, colour.darker(130), area, t0, t1);
    p.restore();
  }
}

const NoteSummary* TrackCanvas::summaryFor(const RollTrack& t, double windowTicks) const {
  // Few notes in the window: each is drawn as it is.
  const double endTick = std::max(1, model_->endTick());
  if (static_cast<double>(t.notes.size()) * windowTicks / endTick < kDirectNotes) return nullptr;
  // The coarsest grain whose buckets are a pixel or less.
  for (const NoteSummary& s : t.summaries)
    if (s.bucketTicks <= geo_.ticksPerPixel) return &s;
  return nullptr;
}

void TrackCanvas::paintNotes(QPainter& p, const TrackBand& band, double t0, double t1) {
  const RollTrack& t = model_->tracks()[static_cast<size_t>(band.trackIndex)];
  const QColor colour = trackColor(t.number);
  std::array<QColor, kShades> shades;
  for (int s = 0; s < kShades; ++s) shades[static_cast<size_t>(s)] = blend(kBackground, colour, 0.3 + 0.7 * (s + 1) / kShades);
  // Notes that fall on pixels already painted in their row are merged into
  // one run, so that a window of a million notes draws at most a rectangle
  // per pixel and row; the run takes the loudest velocity.
  struct Run {
    int x0 = 0, x1 = -1;
    int velocity = 0;
  };
  const int rows = band.highKey - band.lowKey + 1;
  std::vector<Run> runs(static_cast<size_t>(std::max(0, rows)));
  std::array<std::vector<QRect>, kShades> rects;
  const int rh = band.rowHeight;
  const int gap = rh >= 4 ? 1 : 0;
  auto flush = [&](int key, Run& r) {
    if (r.x1 < r.x0) return;
    const int y = geo_.screenY(band.yOfKey(key));
    rects[static_cast<size_t>(std::min(kShades - 1, r.velocity * kShades / 128))].push_back(QRect(r.x0, y, r.x1 - r.x0, rh - gap));
    r.x1 = r.x0 - 1;
  };
  const double left = G::kKeysWidth - 2, right = width() + 2;
  auto add = [&](int key, double xa, double xb, int velocity) {
    const int x0 = static_cast<int>(std::floor(std::max(left, xa)));
    int x1 = static_cast<int>(std::floor(std::min(right, xb)));
    // A note of a few pixels keeps a pixel's gap to the next.
    if (x1 - x0 >= 4) --x1;
    x1 = std::max(x1, x0 + 1);
    Run& r = runs[static_cast<size_t>(key - band.lowKey)];
    if (r.x1 >= r.x0 && x0 < r.x1 && x1 > r.x0) {
      r.x0 = std::min(r.x0, x0);
      r.x1 = std::max(r.x1, x1);
      r.velocity = std::max(r.velocity, velocity);
      return;
    }
    flush(key, r);
    r = {x0, x1, velocity};
  };
  const int32_t from = tickFloor(t0), to = tickCeil(t1) + 1;
  if (const NoteSummary* summary = summaryFor(t, t1 - t0)) {
    const int32_t s = summary->bucketTicks;
    const int last = std::min(summary->buckets() - 1, to / s);
    for (int b = from / s; b <= last; ++b) {
      const double xa = geo_.xOfTick(static_cast<double>(b) * s), xb = geo_.xOfTick(static_cast<double>(b + 1) * s);
      for (uint32_t c = summary->first[static_cast<size_t>(b)]; c < summary->first[static_cast<size_t>(b) + 1]; ++c)
        add(summary->cells[c].key, xa, xb, summary->cells[c].velocity);
    }
    for (int32_t i : t.wideNotes) {
      const RollNote& n = t.notes[static_cast<size_t>(i)];
      if (n.start >= to) break;
      if (n.end > from) add(n.key, geo_.xOfTick(n.start), geo_.xOfTick(n.end), n.velocity);
    }
  } else {
    model_->forNotesIn(band.trackIndex, from, to, [&](size_t i) {
      const RollNote& n = t.notes[i];
      add(n.key, geo_.xOfTick(n.start), geo_.xOfTick(n.end), n.velocity);
    });
  }
  for (int key = band.lowKey; key <= band.highKey; ++key) flush(key, runs[static_cast<size_t>(key - band.lowKey)]);
  p.setPen(Qt::NoPen);
  for (int s = 0; s < kShades; ++s) {
    if (rects[static_cast<size_t>(s)].empty()) continue;
    p.setBrush(shades[static_cast<size_t>(s)]);
    p.drawRects(rects[static_cast<size_t>(s)].data(), static_cast<int>(rects[static_cast<size_t>(s)].size()));
  }
  // The notes of the caret's text, lit over the others.
  const int32_t tFrom = tickFloor(t0), tTo = tickCeil(t1) + 1;
  p.setBrush(kHighlight);
  p.setPen(QPen(QColor(0x80, 0x40, 0x00), 1));
  for (const auto& [ti, ni] : highlighted_) {
    if (ti != band.trackIndex) continue;
    const RollNote& n = t.notes[static_cast<size_t>(ni)];
    if (n.start >= tTo || n.end <= tFrom) continue;
    QRect r = noteRect(ti, ni);
    p.drawRect(r.adjusted(0, 0, -1, -1));
  }
  p.setBrush(Qt::NoBrush);
}

void TrackCanvas::paintLane(QPainter& p, const Lane& lane, const QColor& colour, QRect area, double t0, double t1) {
  const double top = area.top() + 3, span = area.height() - 6;
  auto yOf = [&](int value) { return top + span * (1.0 - static_cast<double>(value) / lane.maxValue()); };
  // The centre of pan and of pitch bend.
  if (lane.kind == Lane::kPitchBend || lane.kind == 10) {
    p.setPen(QPen(kGridStrong, 1, Qt::DashLine));
    const double y = yOf(lane.kind == Lane::kPitchBend ? 8192 : 64);
    p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
  }
  if (lane.points.empty()) return;
  // Steps: each value holds until the next. Points on one pixel column are
  // reduced to that column's lowest, highest and last value.
  QPolygonF line;
  size_t i = TrackViewModel::firstPointFor(lane, tickFloor(t0));
  const double left = area.left() - 1, right = area.right() + 2;
  struct Column {
    double x = 0, low = 0, high = 0, last = 0;
  } col;
  bool open = false;
  auto emitColumn = [&] {
    if (!line.isEmpty()) line << QPointF(col.x, line.last().y());
    line << QPointF(col.x, col.low) << QPointF(col.x, col.high) << QPointF(col.x, col.last);
  };
  for (; i < lane.points.size(); ++i) {
    const LanePoint& pt = lane.points[i];
    const double x = std::floor(std::clamp(geo_.xOfTick(pt.time), left, right));
    const double y = yOf(pt.value);
    if (open && x == col.x) {
      col.low = std::min(col.low, y);
      col.high = std::max(col.high, y);
      col.last = y;
    } else {
      if (open) emitColumn();
      col = {x, y, y, y};
      open = true;
    }
    if (pt.time > t1) break;
  }
  if (open) emitColumn();
  if (line.isEmpty()) return;
  if (line.last().x() < right) line << QPointF(right, line.last().y());
  QPolygonF fill = line;
  fill << QPointF(line.last().x(), area.bottom()) << QPointF(line.first().x(), area.bottom());
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(colour.red(), colour.green(), colour.blue(), 0x30));
  p.drawPolygon(fill);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(colour, 1.5));
  p.drawPolyline(line);
}

// ---- Mouse ----------------------------------------------------------------------

void TrackCanvas::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (event->button() != Qt::LeftButton || !model_) return;
  if (at.y() < G::kRulerHeight) {
    if (at.x() < G::kKeysWidth) return;
    rulerPressed_ = true;
    rulerDragging_ = false;
    rulerPressX_ = rulerDragX_ = at.x();
    return;
  }
  const int bi = bandAtY(bands_, geo_.contentY(at.y()));
  if (bi < 0) return;
  const TrackBand& band = bands_[static_cast<size_t>(bi)];
  if (geo_.contentY(at.y()) < band.top + G::kHeaderHeight) {
    const int number = model_->tracks()[static_cast<size_t>(band.trackIndex)].number;
    setFolded(number, !isFolded(number));
    return;
  }
  const NoteHit hit = noteAt(at);
  if (hit.note >= 0) emit noteClicked(hit.track, hit.note);
}

void TrackCanvas::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (rulerPressed_) {
    rulerDragX_ = std::max(G::kKeysWidth, at.x());
    if (std::abs(rulerDragX_ - rulerPressX_) > 3) rulerDragging_ = true;
    update();
  }
  emit hovered(describe(at));
}

void TrackCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (!rulerPressed_ || event->button() != Qt::LeftButton) return;
  rulerPressed_ = false;
  const double a = std::max(0.0, model_->msOfTick(std::max(0.0, geo_.tickAtX(rulerPressX_))));
  if (rulerDragging_) {
    rulerDragging_ = false;
    const double b = std::max(0.0, model_->msOfTick(std::max(0.0, geo_.tickAtX(std::max(G::kKeysWidth, static_cast<int>(event->position().x()))))));
    setLoopMs(a, b);
    emit loopRequested(std::min(a, b), std::max(a, b));
  } else {
    emit seekRequested(a);
  }
  update();
}

void TrackCanvas::wheelEvent(QWheelEvent* event) {
  const QPoint delta = event->angleDelta();
  const double steps = (delta.y() != 0 ? delta.y() : delta.x()) / 120.0;
  const Qt::KeyboardModifiers mods = event->modifiers();
  if (mods & Qt::ControlModifier) {
    if (mods & Qt::ShiftModifier) setRowHeight(geo_.rowHeight + (steps > 0 ? 1 : -1));
    else zoomBy(std::pow(1.25, steps), event->position().x());
  } else if ((mods & Qt::ShiftModifier) || delta.x() != 0) {
    scrollToTick(geo_.leftTick - steps * visibleTicks() / 8);
  } else {
    scrollToY(geo_.scrollY - static_cast<int>(steps * 3 * std::max(12, geo_.rowHeight * 4)));
  }
  event->accept();
}

void TrackCanvas::keyPressEvent(QKeyEvent* event) {
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const int page = height() - G::kRulerHeight;
  switch (event->key()) {
    case Qt::Key_Left: scrollToTick(geo_.leftTick - visibleTicks() / 8); break;
    case Qt::Key_Right: scrollToTick(geo_.leftTick + visibleTicks() / 8); break;
    case Qt::Key_Up: scrollToY(geo_.scrollY - 4 * geo_.rowHeight); break;
    case Qt::Key_Down: scrollToY(geo_.scrollY + 4 * geo_.rowHeight); break;
    case Qt::Key_PageUp: scrollToY(geo_.scrollY - page); break;
    case Qt::Key_PageDown: scrollToY(geo_.scrollY + page); break;
    case Qt::Key_Home: scrollToTick(0); break;
    case Qt::Key_End: scrollToTick(model_ ? model_->endTick() - visibleTicks() : 0); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoomBy(1.5, width() / 2.0); break;
    case Qt::Key_Minus: zoomBy(1 / 1.5, width() / 2.0); break;
    case Qt::Key_0:
      if (ctrl) fitToWindow();
      break;
    default: QWidget::keyPressEvent(event); return;
  }
  event->accept();
}

void TrackCanvas::resizeEvent(QResizeEvent*) {
  // Until the user zooms or scrolls, the first compile stays fitted.
  if (fitPending_) {
    fitToWindow();
    fitPending_ = true;
  }
  clampScroll();
  emit viewChanged();
}

// ---- TrackView ------------------------------------------------------------------

TrackView::TrackView(TExtMemo* editor, QWidget* parent)
    : QDockWidget(UiText("Track View"), parent), editor_(editor), canvas_(new TrackCanvas), hbar_(new QScrollBar(Qt::Horizontal)),
      vbar_(new QScrollBar(Qt::Vertical)), info_(new QLabel), poll_(new QTimer(this)) {
  setObjectName("TrackView");
  QAction* toggle = toggleViewAction();
  toggle->setText(UiText("&Track View"));
  toggle->setShortcut(QKeySequence(Qt::Key_F6));
  toggle->setShortcutContext(Qt::ApplicationShortcut);

  auto* body = new QWidget;
  auto* grid = new QGridLayout(body);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);
  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(4, 2, 4, 2);
  auto button = [&](const QString& text, const QString& tip, auto slot) {
    auto* b = new QToolButton;
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    connect(b, &QToolButton::clicked, this, slot);
    bar->addWidget(b);
    return b;
  };
  button(UiText("Fit"), UiText("Fit the whole score to the window"), [this] { canvas_->fitToWindow(); })->setObjectName("TrackViewFit");
  button("+", UiText("Zoom in (Ctrl+wheel)"), [this] { canvas_->zoomBy(1.5, TrackViewGeometry::kKeysWidth); });
  button("-", UiText("Zoom out (Ctrl+wheel)"), [this] { canvas_->zoomBy(1 / 1.5, TrackViewGeometry::kKeysWidth); });
  button(UiText("Keys +"), UiText("Taller key rows (Ctrl+Shift+wheel)"), [this] { canvas_->setRowHeight(canvas_->geometry().rowHeight + 2); });
  button(UiText("Keys -"), UiText("Lower key rows (Ctrl+Shift+wheel)"), [this] { canvas_->setRowHeight(canvas_->geometry().rowHeight - 2); });
  info_->setTextFormat(Qt::PlainText);
  info_->setObjectName("TrackViewInfo");
  bar->addSpacing(8);
  bar->addWidget(info_, 1);
  grid->addLayout(bar, 0, 0, 1, 2);
  grid->addWidget(canvas_, 1, 0);
  grid->addWidget(vbar_, 1, 1);
  grid->addWidget(hbar_, 2, 0);
  grid->setRowStretch(1, 1);
  setWidget(body);

  connect(canvas_, &TrackCanvas::viewChanged, this, &TrackView::syncScrollBars);
  connect(canvas_, &TrackCanvas::hovered, info_, &QLabel::setText);
  connect(hbar_, &QScrollBar::valueChanged, this, [this](int v) {
    if (!syncing_) canvas_->scrollToTick(v);
  });
  connect(vbar_, &QScrollBar::valueChanged, this, [this](int v) {
    if (!syncing_) canvas_->scrollToY(v);
  });
  connect(canvas_, &TrackCanvas::noteClicked, this, &TrackView::selectSourceOf);
  connect(canvas_, &TrackCanvas::seekRequested, this, [this](double ms) { emit seekRequested(static_cast<qint64>(std::llround(ms))); });
  connect(canvas_, &TrackCanvas::loopRequested, this, [this](double a, double b) {
    emit loopRequested(static_cast<qint64>(std::llround(a)), static_cast<qint64>(std::llround(b)));
  });
  if (editor_) connect(editor_, &QPlainTextEdit::cursorPositionChanged, this, &TrackView::showCaret);
  // The playhead is polled only while the dock shows.
  poll_->setInterval(30);
  connect(poll_, &QTimer::timeout, this, &TrackView::pollPosition);
  connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
    if (visible && positionMs_) poll_->start();
    else poll_->stop();
    if (visible) showCaret();
    // The first time it shows, the dock takes a fair share of the window.
    auto* window = qobject_cast<QMainWindow*>(parentWidget());
    if (visible && !sized_ && window && !isFloating()) {
      sized_ = true;
      window->resizeDocks({this}, {window->height() * 9 / 20}, Qt::Vertical);
    }
  });
}

QAction* TrackView::toggleAction() const { return toggleViewAction(); }

void TrackView::readSettings() {
  QSettings q = userSettings();
  canvas_->setRowHeight(q.value("trackView/rowHeight", canvas_->geometry().rowHeight).toInt());
  setVisible(q.value("trackView/shown", false).toBool());
}

void TrackView::writeSettings() const {
  QSettings q = userSettings();
  q.setValue("trackView/shown", toggleViewAction()->isChecked());
  q.setValue("trackView/rowHeight", canvas_->geometry().rowHeight);
}

void TrackView::showCompile(const zan::TSmf& compiler) {
  setModel(std::make_shared<const TrackViewModel>(TrackViewModel::fromCompile(compiler)));
}

void TrackView::setMusic(std::shared_ptr<const zan::Music> music) {
  if (music && music->hasTracks()) setModel(std::make_shared<const TrackViewModel>(std::move(music)));
}

void TrackView::followChecks(BackgroundCheck* check) {
  connect(check, &BackgroundCheck::resultReady, this, [this](const CheckResult& result) {
    canvas_->setMetre(result.metre);
    if (result.tracks) setModel(result.tracks);
  });
  // A hidden view needs no notes: the check then builds only the timing.
  check->setNotesWanted(toggleViewAction()->isChecked());
  connect(toggleViewAction(), &QAction::toggled, check, &BackgroundCheck::setNotesWanted);
}

void TrackView::setModel(std::shared_ptr<const TrackViewModel> model) {
  canvas_->setModel(std::move(model));
  showCaret();
}

void TrackView::setPositionSource(std::function<double()> positionMs) {
  positionMs_ = std::move(positionMs);
  if (positionMs_ && isVisible()) poll_->start();
}

void TrackView::setFollowSource(std::function<bool()> playing) { playing_ = std::move(playing); }

void TrackView::setLoopSource(std::function<std::pair<double, double>()> loopMs) { loopMs_ = std::move(loopMs); }

void TrackView::pollPosition() {
  if (positionMs_) showPosition(positionMs_(), !playing_ || playing_());
}

void TrackView::clear() {
  canvas_->setModel(nullptr);
  canvas_->setPlayheadMs(-1);
  canvas_->setLoopMs(0, 0);
  canvas_->setHighlighted({});
  canvas_->scrollToTick(0);
  canvas_->scrollToY(0);
  info_->clear();
}

void TrackView::showPosition(double ms, bool playing) {
  if (!isVisible()) return;
  if (loopMs_) {
    const auto [from, to] = loopMs_();
    if (std::make_pair(from, to) != canvas_->loopMs()) canvas_->setLoopMs(from, to);
  }
  const double before = canvas_->playheadMs();
  canvas_->setPlayheadMs(ms);
  const TrackViewModel* model = canvas_->model();
  if (!model || ms < 0 || ms == before || !playing) return;
  // Keep the playhead in view: page on when it leaves the window.
  const TrackViewGeometry& g = canvas_->geometry();
  const double x = g.xOfTick(model->tickOfMs(ms));
  if (x < TrackViewGeometry::kKeysWidth || x > canvas_->width() - 8)
    canvas_->scrollToTick(model->tickOfMs(ms) - canvas_->visibleTicks() * 0.05);
}

void TrackView::syncScrollBars() {
  syncing_ = true;
  const TrackViewModel* model = canvas_->model();
  const TrackViewGeometry& g = canvas_->geometry();
  const int visible = static_cast<int>(std::min<double>(INT32_MAX / 2, canvas_->visibleTicks()));
  const int end = model ? model->endTick() : 0;
  hbar_->setRange(0, std::max(0, end - visible / 2));
  hbar_->setPageStep(std::max(1, visible));
  hbar_->setSingleStep(std::max(1, visible / 16));
  hbar_->setValue(static_cast<int>(g.leftTick));
  const int page = std::max(0, canvas_->height() - TrackViewGeometry::kRulerHeight);
  vbar_->setRange(0, std::max(0, canvas_->contentHeight() - page));
  vbar_->setPageStep(std::max(1, page));
  vbar_->setSingleStep(std::max(4, g.rowHeight * 4));
  vbar_->setValue(g.scrollY);
  syncing_ = false;
}

namespace {

// The CP932 byte column of character `chars` of `line`, and back.
int byteColumn(const QString& line, int chars) {
  return columnsOf(line).convert(chars, zan::LineColumns::Utf16, zan::LineColumns::Cp932, true);
}

int charColumn(const QString& line, int byte) {
  const zan::LineColumns columns = columnsOf(line);
  return columns.convert(std::clamp(byte, 0, columns.length(zan::LineColumns::Cp932)), zan::LineColumns::Cp932,
                         zan::LineColumns::Utf16);
}

}  // namespace

void TrackView::selectSourceOf(int track, int note) {
  const TrackViewModel* model = canvas_->model();
  if (!model || !editor_ || track < 0 || static_cast<size_t>(track) >= model->tracks().size()) return;
  const std::vector<RollNote>& notes = model->tracks()[static_cast<size_t>(track)].notes;
  if (note < 0 || static_cast<size_t>(note) >= notes.size()) return;
  const ScoreSpan& s = notes[static_cast<size_t>(note)].source;
  if (s.line < 0 || s.line >= editor_->lineCount()) return;
  const QString text = editor_->line(s.line);
  int from = 0, to = static_cast<int>(text.size());
  if (s.column >= 0) {
    from = charColumn(text, s.column);
    to = std::max(from, charColumn(text, s.end));
  }
  editor_->setSelection(editor_->lineStart(s.line) + from, to - from);
}

void TrackView::showCaret() {
  const TrackViewModel* model = canvas_->model();
  if (!model || !editor_ || !isVisible()) return;
  // A selection (a clicked note's text, say) counts from its start.
  const QTextBlock block = editor_->document()->findBlock(editor_->selStart());
  const int line = block.blockNumber();
  const int column = byteColumn(block.text(), editor_->selStart() - block.position());
  canvas_->setHighlighted(model->notesOfSource(line, column));
  // While the music plays the playhead leads; otherwise the view goes to the
  // caret's notes when none of them shows.
  if (!(playing_ && playing_())) canvas_->revealHighlighted();
}
