// Byte counts as a person reads them: "523 KB", "1.5 GB", in the digits and
// decimal sign of the language in use.
#pragma once

#include <QString>
#include <cstdint>

QString SizeText(int64_t bytes);
