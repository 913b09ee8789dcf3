// SPDX-License-Identifier: MIT
// TracksPanel: the "Tracks" dock. It lists the tracks of the last Run's
// music model that have events (number, channel, first program by its General MIDI name, the
// track's name), with a mute and a solo toggle that act on the player at
// once, and a small bar of the notes each sounds now, read from the player's
// position on the panel's own timer.
#pragma once

#include <QDockWidget>
#include <QSet>

#include <vector>

class QProgressBar;
class QTableWidget;
class QToolButton;
class PlaybackScore;

namespace zan {
struct MusicTrack;
class TSmf;
namespace player {
class Player;
}
}  // namespace zan

class TracksPanel : public QDockWidget {
  Q_OBJECT
 public:
  TracksPanel(zan::player::Player* player, const PlaybackScore* score, QWidget* parent = nullptr);

  // The score was built anew: the rows follow, mutes and solos kept by
  // track number and given to the player again.
  void scoreChanged();
  // A file was opened from `compiler`'s last compile: the mutes and solos go
  // to its chunks before it plays (the rows follow with scoreChanged()).
  void applyMutes(const zan::TSmf& compiler);

  // For the tests and the menus: the rows' track numbers, and the toggles.
  std::vector<int> trackNumbers() const;
  void setMuted(int trackNumber, bool on);
  void setSoloed(int trackNumber, bool on);
  int level(int trackNumber) const;  // notes sounding now, as the bar shows them
  QTableWidget* table() const { return table_; }

 public slots:
  void refreshLevels();

 private:
  // Gives the mutes and solos to the player, a track's chunk by `chunkOf`.
  template <typename ChunkOf>
  void applyToPlayer(ChunkOf chunkOf);
  void applyScoreMutes();
  int rowOf(int trackNumber) const;
  const std::vector<zan::MusicTrack>& tracks() const;  // the score's, from its music model

  zan::player::Player* player_;
  const PlaybackScore* score_;
  QTableWidget* table_;
  QSet<int> muted_, soloed_;  // by track number
};
