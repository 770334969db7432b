#include "DesktopServices.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <string>

#include "vaultline/Text.h"

namespace desktop {

using vaultline::platform::DecodeName;
using vaultline::platform::EncodeName;

namespace {

struct LocaleEntry {
  const char* name;  // language, or language_COUNTRY
  uint32_t id;
};

// Languages alone come after their countries; the first entry of a language
// is its main country.
constexpr LocaleEntry kLocales[] = {
    {"en_US", 1033}, {"en_GB", 2057}, {"en_AU", 3081}, {"en_CA", 4105}, {"en_IE", 6153},
    {"de_DE", 1031}, {"de_CH", 2055}, {"de_AT", 3079}, {"de_LU", 4103}, {"de_LI", 5127},
    {"fr_FR", 1036}, {"fr_BE", 2060}, {"fr_CA", 3084}, {"fr_CH", 4108}, {"es_ES", 3082},
    {"es_MX", 2058}, {"it_IT", 1040}, {"it_CH", 2064}, {"nl_NL", 1043}, {"nl_BE", 2067},
    {"pt_BR", 1046}, {"pt_PT", 2070}, {"sv_SE", 1053}, {"da_DK", 1030}, {"nb_NO", 1044},
    {"fi_FI", 1035}, {"pl_PL", 1045}, {"cs_CZ", 1029}, {"hu_HU", 1038}, {"ro_RO", 1048},
    {"ru_RU", 1049}, {"uk_UA", 1058}, {"el_GR", 1032}, {"tr_TR", 1055}, {"ja_JP", 1041},
    {"ko_KR", 1042}, {"zh_CN", 2052}, {"zh_TW", 1028}, {"he_IL", 1037}, {"ar_SA", 1025},
};
constexpr uint32_t kDefaultLocale = 1033;

uint32_t LookUp(const std::string& key) {
  for (const LocaleEntry& entry : kLocales) {
    if (key == entry.name) return entry.id;
  }
  return 0;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

bool IsPrivateFolder(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return false;
  return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & 077) == 0;
}

std::string EnsurePrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return {};
  return IsPrivateFolder(path) ? path + "/" : std::string();
}

}  // namespace

int AcquireInstanceLock(std::wstring_view name, bool* existedBefore) {
  *existedBefore = false;
  std::wstring folder = UserRuntimeFolder();
  if (folder.empty()) return -1;
  std::string path = EncodeName(folder) + EncodeName(name) + ".lock";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    *existedBefore = errno == EWOULDBLOCK;
    close(fd);
    return -1;
  }
  return fd;
}

void ReleaseInstanceLock(int handle) {
  if (handle >= 0) close(handle);
}

void* LoadLibraryFile(std::wstring_view path) {
  std::string name = EncodeName(path);
  const std::string dll = ".dll";
  if (name.size() >= dll.size() && name.compare(name.size() - dll.size(), dll.size(), dll) == 0) {
    name.replace(name.size() - dll.size(), dll.size(), ".so");
  }
  return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* LibrarySymbol(void* library, const char* name) {
  return library != nullptr ? dlsym(library, name) : nullptr;
}

void FreeLibraryFile(void* library) {
  if (library != nullptr) dlclose(library);
}

uint32_t LocaleIdFromName(std::string_view name) {
  std::string key(name.substr(0, name.find_first_of(".@")));
  if (uint32_t id = LookUp(key)) return id;
  std::string language = key.substr(0, key.find('_'));
  for (const LocaleEntry& entry : kLocales) {
    std::string_view entryName(entry.name);
    if (entryName.substr(0, entryName.find('_')) == language) return entry.id;
  }
  return kDefaultLocale;
}

std::string LocaleNameFromId(uint32_t id) {
  for (const LocaleEntry& entry : kLocales) {
    if (entry.id == id) return entry.name;
  }
  return {};
}

uint32_t UserDefaultLocaleId() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    std::string value = Environment(variable);
    if (!value.empty()) return LocaleIdFromName(value);
  }
  return kDefaultLocale;
}

uint32_t SystemDefaultLocaleId() {
  std::ifstream file("/etc/default/locale");
  std::string line;
  while (std::getline(file, line)) {
    if (line.rfind("LANG=", 0) != 0) continue;
    std::string value = line.substr(5);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    return LocaleIdFromName(value);
  }
  return kDefaultLocale;
}

void SetRuntimeLocaleFromUser() {
  std::setlocale(LC_ALL, "");
}

std::wstring UserRuntimeFolder() {
  std::string runtime = Environment("XDG_RUNTIME_DIR");
  if (!runtime.empty() && IsPrivateFolder(runtime)) return DecodeName(runtime + "/");
  return PrivateTempFolder();
}

std::wstring PrivateTempFolder() {
  std::string runtime = Environment("XDG_RUNTIME_DIR");
  std::string folder = !runtime.empty() && IsPrivateFolder(runtime)
                           ? EnsurePrivateFolder(runtime + "/marrowby")
                           : EnsurePrivateFolder("/tmp/marrowby-" + std::to_string(getuid()));
  return DecodeName(folder);
}

}  // namespace desktop
