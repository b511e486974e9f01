#pragma once
// Where a test keeps the screens it grabs for a person to look at: the folder ZARUVEDEZ_GRAB_DIR names,
// or else a temporary folder of this test process's own, removed when the process ends. Two suites
// running at once never write the same file.
#include <QDir>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

inline QString grabPath(const QString& fileName) {
    const QString named = qEnvironmentVariable("ZARUVEDEZ_GRAB_DIR");
    if (!named.isEmpty()) return QDir(named).filePath(fileName);
    static QTemporaryDir own(QDir::temp().filePath("zvgrabs-XXXXXX"));
    return QDir(own.path()).filePath(fileName);
}

} // namespace testsupport
