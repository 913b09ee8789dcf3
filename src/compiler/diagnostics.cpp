// SPDX-License-Identifier: MIT
// Message lines: progress, prints and errors, with the one error-line format
// that the editor parses back (the line number after "err(", the detail
// between the first two double quotes).
#include "texts.h"
#include "zan/tsmf.h"

namespace zan {

// Errors before the compile is cut short.
constexpr int kErrorCutOff = 10;

void TSmf::AddMessage(const std::string& line) {
  if (messageSink) messageSink(line);
}

void TSmf::ReportError(int number, const std::string& detail) {
  int32_t t = ptr[curTrack];
  int32_t beat = timebase != 0 ? t / timebase : 0;  // truncates toward zero
  const Text kTable[] = {Text::Err0, Text::Err1, Text::Err2, Text::Err3, Text::Err4, Text::Err5, Text::Err6};
  const std::string& message = (number >= 0 && number <= 6) ? text(kTable[number]) : text(Text::Err0);

  std::string line;
  line.reserve(64 + detail.size());
  line += "err(";
  line += std::to_string(lineIndex);
  line += ")\"";
  line += detail;
  line += "\":";
  line += message;
  line += "\"> _tr<";
  line += std::to_string(curTrack);
  line += "> ptr=";
  line += std::to_string(t);
  line += "<";
  line += std::to_string(beat);
  line += ">";
  line += text(Text::BeatLabel);
  AddMessage(line);
  ++errorsReported;
  if (errorObserver) errorObserver(number, detail);

  if (++errorCount >= kErrorCutOff) {
    AddMessage(text(Text::CutOff));
    endAtNewLastLine();
    errorCount = 0;
  }
}

}  // namespace zan
