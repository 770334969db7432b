// The contents of one stored file, restored into a private temporary folder
// and read back, for comparing versions; the copy is removed at once.
#pragma once

#include <QByteArray>
#include <QString>

#include "vaultline/Vaultline.h"

// `treePath` is the content tree's path of the file (the source's name
// first). False when it could not be restored or read, with what the engine
// said about it in `problem` (may be empty).
bool ReadStoredFile(IVaultline* engine, unsigned profile, unsigned snapshot,
                    const QString& treePath, QByteArray* contents, QString* problem);
