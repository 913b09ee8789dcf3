// SPDX-License-Identifier: MIT
// The help viewer: the embedded reference pages, their keyword index and
// the look-up that Help (F1) starts.
#include "help_window.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QStyle>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolBar>
#include <QUrlQuery>

#include <algorithm>

#include "editor_text.h"
#include "text_boxes.h"
#include "zan/reference.h"

// The reference lives in the static library, whose resource initialiser the
// linker would drop unless something refers to it; this does, and must stand
// outside any namespace.
static void initHelpResource() { Q_INIT_RESOURCE(help); }

namespace {

const QString kPagesRoot = QStringLiteral(":/reference");
const QString kPagesUrl = QStringLiteral("qrc:/reference/");
const QString kListScheme = QStringLiteral("zanhelp");  // generated list pages

// ATX headings: up to three spaces, one to six "#", then a space or the end.
int headingLevel(const QString& line, QString* text) {
  int i = 0;
  while (i < line.size() && i < 3 && line[i] == QLatin1Char(' ')) ++i;
  int level = 0;
  while (i + level < line.size() && line[i + level] == QLatin1Char('#')) ++level;
  if (level == 0 || level > 6) return 0;
  const int rest = i + level;
  if (rest < line.size() && line[rest] != QLatin1Char(' ') && line[rest] != QLatin1Char('\t')) return 0;
  QString t = line.mid(rest).trimmed();
  // An optional closing run of "#" after a space.
  qsizetype end = t.size();
  while (end > 0 && t[end - 1] == QLatin1Char('#')) --end;
  if (end < t.size() && (end == 0 || t[end - 1] == QLatin1Char(' '))) t = t.left(end).trimmed();
  *text = t;
  return level;
}

bool isFence(const QString& line) {
  const QString t = line.trimmed();
  return t.startsWith(QLatin1String("```")) || t.startsWith(QLatin1String("~~~"));
}

QString shown(const QString& headingText) { return QString(headingText).remove(QLatin1Char('`')); }

// Names every heading of a rendered page with its anchor, so that links with
// a fragment and look-ups land on it. It also sets the heading's weight and
// size over the whole line: the Markdown reader gives a heading that starts
// with a code word (all topic headings do) the plain body font.
// Running it twice changes nothing.
void prepareHeadings(QTextDocument* document) {
  AnchorNamer names;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    const int level = block.blockFormat().headingLevel();
    if (level == 0 || block.length() <= 1) continue;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setAnchor(true);
    format.setAnchorNames({names.next(block.text())});
    format.setFontWeight(QFont::Bold);
    format.setProperty(QTextFormat::FontSizeAdjustment, std::max(4 - level, 0));  // level 1: +3 ... 4 and below: normal
    cursor.mergeCharFormat(format);
    QTextBlockFormat spacing;
    spacing.setTopMargin(level <= 2 ? 14 : 10);  // pixels: a topic starts visibly apart from the last
    cursor.mergeBlockFormat(spacing);
  }
}

// The browser of the help window: it renders the pages from Markdown with
// heading anchors and serves the generated list pages.
class HelpBrowser : public QTextBrowser {
 public:
  HelpBrowser(const QList<HelpTopic>& topics, QWidget* parent) : QTextBrowser(parent), topics_(topics) {}

  static QUrl listUrl(const QString& keyword) {
    QUrl url;
    url.setScheme(kListScheme);
    url.setPath(QStringLiteral("topics"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("keyword"), keyword);
    url.setQuery(query);
    return url;
  }

 protected:
  QVariant loadResource(int type, const QUrl& name) override {
    if (name.scheme() == kListScheme)
      return listPage(QUrlQuery(name).queryItemValue(QStringLiteral("keyword"), QUrl::FullyDecoded));
    return QTextBrowser::loadResource(type, name);
  }

  void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override {
    QTextBrowser::doSetSource(name, type);
    prepareHeadings(document());
    if (name.hasFragment()) scrollToAnchor(name.fragment(QUrl::FullyDecoded));
  }

 private:
  QString listPage(const QString& keyword) const {
    QString html = UiText("<h2>Topics for <code>%1</code></h2>\n<ul>\n").arg(keyword.toHtmlEscaped());
    for (int i : MatchTopics(topics_, keyword)) {
      const HelpTopic& t = topics_[i];
      html += QStringLiteral("<li><a href=\"%1\">%2</a> &nbsp;(%3)</li>\n")
                  .arg(t.url().toString(QUrl::FullyEncoded).toHtmlEscaped(), t.title.toHtmlEscaped(),
                       t.pageTitle.toHtmlEscaped());
    }
    html += UiText("</ul>\n<p><a href=\"%1\">All topics</a></p>\n")
                .arg(THelpWindow::kContentsUrl.toString().toHtmlEscaped());
    return html;
  }

  const QList<HelpTopic>& topics_;
};

}  // namespace

QUrl HelpTopic::url() const {
  QUrl u(kPagesUrl + page);
  u.setFragment(anchor);
  return u;
}

QString HeadingAnchor(const QString& shownText) {
  QString anchor;
  for (QChar c : shownText.toLower()) {
    switch (c.category()) {
      case QChar::Letter_Uppercase:
      case QChar::Letter_Lowercase:
      case QChar::Letter_Titlecase:
      case QChar::Letter_Modifier:
      case QChar::Letter_Other:
      case QChar::Mark_NonSpacing:
      case QChar::Mark_SpacingCombining:
      case QChar::Mark_Enclosing:
      case QChar::Number_DecimalDigit:
      case QChar::Number_Letter:
      case QChar::Number_Other:
      case QChar::Punctuation_Connector:
        anchor += c;
        break;
      default:
        if (c == QLatin1Char('-')) anchor += c;
        if (c == QLatin1Char(' ')) anchor += QLatin1Char('-');
    }
  }
  return anchor;
}

QString AnchorNamer::next(const QString& shownText) {
  const QString anchor = HeadingAnchor(shownText);
  const int used = seen_.value(anchor, 0);
  seen_.insert(anchor, used + 1);
  return used == 0 ? anchor : anchor + QLatin1Char('-') + QString::number(used);
}

QList<HelpTopic> IndexPage(const QString& page, const QString& markdown) {
  // Which headings are topics, and their keywords: the library's index,
  // which zan lsp reads too. The anchors follow the rendered page's rules
  // (Unicode letter classes), so every heading is walked here for them.
  const QByteArray utf8 = markdown.toUtf8();
  const std::vector<zan::ReferenceTopic> indexed =
      zan::indexReferencePage(page.toStdString(), std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
  QList<HelpTopic> topics;
  AnchorNamer names;
  bool inCode = false;
  size_t next = 0;
  for (const QString& line : markdown.split(QLatin1Char('\n'))) {
    if (isFence(line)) inCode = !inCode;
    if (inCode) continue;
    QString text;
    const int level = headingLevel(line, &text);
    if (level == 0) continue;
    const QString anchor = names.next(shown(text));
    if (level != 3 || next >= indexed.size()) continue;
    const zan::ReferenceTopic& t = indexed[next++];
    HelpTopic topic;
    topic.page = page;
    topic.pageTitle = QString::fromStdString(t.pageTitle);
    topic.anchor = anchor;
    topic.title = QString::fromStdString(t.title);
    for (const std::string& k : t.keywords) topic.keywords.append(QString::fromStdString(k));
    topics.append(topic);
  }
  return topics;
}

QList<HelpTopic> LoadHelpIndex() {
  initHelpResource();
  QList<HelpTopic> topics;
  const QDir pages(kPagesRoot);
  for (const QString& page : pages.entryList({QStringLiteral("*.md")}, QDir::Files, QDir::Name)) {
    QFile file(pages.filePath(page));
    if (!file.open(QIODevice::ReadOnly)) continue;
    topics += IndexPage(page, QString::fromUtf8(file.readAll()));
  }
  return topics;
}

QList<int> MatchTopics(const QList<HelpTopic>& topics, const QString& keyword) {
  // The rounds of the look-up are the library's (zan lsp's hover uses them).
  std::vector<zan::ReferenceTopic> plain(static_cast<size_t>(topics.size()));
  for (qsizetype i = 0; i < topics.size(); ++i)
    for (const QString& k : topics[i].keywords) plain[static_cast<size_t>(i)].keywords.push_back(k.toStdString());
  QList<int> found;
  for (size_t i : zan::matchTopics(plain, keyword.toStdString())) found.append(static_cast<int>(i));
  return found;
}

const QUrl THelpWindow::kContentsUrl(kPagesUrl + QStringLiteral("index.md"));

THelpWindow::THelpWindow(QWidget* parent) : QMainWindow(parent), topics_(LoadHelpIndex()) {
  setWindowTitle(UiText("zan Help"));
  resize(720, 560);

  browser_ = new HelpBrowser(topics_, this);
  browser_->setOpenExternalLinks(true);  // web links go to the desktop browser; the pages stay here
  setCentralWidget(browser_);

  QToolBar* bar = addToolBar(UiText("Navigation"));
  bar->setMovable(false);
  QAction* back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), UiText("Back"));
  QAction* forward = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), UiText("Forward"));
  QAction* contents = bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), UiText("Contents"));
  back->setShortcut(QKeySequence::Back);
  forward->setShortcut(QKeySequence::Forward);
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(back, &QAction::triggered, browser_, &QTextBrowser::backward);
  connect(forward, &QAction::triggered, browser_, &QTextBrowser::forward);
  connect(contents, &QAction::triggered, this, &THelpWindow::showContents);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  bar->addSeparator();
  keywordBox_ = new QLineEdit(bar);
  keywordBox_->setPlaceholderText(UiText("Keyword"));
  keywordBox_->setMaximumWidth(200);
  bar->addWidget(keywordBox_);
  connect(keywordBox_, &QLineEdit::returnPressed, this, &THelpWindow::lookUpTyped);

  showContents();
}

void THelpWindow::showContents() { browser_->setSource(kContentsUrl, QTextDocument::MarkdownResource); }

void THelpWindow::lookUp(const QString& keyword) {
  const QList<int> found = MatchTopics(topics_, keyword);
  if (found.isEmpty())
    showContents();
  else if (found.size() == 1)
    browser_->setSource(topics_[found[0]].url(), QTextDocument::MarkdownResource);
  else
    browser_->setSource(HelpBrowser::listUrl(keyword), QTextDocument::HtmlResource);
}

void THelpWindow::lookUpTyped() { lookUp(keywordBox_->text().trimmed()); }

bool THelpWindow::hasTopic(const QString& keyword) const {
  return std::any_of(topics_.begin(), topics_.end(), [&](const HelpTopic& t) { return t.keywords.contains(keyword); });
}

QUrl THelpWindow::source() const { return browser_->source(); }

QTextBrowser* THelpWindow::browser() const { return browser_; }
