// What every command of tevlora-batch that writes a file has in common: the
// drawing application without a display, and the rule that nothing is written
// over a file the user did not offer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "BatchCommands.h"
#include "TextFile.h"

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

// A bitmap, PNG, JPEG, GIF, PDF or SVG picture by its first bytes. A bitmap
// needs more than "BM", which a title line may start with: its reserved bytes
// are zero and its information header has one of the known sizes. An SVG
// starts with its element, or with an XML declaration followed by it.
namespace {
bool StartsLikeAPicture(const std::string& bytes) {
  const auto startsWith = [&bytes](std::string_view prefix) {
    return bytes.compare(0, prefix.size(), prefix) == 0;
  };
  if (startsWith("\x89PNG\r\n\x1a\n") || startsWith("\xFF\xD8\xFF") || startsWith("GIF87a") ||
      startsWith("GIF89a") || startsWith("%PDF-") || startsWith("<svg")) {
    return true;
  }
  if (startsWith("<?xml")) return bytes.find("<svg") != std::string::npos;
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

namespace {
std::string Quoted(const std::string& name) {
  std::string quoted = "\"";
  quoted += PrintableText(name);
  quoted += '"';
  return quoted;
}

// Why a file that exists and is no regular file is never written; nothing
// when it is one.
std::optional<std::string> SpecialFileRefusal(const std::string& target,
                                              const struct stat& status) {
  if (S_ISREG(status.st_mode)) return std::nullopt;
  if (S_ISDIR(status.st_mode)) return Quoted(target) + " is a folder; nothing is written over it.";
  return Quoted(target) +
         " is not a regular file (a device, a pipe or a socket); nothing is written to it.";
}

// The first bytes of an existing regular file, read without waiting: should
// a pipe have taken the file's place since it was looked at, it is refused
// instead of read.
std::optional<std::string> PictureRefusal(const std::string& target) {
  const int descriptor = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  std::string start;
  if (descriptor >= 0) {
    struct stat status {};
    if (::fstat(descriptor, &status) == 0) {
      if (auto refusal = SpecialFileRefusal(target, status)) {
        ::close(descriptor);
        return refusal;
      }
    }
    start.resize(512);
    const ssize_t got = ::read(descriptor, start.data(), start.size());
    start.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    ::close(descriptor);
  }
  if (StartsLikeAPicture(start)) return std::nullopt;
  return Quoted(target) + " exists and is not a picture; a picture is never written over it.";
}
}  // namespace

std::optional<std::string> OverwriteRefusal(const std::string& source, const std::string& target,
                                            bool force, bool picture) {
  // Asked without opening the target: a pipe would block, a device act.
  struct stat status {};
  if (::stat(target.c_str(), &status) != 0) return std::nullopt;
  if (SameFile(source, target)) {
    return Quoted(target) + " is the file being read; choose another name with -o.";
  }
  if (auto refusal = SpecialFileRefusal(target, status)) return refusal;
  if (picture) {
    if (auto refusal = PictureRefusal(target)) return refusal;
  }
  if (!force) return Quoted(target) + " exists; give --force to overwrite it.";
  return std::nullopt;
}

std::optional<std::string> OutputsRefusal(const std::vector<std::string>& sources,
                                          const std::vector<TOutput>& outputs, bool force) {
  for (const TOutput& output : outputs) {
    for (const std::string& source : sources) {
      if (SameFile(source, output.Name)) {
        return Quoted(output.Name) + " is a file being read; choose another name.";
      }
    }
  }
  // Two outputs in one file: the second would quietly replace the first.
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    for (std::size_t k = i + 1; k < outputs.size(); ++k) {
      if (SameFile(outputs[i].Name, outputs[k].Name)) {
        return Quoted(outputs[i].Name) + " and " + Quoted(outputs[k].Name) +
               " are the same file; give each output a name of its own.";
      }
    }
  }
  for (const TOutput& output : outputs) {
    const std::string source = sources.empty() ? std::string() : sources.front();
    if (auto refusal = OverwriteRefusal(source, output.Name, force, output.Picture)) return refusal;
  }
  return std::nullopt;
}

void PrintMessage(const std::string& text) {
  std::fprintf(stderr, "%s\n", PrintableText(text).c_str());
}

namespace {
std::string standardOutputFailure;
}  // namespace

bool FlushStandardOutput() {
  if (std::fflush(stdout) != 0) {
    if (standardOutputFailure.empty()) standardOutputFailure = std::strerror(errno);
    return false;
  }
  if (std::ferror(stdout)) {
    if (standardOutputFailure.empty()) standardOutputFailure = "write error";
    return false;
  }
  return true;
}

void WriteStandardOutput(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() &&
      standardOutputFailure.empty()) {
    standardOutputFailure = std::strerror(errno);
  }
}

std::optional<std::string> StandardOutputFailure() {
  if (FlushStandardOutput()) return std::nullopt;
  return "tevlora-batch: standard output could not be written (" + standardOutputFailure + ")";
}
