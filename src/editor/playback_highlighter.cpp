// SPDX-License-Identifier: MIT
// The sounding notes lit in the editor.
#include "playback_highlighter.h"

#include <QAction>
#include <QScrollBar>
#include <QSettings>
#include <QTextBlock>

#include <algorithm>

#include "ext_memo.h"
#include "playback_score.h"
#include "player_settings.h"
#include "player/player.h"
#include "text_boxes.h"

namespace {

constexpr const char* kFollowKey = "playback/follow";

}  // namespace

PlaybackHighlighter::PlaybackHighlighter(TExtMemo* editor, zan::player::Player* player, const PlaybackScore* score,
                                         QObject* parent)
    : QObject(parent), editor_(editor), player_(player), score_(score),
      follow_(new QAction(UiText("Follow Playback"), this)) {
  follow_->setObjectName("FollowPlayback1Click");
  follow_->setCheckable(true);
  follow_->setChecked(userSettings().value(kFollowKey, false).toBool());
  connect(follow_, &QAction::toggled, this, [](bool on) { userSettings().setValue(kFollowKey, on); });
}

void PlaybackHighlighter::refresh() {
  const bool playing = player_->mode() == zan::player::Mode::Playing;
  showAt(playing ? player_->positionMs() : -1);
}

void PlaybackHighlighter::showAt(int64_t ms) {
  std::vector<Lit> now;
  int newestLine = -1;
  int64_t newestStart = -1;
  // Followed: the track of the caret's line, else whichever note is newest.
  const int followChunk = follow_->isChecked() ? caretChunk() : -1;
  if (ms >= 0 && !score_->empty()) {
    const int64_t us = ms * 1000;
    for (int i : score_->soundingAt(us)) {
      const PlaybackScore::Note& n = score_->notes()[static_cast<size_t>(i)];
      if (n.line < 0 || player_->trackSilenced(n.chunk)) continue;
      const double left = n.endUs > n.startUs ? static_cast<double>(n.endUs - us) / static_cast<double>(n.endUs - n.startUs) : 0;
      now.push_back(Lit{n.line, n.from, n.from < 0 ? 0 : n.to - n.from, std::clamp(left, 0.0, 1.0)});
      if (n.startUs > newestStart && (followChunk < 0 || n.chunk == followChunk)) {
        newestStart = n.startUs;
        newestLine = n.line;
      }
    }
  }
  // Notes on one place (a loop's passes, a macro's notes) light it once, at the strongest.
  std::sort(now.begin(), now.end(), [](const Lit& a, const Lit& b) {
    return std::tie(a.line, a.from, a.length, b.strength) < std::tie(b.line, b.from, b.length, a.strength);
  });
  now.erase(std::unique(now.begin(), now.end(),
                        [](const Lit& a, const Lit& b) { return a.line == b.line && a.from == b.from && a.length == b.length; }),
            now.end());
  const bool same = now.size() == lit_.size() &&
                    std::equal(now.begin(), now.end(), lit_.begin(), [](const Lit& a, const Lit& b) {
                      return a.line == b.line && a.from == b.from && a.length == b.length &&
                             std::abs(a.strength - b.strength) < 0.02;
                    });
  if (!same) {
    lit_ = std::move(now);
    apply();
  }
  if (follow_->isChecked() && newestLine >= 0) {
    // Scrolled so that the line stands in view, a third from the top.
    QScrollBar* bar = editor_->verticalScrollBar();
    const int visible = std::max(1, editor_->viewport()->height() / std::max(1, editor_->fontMetrics().lineSpacing()));
    if (newestLine < bar->value() || newestLine >= bar->value() + visible - 1) bar->setValue(newestLine - visible / 3);
  }
}

int PlaybackHighlighter::caretChunk() {
  const int line = editor_->textCursor().blockNumber();
  if (line != caretLine_ || score_->generation() != caretScore_) {
    caretLine_ = line;
    caretScore_ = score_->generation();
    caretChunk_ = -1;
    for (const PlaybackScore::Note& n : score_->notes())
      if (n.line == line) {
        caretChunk_ = n.chunk;
        break;
      }
  }
  return caretChunk_;
}

void PlaybackHighlighter::apply() {
  QList<QTextEdit::ExtraSelection> selections;
  QTextDocument* doc = editor_->document();
  for (const Lit& l : lit_) {
    const QTextBlock block = doc->findBlockByNumber(l.line);
    if (!block.isValid()) continue;
    QTextEdit::ExtraSelection s;
    QColor colour = tint_;
    colour.setAlphaF(0.25 + 0.6 * l.strength);
    s.format.setBackground(colour);
    s.cursor = QTextCursor(block);
    if (l.from < 0) {
      s.format.setProperty(QTextFormat::FullWidthSelection, true);
    } else {
      const int length = block.length() - 1;
      s.cursor.setPosition(block.position() + std::min(l.from, length));
      s.cursor.setPosition(block.position() + std::min(l.from + l.length, length), QTextCursor::KeepAnchor);
    }
    selections << s;
  }
  editor_->setOwnSelections(TExtMemo::SelectionOwner::SoundingNotes, selections);
}
