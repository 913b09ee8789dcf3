// SPDX-License-Identifier: MIT
// TrackView: the "Track View" dock. It draws the last compile as a piano
// roll per track with lanes for the controllers and pitch bend under it, a
// ruler of beats and seconds, and the playhead; it is linked both ways to the
// text: a click on a note selects the text that made it, and the caret's line
// lights the notes it made. It owns its canvas, scroll bars and actions; the
// main window hands it each compile and wires seeking and the loop.
#pragma once

#include <QColor>
#include <QDockWidget>
#include <QWidget>

#include <functional>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "metre.h"
#include "track_view_geometry.h"
#include "track_view_model.h"

class BackgroundCheck;
class QAction;
class QLabel;
class QScrollBar;
class QTimer;
class TExtMemo;

namespace zan {
class TSmf;
}

// The drawing surface: paints only what the window shows, from the model's
// time-indexed notes and lane points.
class TrackCanvas : public QWidget {
  Q_OBJECT

 public:
  explicit TrackCanvas(QWidget* parent = nullptr);

  // The first model is fitted to the window; later ones keep the zoom, the
  // scroll position and the folded tracks.
  void setModel(std::shared_ptr<const TrackViewModel> model);
  const TrackViewModel* model() const { return model_.get(); }
  TrackViewGeometry& geometry() { return geo_; }
  const TrackViewGeometry& geometry() const { return geo_; }
  const std::vector<TrackBand>& bands() const { return bands_; }

  void setTrackColors(std::function<QColor(int trackNumber)> colorOf);
  QColor trackColor(int trackNumber) const;
  // Notes drawn lit: (track index, note index) pairs.
  void setHighlighted(std::vector<std::pair<int, int>> notes);
  const std::vector<std::pair<int, int>>& highlighted() const { return highlighted_; }
  // Scrolls to the first lit note when none of them shows.
  void revealHighlighted();
  void setPlayheadMs(double ms);  // below 0: none
  double playheadMs() const { return playheadMs_; }
  void setLoopMs(double fromMs, double toMs);  // an empty range: none
  std::pair<double, double> loopMs() const { return {loopFromMs_, loopToMs_}; }

  void setFolded(int trackNumber, bool folded);
  bool isFolded(int trackNumber) const { return folded_.count(trackNumber) > 0; }
  void fitToWindow();
  void zoomBy(double factor, double anchorX);
  void setRowHeight(int pixels);
  // The bars and beats the ruler counts and the grid draws.
  void setMetre(Metre metre);
  Metre metre() const { return metre_; }
  void scrollToTick(double tick);
  void scrollToY(int contentY);
  int contentHeight() const { return bands_.empty() ? 0 : bands_.back().bottom; }
  double visibleTicks() const;

  struct NoteHit {
    int track = -1;  // track index
    int note = -1;
  };
  NoteHit noteAt(QPoint at) const;
  // The screen rectangle of a note (its row, its length).
  QRect noteRect(int track, int note) const;
  // A text for the point: key, beat, time, and the note there.
  QString describe(QPoint at) const;

  // Paints the whole canvas as paintEvent does; the benchmark paints into an
  // image with it.
  void paint(QPainter& p);

 signals:
  void noteClicked(int track, int note);
  void seekRequested(double ms);
  void loopRequested(double fromMs, double toMs);
  void viewChanged();
  void hovered(const QString& description);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  // Arrows, Page Up/Down, Home and End scroll; + and - zoom; Ctrl+0 fits.
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void relayout();
  void clampScroll();
  void paintRuler(QPainter& p, double t0, double t1);
  void paintBand(QPainter& p, const TrackBand& band, double t0, double t1);
  void paintNotes(QPainter& p, const TrackBand& band, double t0, double t1);
  const NoteSummary* summaryFor(const RollTrack& t, double windowTicks) const;
  void paintLane(QPainter& p, const Lane& lane, const QColor& colour, QRect area, double t0, double t1);
  void paintBeatGrid(QPainter& p, QRect area, double t0, double t1);

  std::shared_ptr<const TrackViewModel> model_;
  Metre metre_;
  TrackViewGeometry geo_;
  std::vector<TrackBand> bands_;
  std::set<int> folded_;  // by track number, kept across compiles
  std::function<QColor(int)> colorOf_;
  std::vector<std::pair<int, int>> highlighted_;
  double playheadMs_ = -1;
  double loopFromMs_ = 0, loopToMs_ = 0;
  // A press on the ruler: a click seeks, a drag marks the loop.
  bool fitPending_ = false;  // the first compile is fitted again on each resize
  bool rulerPressed_ = false;
  bool rulerDragging_ = false;
  int rulerPressX_ = 0;
  int rulerDragX_ = 0;
};

class TrackView : public QDockWidget {
  Q_OBJECT

 public:
  // Follows `editor`'s caret and selects text in it.
  explicit TrackView(TExtMemo* editor, QWidget* parent = nullptr);

  // "&Track View" (F6): shows and hides the dock.
  QAction* toggleAction() const;
  // Whether the dock shows and the key rows' height, kept across restarts
  // with the user's settings.
  void readSettings();
  void writeSettings() const;
  TrackCanvas* canvas() const { return canvas_; }

  // Draws the compile `compiler` has just made (its events, in memory).
  void showCompile(const zan::TSmf& compiler);
  // Draws a compile's music (one built with its tracks; else nothing changes).
  void setMusic(std::shared_ptr<const zan::Music> music);
  void setModel(std::shared_ptr<const TrackViewModel> model);
  // Draws each result of `check`, and asks it for the notes only while the
  // dock is shown.
  void followChecks(BackgroundCheck* check);
  // Where playback stands, in milliseconds (below 0 when nothing is open):
  // the window's playback clock hands it over with each tick. A view on its
  // own may instead be given a source, polled while the dock shows.
  void showPosition(double ms, bool playing);
  void setPositionSource(std::function<double()> positionMs);
  // Whether the playhead should be kept in view (playback is running).
  void setFollowSource(std::function<bool()> playing);
  // The range playback loops over, in milliseconds ({0, 0} for none);
  // polled with the position.
  void setLoopSource(std::function<std::pair<double, double>()> loopMs);

  // Another document: no notes, no playhead, no loop, the scroll at the
  // start and nothing in the info bar.
  void clear();

  // Puts the caret on the text that made the note and selects it.
  void selectSourceOf(int track, int note);
  // Lights the notes made by the caret's line (or the text at the caret).
  void showCaret();

 signals:
  void seekRequested(qint64 ms);
  void loopRequested(qint64 fromMs, qint64 toMs);

 private:
  void syncScrollBars();
  void pollPosition();

  TExtMemo* editor_;
  TrackCanvas* canvas_;
  QScrollBar* hbar_;
  QScrollBar* vbar_;
  QLabel* info_;
  QTimer* poll_;
  bool syncing_ = false;
  bool sized_ = false;  // given its first height
  std::function<double()> positionMs_;
  std::function<bool()> playing_;
  std::function<std::pair<double, double>()> loopMs_;
};
