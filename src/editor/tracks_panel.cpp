// SPDX-License-Identifier: MIT
// The Tracks dock: what each track is, whether it sounds, and how much.
#include "tracks_panel.h"

#include <QHeaderView>
#include <QIcon>
#include <QPixmap>
#include <QProgressBar>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolButton>

#include "document_io.h"
#include "playback_score.h"
#include "player/gm_names.h"
#include "player/player.h"
#include "text_boxes.h"
#include "track_colors.h"
#include "zan/music.h"
#include "zan/tsmf.h"

namespace {

enum Column { kNumber, kChannel, kProgram, kName, kMute, kSolo, kLevel, kColumns };
constexpr int kLevelMax = 6;       // notes at which the bar is full
constexpr int kLevelBarWidth = 64;  // pixels, the header's "Level" included

// A pressed toggle is filled with `colour`, so that its state shows at a
// glance and not only as a shade of the style's.
QToolButton* toggle(const QString& text, const QString& tip, bool on, const char* colour) {
  auto* b = new QToolButton;
  b->setText(text);
  b->setToolTip(tip);
  b->setCheckable(true);
  b->setChecked(on);
  b->setAutoRaise(true);
  b->setStyleSheet(QString("QToolButton:checked { background-color: %1; color: white; font-weight: bold;"
                           " border-radius: 3px; }")
                       .arg(colour));
  return b;
}

}  // namespace

TracksPanel::TracksPanel(zan::player::Player* player, const PlaybackScore* score, QWidget* parent)
    : QDockWidget(UiText("Tracks"), parent), player_(player), score_(score), table_(new QTableWidget(0, kColumns, this)) {
  setObjectName("TracksPanel");
  table_->setHorizontalHeaderLabels({"#", UiText("Ch"), UiText("Program"), UiText("Name"), UiText("M"), UiText("S"), UiText("Level")});
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->setWordWrap(false);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  // The level bars take what is left, never less than their own width: a
  // section sized to its contents would take a progress bar's wide default.
  table_->horizontalHeader()->setSectionResizeMode(kLevel, QHeaderView::Stretch);
  table_->horizontalHeader()->setMinimumSectionSize(std::min(table_->horizontalHeader()->minimumSectionSize(), kLevelBarWidth));
  setWidget(table_);
}

const std::vector<zan::MusicTrack>& TracksPanel::tracks() const {
  static const std::vector<zan::MusicTrack> none;
  return score_->music() ? score_->music()->tracks() : none;
}

int TracksPanel::rowOf(int trackNumber) const {
  for (int r = 0; r < table_->rowCount(); ++r)
    if (table_->item(r, kNumber)->data(Qt::UserRole).toInt() == trackNumber) return r;
  return -1;
}

std::vector<int> TracksPanel::trackNumbers() const {
  std::vector<int> out;
  for (const zan::MusicTrack& t : tracks()) out.push_back(t.number);
  return out;
}

void TracksPanel::scoreChanged() {
  table_->setRowCount(0);
  for (const zan::MusicTrack& t : tracks()) {
    const int r = table_->rowCount();
    table_->insertRow(r);
    auto* number = new QTableWidgetItem(QString::number(t.number));
    // The track's colour, as the track view draws it.
    QPixmap swatch(10, 10);
    swatch.fill(trackColor(t.number));
    number->setIcon(QIcon(swatch));
    number->setData(Qt::UserRole, t.number);
    table_->setItem(r, kNumber, number);
    table_->setItem(r, kChannel, new QTableWidgetItem(t.channel < 0 ? QString() : QString::number(t.channel + 1)));
    const QString program =
        t.program < 0 ? QString() : QString("%1 %2").arg(t.program).arg(zan::player::generalMidiName(t.program));
    table_->setItem(r, kProgram, new QTableWidgetItem(program));
    table_->setItem(r, kName, new QTableWidgetItem(fromCp932(t.name)));
    QToolButton* mute = toggle(UiText("M"), UiText("Mute: the track plays no notes"), muted_.contains(t.number), "#d03030");
    QToolButton* solo = toggle(UiText("S"), UiText("Solo: only soloed tracks play notes"), soloed_.contains(t.number), "#2f8f2f");
    const int n = t.number;
    connect(mute, &QToolButton::toggled, this, [this, n](bool on) { setMuted(n, on); });
    connect(solo, &QToolButton::toggled, this, [this, n](bool on) { setSoloed(n, on); });
    table_->setCellWidget(r, kMute, mute);
    table_->setCellWidget(r, kSolo, solo);
    auto* bar = new QProgressBar;
    bar->setRange(0, kLevelMax);
    bar->setTextVisible(false);
    bar->setMaximumHeight(table_->fontMetrics().height());
    bar->setMinimumWidth(0);
    table_->setCellWidget(r, kLevel, bar);
  }
  // Wide enough for every column, the bars included.
  table_->resizeColumnsToContents();
  int width = table_->frameWidth() * 2 + table_->verticalScrollBar()->sizeHint().width() + kLevelBarWidth;
  for (int c = 0; c < kLevel; ++c) width += table_->columnWidth(c);
  table_->setMinimumWidth(width);
  applyScoreMutes();
  refreshLevels();
}

void TracksPanel::setMuted(int trackNumber, bool on) {
  if (on) muted_.insert(trackNumber); else muted_.remove(trackNumber);
  if (const int r = rowOf(trackNumber); r >= 0)
    if (auto* b = qobject_cast<QToolButton*>(table_->cellWidget(r, kMute)); b && b->isChecked() != on) b->setChecked(on);
  applyScoreMutes();
}

void TracksPanel::setSoloed(int trackNumber, bool on) {
  if (on) soloed_.insert(trackNumber); else soloed_.remove(trackNumber);
  if (const int r = rowOf(trackNumber); r >= 0)
    if (auto* b = qobject_cast<QToolButton*>(table_->cellWidget(r, kSolo)); b && b->isChecked() != on) b->setChecked(on);
  applyScoreMutes();
}

template <typename ChunkOf>
void TracksPanel::applyToPlayer(ChunkOf chunkOf) {
  // The player counts by the file's chunks, which move as tracks come and go.
  for (int c = 0; c < zan::player::kMutableTracks; ++c) {
    player_->setTrackMuted(c, false);
    player_->setTrackSoloed(c, false);
  }
  for (int n : muted_)
    if (const int c = chunkOf(n); c >= 0) player_->setTrackMuted(c, true);
  for (int n : soloed_)
    if (const int c = chunkOf(n); c >= 0) player_->setTrackSoloed(c, true);
}

void TracksPanel::applyMutes(const zan::TSmf& compiler) {
  applyToPlayer([&](int number) { return compiler.chunkOfTrack(number); });
}

void TracksPanel::applyScoreMutes() {
  // Only a score's own mapping: an empty one (another compile plays) leaves
  // the player as applyMutes() set it.
  if (tracks().empty()) return;
  applyToPlayer([this](int number) {
    for (const zan::MusicTrack& t : tracks())
      if (t.number == number) return t.chunk;
    return -1;
  });
}

int TracksPanel::level(int trackNumber) const {
  const int r = rowOf(trackNumber);
  auto* bar = r >= 0 ? qobject_cast<QProgressBar*>(table_->cellWidget(r, kLevel)) : nullptr;
  return bar ? bar->value() : 0;
}

void TracksPanel::refreshLevels() {
  const bool playing = player_->mode() == zan::player::Mode::Playing;
  std::vector<int> count(tracks().size(), 0);
  if (playing) {
    for (int i : score_->soundingAt(player_->positionMs() * 1000)) {
      const PlaybackScore::Note& n = score_->notes()[static_cast<size_t>(i)];
      if (n.chunk >= 0 && static_cast<size_t>(n.chunk) < count.size() && !player_->trackSilenced(n.chunk)) ++count[static_cast<size_t>(n.chunk)];
    }
  }
  for (int r = 0; r < table_->rowCount() && static_cast<size_t>(r) < count.size(); ++r)
    if (auto* bar = qobject_cast<QProgressBar*>(table_->cellWidget(r, kLevel)))
      bar->setValue(std::min(count[static_cast<size_t>(r)], kLevelMax));
}
