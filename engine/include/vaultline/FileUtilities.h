// File and string utilities exported by the engine library. Paths are wide,
// at most 260 characters. None of them throws on file-system errors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vaultline/Vaultline.h"

// Creates every missing folder of `path`; true when all exist at the end.
VAULTLINE_API bool CheckCreatePath(const std::wstring& path);
// Total size of the files below `path` (32 bits, wrapping); adds the number of
// files to `fileCount`, which the caller initialises.
VAULTLINE_API uint32_t GetDirInfo(const wchar_t* path, int32_t& fileCount);
VAULTLINE_API uint32_t GetFileSize(const wchar_t* path);
VAULTLINE_API bool RemoveFolder(const wchar_t* path);
VAULTLINE_API void SetFileProtection(const wchar_t* path);
VAULTLINE_API void RemoveFileProtection(const wchar_t* path);
VAULTLINE_API void Ltrim(std::wstring& text);
VAULTLINE_API void Rtrim(std::wstring& text);
VAULTLINE_API void DoubleQuotes(std::wstring& text);
VAULTLINE_API void RemoveDoubleQuotes(std::wstring& text);
// Reads one line of semicolon-separated fields of a UTF-16LE file.
VAULTLINE_API bool GetLineParameters(int fileDescriptor, std::vector<std::wstring>& fields);
