#include "EnglishResources.h"

namespace vaultline::cli {
namespace {

constexpr uint16_t kLanguageEnglishUs = 1033;

}  // namespace

uint16_t EnglishResources::GetLanguage() {
  return kLanguageEnglishUs;
}

std::wstring EnglishResources::ProvidedText(unsigned id) {
  return EnglishText(id);
}

}  // namespace vaultline::cli
