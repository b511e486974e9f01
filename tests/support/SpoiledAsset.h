#pragma once
// Damages a photograph on disk: its file under the library's "originals/" (named after the asset's
// identifier) is overwritten with as many bytes that are no picture.
#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>
#include <catch2/catch.hpp>
#include <string>

#include "platform/photos/PhotoLibrary.h"

namespace testsupport {

inline void spoilAsset(const photos::PhotoLibrary& library, const std::string& localIdentifier) {
    const QString uuid = QString::fromStdString(localIdentifier.substr(0, localIdentifier.find('/')));
    QDirIterator it(QString::fromStdString(library.root() + "/originals"), QDir::Files,
                    QDirIterator::Subdirectories);
    int spoiled = 0;
    while (it.hasNext()) {
        QFile f(it.next());
        if (!f.fileName().contains(uuid)) continue;
        const qint64 size = f.size();
        REQUIRE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(size, 'x'));
        ++spoiled;
    }
    REQUIRE(spoiled == 1);
}

} // namespace testsupport
