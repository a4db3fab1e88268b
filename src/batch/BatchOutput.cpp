// What every command of tevlora-batch that writes a file has in common: the
// drawing application without a display, and the rule that nothing is written
// over a file the user did not offer.
#include <QGuiApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <algorithm>

#include "BatchCommands.h"

namespace {
// Qt's own notes (such as a missing runtime directory) are not messages of
// this tool; only critical and fatal ones reach stderr.
void DropQtNotes(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  }
}
}  // namespace

std::unique_ptr<QGuiApplication> MakeGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return nullptr;
  qInstallMessageHandler(DropQtNotes);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "tevlora-batch";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

// A bitmap, PNG, JPEG or GIF picture by its first bytes. A bitmap needs more
// than "BM", which a title line may start with: its reserved bytes are zero
// and its information header has one of the known sizes.
namespace {
bool StartsLikeAPicture(const std::string& bytes) {
  const auto startsWith = [&bytes](std::string_view prefix) {
    return bytes.compare(0, prefix.size(), prefix) == 0;
  };
  if (startsWith("\x89PNG\r\n\x1a\n") || startsWith("\xFF\xD8\xFF") || startsWith("GIF87a") ||
      startsWith("GIF89a")) {
    return true;
  }
  if (!startsWith("BM") || bytes.size() < 18) return false;
  if (bytes.compare(6, 4, std::string(4, '\0')) != 0) return false;
  const unsigned header = static_cast<unsigned char>(bytes[14]) |
                          static_cast<unsigned char>(bytes[15]) << 8 |
                          static_cast<unsigned>(static_cast<unsigned char>(bytes[16])) << 16 |
                          static_cast<unsigned>(static_cast<unsigned char>(bytes[17])) << 24;
  return header == 12 || header == 40 || header == 52 || header == 56 || header == 108 ||
         header == 124;
}
}  // namespace

std::optional<std::string> OverwriteRefusal(const std::string& source, const std::string& target,
                                            bool force, bool picture) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(target, error);
  if (!fs::exists(status)) return std::nullopt;
  if (fs::equivalent(source, target, error)) {
    return "\"" + target + "\" is the file being read; choose another name with -o.";
  }
  if (picture) {
    std::string start(32, '\0');
    std::ifstream in(target, std::ios::binary);
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    if (!fs::is_regular_file(status) || !StartsLikeAPicture(start)) {
      return "\"" + target + "\" exists and is not a picture; a picture is never written over it.";
    }
  }
  if (!force) return "\"" + target + "\" exists; give --force to overwrite it.";
  return std::nullopt;
}
