#include "catalogue/StatusRecorder.h"

namespace vaultline {

bool StatusRecorder::OnTotalSize(int64_t total) {
  calls_.push_back({Kind::kTotalSize, total});
  return false;
}

bool StatusRecorder::OnFile(int64_t size, const wchar_t* path) {
  calls_.push_back({Kind::kFile, size, 0, 0, path});
  return false;
}

bool StatusRecorder::OnProgress(int64_t done, int64_t currentFileSize) {
  calls_.push_back({Kind::kProgress, done, currentFileSize});
  return false;
}

void StatusRecorder::OnFileDone() {
  calls_.push_back({Kind::kFileDone});
}

void StatusRecorder::OnMessage(int level, const wchar_t* text) {
  calls_.push_back({Kind::kMessage, level, 0, 0, text});
}

bool StatusRecorder::OnSummary(unsigned skippedFiles, unsigned files, int64_t bytes) {
  calls_.push_back({Kind::kSummary, bytes, skippedFiles, files});
  return false;
}

bool StatusRecorder::Replay(IBackupRestoreStatus* sink, bool* cancelled) const {
  if (sink == nullptr) return true;
  for (const Call& call : calls_) {
    switch (call.kind) {
      case Kind::kTotalSize:
        *cancelled = sink->OnTotalSize(call.first);
        break;
      case Kind::kFile:
        *cancelled = sink->OnFile(call.first, call.text.c_str());
        if (*cancelled) return false;
        break;
      case Kind::kProgress:
        *cancelled = sink->OnProgress(call.first, call.second);
        break;
      case Kind::kFileDone:
        sink->OnFileDone();
        break;
      case Kind::kMessage:
        sink->OnMessage(static_cast<int>(call.first), call.text.c_str());
        break;
      case Kind::kSummary:
        *cancelled = sink->OnSummary(static_cast<unsigned>(call.second), call.files, call.first);
        break;
    }
  }
  return true;
}

}  // namespace vaultline
