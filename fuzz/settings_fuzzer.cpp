// SPDX-License-Identifier: MIT
// Reads arbitrary bytes as the editor's settings file "zanpad_reg.ini". A
// damaged file must be refused without a crash, a hang or a leak, and leave
// the settings as they were. Half of the inputs damage a good file in place,
// so that the fuzzer reaches the records behind the first one.
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>

#include "settings_file.h"

namespace {

QTemporaryDir* gDir = nullptr;  // removed at exit
QByteArray gGood;  // a file as the editor writes it

QString path() { return gDir->filePath("zanpad_reg.ini"); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  static QTemporaryDir dir;
  gDir = &dir;
  EditorSettings defaults;
  if (!writeSettingsFile(path(), defaults)) std::abort();
  std::ifstream in(path().toStdString(), std::ios::binary);
  gGood = QByteArray::fromStdString({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArray file;
  if (size > 2 && data[0] & 1) {
    // A good file with the rest of the input written over it at an offset.
    file = gGood;
    const auto offset = static_cast<qsizetype>(data[1] % (gGood.size() + 1));
    const QByteArray patch(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));
    file = file.left(offset) + patch + file.mid(offset + patch.size());
  } else {
    file = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  }
  std::ofstream(path().toStdString(), std::ios::binary | std::ios::trunc).write(file.constData(), file.size());
  EditorSettings before;
  before.editMark = false;
  before.errorBeep = false;
  EditorSettings settings = before;
  if (!readSettingsFile(path(), settings) &&
      (settings.editMark != before.editMark || settings.errorBeep != before.errorBeep ||
       settings.background != before.background || settings.font != before.font))
    __builtin_trap();  // a refused file changed the settings
  return 0;
}
