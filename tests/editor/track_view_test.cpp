// SPDX-License-Identifier: MIT
// The track view: the mapping between the screen and time and pitch, a click
// on a note selecting the text that made it, the caret lighting notes, the
// lanes holding a curve's values, and the main window's dock.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include "background_check.h"
#include "editor_fixture.h"
#include "caret_time.h"
#include "live_score.h"
#include "player/player.h"
#include "track_view.h"
#include "zan/tsmf.h"

namespace {

// Compiles `score` as Run does, recording where each event came from, and
// hands the result to `view`.
void compileInto(TrackView& view, zan::TSmf& compiler, const QString& score) {
  std::vector<zan::EventSource> sources;
  compiler.Reset();
  compiler.sourceLines.assign(toCompilerLines(score.split('\n')).lines);
  compiler.eventSources = &sources;
  compiler.CompileToBytes();
  view.showCompile(compiler);
  compiler.eventSources = nullptr;
}

struct ViewUnderTest {
  TExtMemo editor;
  TrackView view{&editor};
  zan::TSmf compiler;

  explicit ViewUnderTest(const QString& score) {
    editor.setPlainText(score);
    view.resize(900, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    compileInto(view, compiler, score);
  }
  const RollTrack& track(int i) const { return view.canvas()->model()->tracks()[static_cast<size_t>(i)]; }
  // Clicks note `note` of track index `t` where the canvas draws it.
  void clickNote(int t, int note) {
    TrackCanvas* c = view.canvas();
    QRect r = c->noteRect(t, note);
    c->scrollToTick(std::max(0, track(t).notes[static_cast<size_t>(note)].start - 10));
    r = c->noteRect(t, note);
    c->scrollToY(c->geometry().scrollY + r.top() - 100);
    r = c->noteRect(t, note);
    QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(r.left() + 1, r.center().y()));
  }
};

}  // namespace

class TrackViewTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { testDataDir(); }

  void screenMapsToTimeAndPitchAndBack() {
    TrackViewGeometry g;
    g.ticksPerPixel = 4;
    g.leftTick = 960;
    g.scrollY = 30;
    struct Row {
      double tick;
      double x;
    } rows[] = {{960, TrackViewGeometry::kKeysWidth}, {1000, TrackViewGeometry::kKeysWidth + 10}, {560, TrackViewGeometry::kKeysWidth - 100}};
    for (const Row& r : rows) {
      QCOMPARE(g.xOfTick(r.tick), r.x);
      QCOMPARE(g.tickAtX(r.x), r.tick);
    }
    QCOMPARE(g.contentY(g.screenY(123)), 123);
    // Zooming keeps the tick under the pointer where it is.
    const double under = g.tickAtX(500);
    g.zoomAround(1, 500);
    QCOMPARE(g.tickAtX(500), under);

    ViewUnderTest t("t120 o4 c8 g8 > c8\nt60 c4");
    const std::vector<TrackBand>& bands = t.view.canvas()->bands();
    QCOMPARE(bands.size(), size_t{1});
    const TrackBand& b = bands[0];
    QCOMPARE(b.highKey, 60 + TrackViewGeometry::kKeyMargin);
    for (int key : {48, 55, 60}) {
      QCOMPARE(b.keyAtY(b.yOfKey(key)), key);
      QCOMPARE(b.keyAtY(b.yOfKey(key) + b.rowHeight - 1), key);
    }
    QCOMPARE(bandAtY(bands, b.rollTop), 0);
    QCOMPARE(bandAtY(bands, b.bottom), -1);
    // Seconds by the tempo map: 120 a minute, then 60 from three ticks
    // before the fourth note.
    const TrackViewModel* m = t.view.canvas()->model();
    QCOMPARE(m->msOfTick(141), 141 * 500 / 96.0);
    QCOMPARE(m->msOfTick(141 + 96), 141 * 500 / 96.0 + 1000);
    QCOMPARE(m->tickOfMs(141 * 500 / 96.0 + 1000), 237.0);
    // A point on a drawn note finds that note.
    TrackCanvas* c = t.view.canvas();
    QCOMPARE(c->noteAt(c->noteRect(0, 1).center()).note, 1);
    // On the ruler a click seeks to its time, a drag marks a loop.
    QSignalSpy seek(c, &TrackCanvas::seekRequested), loop(c, &TrackCanvas::loopRequested);
    const int x96 = static_cast<int>(c->geometry().xOfTick(96)), x141 = static_cast<int>(c->geometry().xOfTick(141));
    QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(x96, 5));
    QCOMPARE(seek.size(), 1);
    QCOMPARE(seek[0][0].toDouble(), m->msOfTick(c->geometry().tickAtX(x96)));
    QTest::mousePress(c, Qt::LeftButton, {}, QPoint(x141, 5));
    QTest::mouseMove(c, QPoint(x96 - 20, 5));
    QTest::mouseRelease(c, Qt::LeftButton, {}, QPoint(x96, 5));
    QCOMPARE(loop.size(), 1);
    QCOMPARE(c->loopMs(), std::make_pair(seek[0][0].toDouble(), m->msOfTick(c->geometry().tickAtX(x141))));
  }

  void noteOnsPairWithTheirNoteOffs() {
    // Events as a track may hold them: the oldest sounding note of a key and
    // channel ends first, a note-on of velocity 0 ends a note, another
    // channel's note-off ends nothing, an unended note lasts to the track's end.
    zan::TSmf compiler;
    const std::vector<std::pair<int32_t, std::vector<uint8_t>>> events = {
        {-2, {0xB0, 7, 90}}, {0, {0x90, 60, 100}}, {10, {0x90, 60, 50}}, {20, {0x80, 60, 0}},  {30, {0x90, 60, 0}},
        {30, {0x91, 64, 70}}, {40, {0x80, 64, 0}}, {50, {0x81, 64, 0}}, {60, {0x90, 67, 1}}, {90, {0xE0, 0, 64}}};
    for (const auto& [time, bytes] : events) compiler.events[3].Add(time, bytes.data(), static_cast<int32_t>(bytes.size()));
    const TrackViewModel m = TrackViewModel::fromCompile(compiler);
    QCOMPARE(m.tracks().size(), size_t{1});
    const RollTrack& t = m.tracks()[0];
    QCOMPARE(t.number, 3);
    struct Row {
      int32_t start, end;
      int key, velocity;
    } expected[] = {{0, 20, 60, 100}, {10, 30, 60, 50}, {30, 50, 64, 70}, {60, 90, 67, 1}};
    QCOMPARE(t.notes.size(), std::size(expected));
    for (size_t i = 0; i < t.notes.size(); ++i) {
      const RollNote& n = t.notes[i];
      QCOMPARE(std::make_tuple(n.start, n.end, int{n.key}, int{n.velocity}),
               std::make_tuple(expected[i].start, expected[i].end, expected[i].key, expected[i].velocity));
    }
    QCOMPARE(t.lanes.size(), size_t{2});
    QCOMPARE(t.lanes[0].points.front().time, 0);
    QCOMPARE(t.lanes[1].points.front().value, 8192);
  }

  // Bar lines by the score's metre: in 3/4 the fourth beat opens bar 2,
  // in 4/4 it is a beat like the others.
  void barLinesFollowTheMetre() {
    ViewUnderTest t("l4 c c c c c c c c c c c c");
    TrackCanvas* c = t.view.canvas();
    c->fitToWindow();
    QImage image(c->size(), QImage::Format_ARGB32_Premultiplied);
    const int y = c->noteRect(0, 0).top() - 4;  // above the notes, in the track's grid
    auto lineAt = [&](double tick) {
      image.fill(Qt::white);
      QPainter p(&image);
      c->paint(p);
      p.end();
      const int x = static_cast<int>(std::floor(c->geometry().xOfTick(tick)));
      return image.pixelColor(x, y);
    };
    const QColor strong(0xC4, 0xC4, 0xC8), beat(0xE2, 0xE2, 0xE2);
    struct Row {
      Metre metre;
      double tick;
      QColor expected;
    } rows[] = {{{4, 4}, 3 * 96, beat}, {{4, 4}, 4 * 96, strong}, {{3, 4}, 3 * 96, strong}, {{3, 4}, 4 * 96, beat},
                {{6, 8}, 6 * 48, strong}, {{6, 8}, 4 * 48, beat}};
    for (const Row& r : rows) {
      c->setMetre(r.metre);
      QCOMPARE(lineAt(r.tick), r.expected);
    }
  }

  void paintShowsVelocityLitNotesAndCurves() {
    ViewUnderTest t("ACE(0,127,2,0,1,0) v20 c4 v127 e4");
    TrackCanvas* c = t.view.canvas();
    c->fitToWindow();
    c->setHighlighted({});  // the caret's line made them all
    QImage image(c->size(), QImage::Format_ARGB32_Premultiplied);
    auto render = [&] {
      QPainter p(&image);
      c->paint(p);
    };
    render();
    auto at = [&](QPoint pt) { return image.pixelColor(pt); };
    const QColor quiet = at(c->noteRect(0, 0).center()), loud = at(c->noteRect(0, 1).center());
    const QColor track = c->trackColor(0);
    auto distance = [](QColor a, QColor b) { return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()); };
    QVERIFY(distance(loud, track) < distance(quiet, track));
    // The expression ramp climbs from the lane's foot to its head.
    const TrackBand& b = c->bands()[0];
    const int top = c->geometry().screenY(b.lanesTop), bottom = top + TrackViewGeometry::kLaneHeight - 1;
    auto curveY = [&](double tick) {
      const int x = static_cast<int>(c->geometry().xOfTick(tick)) + 1;
      for (int y = top + 1; y < bottom; ++y)
        if (distance(at(QPoint(x, y)), track.darker(130)) < 60) return y;
      return -1;
    };
    QVERIFY(curveY(8) > curveY(96));
    QVERIFY(curveY(96) > curveY(186));
    QVERIFY(curveY(186) > top);
    // A lit note is drawn in the highlight over its own colour.
    c->setHighlighted({{0, 0}});
    render();
    QVERIFY(distance(at(c->noteRect(0, 0).center()), QColor(0xFF, 0xB0, 0x00)) < 10);
  }

  void playheadFollowsPlayback() {
    ViewUnderTest t("l1 c d e f g a b > c");
    double ms = 500;
    t.view.setPositionSource([&] { return ms; });
    t.view.setFollowSource([] { return true; });
    TrackCanvas* c = t.view.canvas();
    c->zoomBy(8, TrackViewGeometry::kKeysWidth);
    QTRY_COMPARE(c->playheadMs(), 500.0);
    // Out of the window, the view pages on to the playhead.
    ms = 12000;
    QTRY_COMPARE(c->playheadMs(), 12000.0);
    const double x = c->geometry().xOfTick(c->model()->tickOfMs(ms));
    QVERIFY(x >= TrackViewGeometry::kKeysWidth && x < c->width());
  }

  void summariesHoldEveryNoteAtItsLoudest() {
    zan::TSmf compiler;
    compiler.sourceLines.setText("l16 [300 c d,50 e,120 f < ] c1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1");
    compiler.CompileToBytes();
    const TrackViewModel m = TrackViewModel::fromCompile(compiler);
    const RollTrack& t = m.tracks()[0];
    QCOMPARE(t.summaries.size(), std::size(TrackViewModel::kSummaryBuckets));
    QCOMPARE(t.wideNotes, std::vector<int32_t>{static_cast<int32_t>(t.notes.size() - 1)});
    for (const NoteSummary& s : t.summaries) {
      for (size_t i = 0; i + 1 < t.notes.size(); ++i) {
        const RollNote& n = t.notes[i];
        for (int b = n.start / s.bucketTicks; b <= (n.end - 1) / s.bucketTicks; ++b) {
          auto cell = std::find_if(s.cells.begin() + s.first[b], s.cells.begin() + s.first[b + 1],
                                   [&](const NoteSummary::Cell& c) { return c.key == n.key; });
          QVERIFY(cell != s.cells.begin() + s.first[b + 1]);
          QVERIFY(cell->velocity >= n.velocity);
        }
      }
    }
  }

  void clickOnANoteSelectsItsText() {
    // A note played by the second pass of a loop, and notes a macro made.
    ViewUnderTest t("_m(ARP, c16 e16 g16)\n[2 d e ]\nr ARP\nf");
    const RollTrack& tr = t.track(0);
    QCOMPARE(tr.notes.size(), size_t{8});
    // The text selected lights the notes it made.
    using Lit = std::vector<std::pair<int, int>>;
    struct Row {
      int note;
      int line;
      const char* text;
      Lit lit;
    } rows[] = {{3, 1, "e", {{0, 1}, {0, 3}}}, {5, 2, "ARP", {{0, 4}, {0, 5}, {0, 6}}}, {7, 3, "f", {{0, 7}}}};
    for (const Row& r : rows) {
      t.editor.setCaret(0);
      t.clickNote(0, r.note);
      QCOMPARE(t.editor.caretLine(), r.line);
      QCOMPARE(t.editor.selText(), QString(r.text));
      QCOMPARE(t.view.canvas()->highlighted(), r.lit);
    }
    // The caret on a note's text lights the notes it made, both passes.
    t.editor.setCaret(t.editor.lineStart(1) + 3);
    QCOMPARE(t.view.canvas()->highlighted(), (Lit{{0, 0}, {0, 2}}));
    // Elsewhere on its line, the caret lights all the line made, the loop's
    // four, and brings them into view.
    TrackCanvas* c = t.view.canvas();
    c->zoomBy(20, TrackViewGeometry::kKeysWidth);
    c->scrollToTick(100000);
    auto shown = [c] {
      int n = 0;
      for (const auto& [track, note] : c->highlighted()) n += c->noteRect(track, note).intersects(c->rect());
      return n;
    };
    t.editor.setCaret(t.editor.lineStart(1) + 2);
    QCOMPARE(c->highlighted().size(), size_t{4});
    QVERIFY(shown() > 0);
  }

  void theInfoBarCountsLinesAsTheGutterDoes() {
    // Lines count from 0 in the gutter and in the error lines: a note of
    // line 2 is named "line 2" when the pointer rests on it.
    ViewUnderTest t("c\n\nd e\nf");
    TrackCanvas* c = t.view.canvas();
    c->fitToWindow();
    struct Row {
      int note;
      const char* line;
    } rows[] = {{0, " line 0 "}, {1, " line 2 "}, {2, " line 2 "}, {3, " line 3 "}};
    for (const Row& r : rows) {
      const QString info = c->describe(c->noteRect(0, r.note).center());
      QVERIFY2(info.contains(r.line), qPrintable(info));
    }
  }

  void aHiddenViewAsksTheCheckForNoNotes() {
    TExtMemo editor;
    LiveScore live(&editor);
    TrackView view(&editor);
    view.hide();
    view.followChecks(live.check());
    editor.setPlainText("t60 c d e");
    QSignalSpy results(live.check(), &BackgroundCheck::resultReady);
    live.check()->checkNow();
    QVERIFY(results.wait(5000));
    const CheckResult r = results.last().at(0).value<CheckResult>();
    QVERIFY(r.music && !r.music->hasTracks() && !r.tracks);
    QCOMPARE(live.caretTime()->textFor(0, 0), QString("bar 1 beat 1  0:00.0  track 0"));  // the timing is there
    QVERIFY(!view.canvas()->model());
    view.show();  // asks again, for the notes
    QTRY_VERIFY(view.canvas()->model() && view.canvas()->model()->noteCount() == 3);
  }

  void lanesHoldACurvesValues() {
    ViewUnderTest t("ACP(0,127,1,0,1,0,0) c1\nACTIVE_CC(74,0,127,4,0,1,6)");
    const std::vector<Lane>& lanes = t.track(0).lanes;
    QCOMPARE(lanes.size(), size_t{2});
    QCOMPARE(lanes[0].kind, 10);
    const std::vector<LanePoint>& pan = lanes[0].points;
    // The ramp of 48 steps: the first event two ticks before 0 is drawn at 0.
    QCOMPARE(pan.front().time, 0);
    QCOMPARE(pan.front().value, 0);
    QCOMPARE(pan[1].time, 6);
    QCOMPARE(pan[1].value, 2);
    QCOMPARE(pan.back().time, 382);
    QCOMPARE(pan.back().value, 127);
    // Shape 6 alternates every step.
    const std::vector<LanePoint>& cc74 = lanes[1].points;
    QCOMPARE(cc74.size(), size_t{13});
    QCOMPARE(cc74[1].value, 127);
    QCOMPARE(cc74[2].value, 0);
    // The view reads the value under the pointer.
    TrackCanvas* c = t.view.canvas();
    c->fitToWindow();
    const TrackBand& b = c->bands()[0];
    const QPoint onPan(static_cast<int>(c->geometry().xOfTick(390)), c->geometry().screenY(b.lanesTop + 5));
    QVERIFY2(c->describe(onPan).contains("CC10 Pan = 127"), qPrintable(c->describe(onPan)));
    // The pointer's place counts bars by the metre too.
    c->setMetre({3, 4});
    const QPoint bar2(static_cast<int>(std::ceil(c->geometry().xOfTick(3 * 96))) + 1, 2);
    QVERIFY2(c->describe(bar2).startsWith("bar 2 beat 1  tick 2"), qPrintable(c->describe(bar2)));
  }

  void theDockShowsAgainAfterARestart() {
    {
      Windows w;
      w.main->show();
      w.main->trackView->toggleAction()->trigger();
      w.main->trackView->canvas()->setRowHeight(9);
    }
    Windows w;
    w.main->show();
    QVERIFY(w.main->trackView->isVisible());
    QCOMPARE(w.main->trackView->canvas()->geometry().rowHeight, 9);
    w.main->trackView->toggleAction()->trigger();  // as the other tests expect it
    w.main->trackView->canvas()->setRowHeight(6);
  }

  void runFillsTheDockAndF6ShowsIt() {
    Windows w;
    QAction* toggle = w.main->trackView->toggleAction();
    QCOMPARE(toggle->shortcut(), QKeySequence(Qt::Key_F6));
    QMenu* view = nullptr;
    for (QAction* a : w.main->menuBar()->actions())
      if (a->text() == "&View") view = a->menu();
    QVERIFY(view && view->actions().contains(toggle));
    w.main->show();
    toggle->trigger();
    QVERIFY(w.main->trackView->isVisible());
    // The check while typing draws the score before any Run.
    w.setText("c d e\n_tr(2) g");
    QTRY_VERIFY(w.main->trackView->canvas()->model() && w.main->trackView->canvas()->model()->noteCount() == 4);
    w.setText("c");
    w.main->RunCompilePlay1Click();
    const TrackViewModel* m = w.main->trackView->canvas()->model();
    QCOMPARE(m->noteCount(), 1);
    w.setText("c d e\n_tr(2) g");
    w.main->RunCompilePlay1Click();
    m = w.main->trackView->canvas()->model();
    QCOMPARE(m->tracks().size(), size_t{2});
    QCOMPARE(m->tracks()[0].notes[1].source.column, 2);  // Run's compile knows each note's text
    QCOMPARE(m->noteCount(), 4);
    // A drag on the ruler loops the player over its range.
    emit w.main->trackView->loopRequested(100, 600);
    QCOMPARE(w.main->mp->loopMs(), (std::pair<int64_t, int64_t>{100, 600}));
    QVERIFY(w.main->action("LoopSelection1Click")->isChecked());
    // The view keeps its place across compiles.
    TrackCanvas* c = w.main->trackView->canvas();
    c->zoomBy(4, TrackViewGeometry::kKeysWidth);
    c->setFolded(2, true);
    const double zoom = c->geometry().ticksPerPixel;
    w.main->RunCompilePlay1Click();
    QCOMPARE(c->geometry().ticksPerPixel, zoom);
    QVERIFY(c->bands()[1].folded);
  }
};

QTEST_MAIN(TrackViewTest)
#include "track_view_test.moc"
