#include "SizeText.h"

#include "SnapshotTimeText.h"

QString SizeText(int64_t bytes) {
  // KB, MB and GB of 1024, as the rest of the program counts; Qt writes the
  // first "kB", every other text of the program "KB".
  QString text = DisplayLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
  if (text.endsWith(QStringLiteral(" kB"))) text.replace(text.size() - 2, 1, u'K');
  return text;
}
