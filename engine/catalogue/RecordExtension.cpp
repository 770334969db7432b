#include "catalogue/RecordExtension.h"

namespace vaultline {

namespace {

constexpr int64_t kEraLength = int64_t{1} << 32;
constexpr int64_t kFirstEra = -2;
constexpr int64_t kLastEra = 1;
constexpr int64_t kEarliest = kFirstEra * kEraLength + INT32_MIN;
constexpr int64_t kLatest = kLastEra * kEraLength + INT32_MAX;
constexpr uint32_t kNanosecondBits = 0x3FFFFFFF;
constexpr int kEraShift = 30;
constexpr uint32_t kMaxNanoseconds = 999'999'999;

}  // namespace

int32_t LowSeconds(int64_t seconds) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(seconds)));
}

ExactTime RecordableTime(const ExactTime& time) {
  ExactTime recorded = time;
  if (recorded.nanoseconds > kMaxNanoseconds) recorded.nanoseconds = kMaxNanoseconds;
  if (recorded.seconds < kEarliest) recorded = ExactTime{kEarliest, 0};
  if (recorded.seconds > kLatest) recorded = ExactTime{kLatest, kMaxNanoseconds};
  return recorded;
}

RecordExtension EncodeExtension(uint16_t permissions, const ExactTime& time) {
  const ExactTime recorded = RecordableTime(time);
  const int64_t era = (recorded.seconds - LowSeconds(recorded.seconds)) / kEraLength;
  RecordExtension extension;
  extension.extension = kDirHasMode | kDirHasExactTime | (permissions & kDirModeBits);
  extension.timeExtra = recorded.nanoseconds | (static_cast<uint32_t>(era & 3) << kEraShift);
  return extension;
}

RecordExtension StateOf(const DirEntry& entry) {
  if (!entry.HasTail()) return RecordExtension{entry.extension, entry.timeExtra, 0, -1};
  return RecordExtension{entry.extension, entry.timeExtra, entry.tail.State(),
                         entry.tail.attributesOffset};
}

ExactTime DecodeTime(const DirEntry& entry) {
  if ((entry.extension & kDirHasExactTime) == 0) return ExactTime{entry.modifyTime, 0};
  // The era's two bits are a two's-complement number.
  int64_t era = entry.timeExtra >> kEraShift;
  if (era >= 2) era -= 4;
  return ExactTime{era * kEraLength + entry.modifyTime, entry.timeExtra & kNanosecondBits};
}

}  // namespace vaultline
