#include "platform/DiagnosticLog.h"

#include <unistd.h>

#include <mutex>
#include <string>

#include "platform/Text.h"
#include "platform/WholeTransfer.h"

namespace vaultline::platform {
namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

DiagnosticSink& InstalledSink() {
  static DiagnosticSink sink;
  return sink;
}

void WriteBytesToStandardError(std::string_view bytes) {
  // A failure is dropped: there is nowhere left to report a failing log.
  TransferWhole(TransferKind::kWrite, bytes.size(),
                [&](size_t done) { return ::write(2, bytes.data() + done, bytes.size() - done); });
}

}  // namespace

void WriteStandardError(std::wstring_view text) {
  WriteBytesToStandardError(ToDisplayUtf8(text));
}

void WriteDiagnostic(std::wstring_view text) {
  DiagnosticSink sink;
  {
    std::lock_guard<std::mutex> lock(SinkMutex());
    sink = InstalledSink();
    if (!sink) {
      // Written under the lock so that lines of several threads never mix.
      WriteStandardError(text);
      return;
    }
  }
  // Called outside the lock: a sink may itself log or replace the sink.
  sink(text);
}

void SetDiagnosticSink(DiagnosticSink sink) {
  std::lock_guard<std::mutex> lock(SinkMutex());
  InstalledSink() = std::move(sink);
}

}  // namespace vaultline::platform
