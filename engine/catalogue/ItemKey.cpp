#include "catalogue/ItemKey.h"

namespace vaultline {

namespace {

void AppendSigned32(std::wstring* text, int32_t value) {
  wchar_t digits[12];
  int used = 0;
  // Widen first so that INT32_MIN negates safely.
  int64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
  do {
    digits[used++] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) text->push_back(L'-');
  while (used > 0) text->push_back(digits[--used]);
}

}  // namespace

ItemKey::ItemKey(std::wstring_view path, int32_t modifyTime, int64_t size, uint32_t attributes,
                 int32_t count) {
  const uint64_t bits = static_cast<uint64_t>(size);
  text_.reserve(path.size() + 48);
  text_.append(path);
  text_.push_back(L'*');
  AppendSigned32(&text_, modifyTime);
  text_.push_back(L'*');
  AppendSigned32(&text_, static_cast<int32_t>(static_cast<uint32_t>(bits >> 32)));
  AppendSigned32(&text_, static_cast<int32_t>(static_cast<uint32_t>(bits)));
  text_.push_back(L'*');
  AppendSigned32(&text_, static_cast<int32_t>(attributes));
  text_.push_back(L'*');
  AppendSigned32(&text_, count);
}

KeyDigest ItemKey::Digest() const {
  __extension__ using Hash128 = unsigned __int128;
  const Hash128 prime = (static_cast<Hash128>(1) << 88) + 0x13B;
  Hash128 hash = (static_cast<Hash128>(0x6c62272e07bb0142ULL) << 64) | 0x62b821756295c58dULL;
  for (wchar_t unit : text_) {
    hash ^= static_cast<uint32_t>(unit);
    hash *= prime;
  }
  return KeyDigest{static_cast<uint64_t>(hash >> 64), static_cast<uint64_t>(hash)};
}

}  // namespace vaultline
