// SPDX-License-Identifier: MIT
// The language reference (docs/reference), carried by the library, and its
// index of topics: what tools outside the editor show for a command or a
// macro (the language server's hover and completion), and the short English
// explanation of each error number.
//
// A topic is a ### heading of a reference page. Its keywords are the code
// words before the heading's dash (`c` `d` `e` ... of the notes, `\3`, `T`,
// `#timebase`), followed by the heading's whole text as shown.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zan {

struct ReferencePage {
  std::string_view name;      // "numbered.md"
  std::string_view markdown;  // UTF-8
};

// Every page of the reference, by file name.
std::span<const ReferencePage> referencePages();

struct ReferenceTopic {
  std::string page;       // "numbered.md"
  std::string pageTitle;  // the page's # heading as shown
  std::string title;      // the heading as shown, "\3 — transpose"
  std::vector<std::string> keywords;
  std::string summary;    // what the heading says after its dash ("transpose"), else the title
  std::string form;       // the first line of the usage block right under the heading, if any
  std::string markdown;   // the topic's text, from its heading to the next heading
};

// The topics of one page, in page order; headings inside code blocks are
// text, not headings.
std::vector<ReferenceTopic> indexReferencePage(std::string_view page, std::string_view markdown);

// The topics of every embedded page, built on first use.
const std::vector<ReferenceTopic>& referenceTopics();

// The topics a look-up offers, as indexes into `topics`, in index order.
// The first of these rounds that finds anything decides:
//   1. a keyword equal to `keyword`;
//   2. a keyword beginning with it;
//   3. and 4. the same ignoring the case of A-Z;
//   5. the longest code keyword that `keyword` begins with, followed by a
//      character that cannot continue a name, so that a macro body with its
//      arguments ("\10(10,?1,...)") still leads to the command it calls.
// Empty when nothing matches or `keyword` is empty.
std::vector<size_t> matchTopics(const std::vector<ReferenceTopic>& topics, std::string_view keyword);

// The short English explanation of error number `number` ("bad argument"),
// as the reference's table of error numbers gives it; "" for a number
// without one.
std::string_view errorExplanation(int number);

// A fuller explanation of error number `number`, for tooltips: the first
// sentence of the error's own section of the reference when it has one,
// else the short explanation as a sentence ("Unknown error."); "" for a
// number without either.
std::string errorDescription(int number);

}  // namespace zan
