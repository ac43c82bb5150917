#include "ui/preview/LocalPaths.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QUrl>

#ifndef _WIN32
#include <fcntl.h>
#endif

std::string LocalPathOfUrl(const QUrl& url) {
    if (!url.isLocalFile())
        return {};
#ifdef _WIN32
    // Windows names are UTF-16, so every one has a UTF-8 text; the program
    // writes them with its own separator.
    return QDir::toNativeSeparators(url.toLocalFile()).toStdString();
#else
    // Percent escapes that are no UTF-8 stay escaped in the encoded path.
    QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    // As toLocalFile: a host names a share.
    const QString host = url.host(QUrl::FullyEncoded);
    if (!host.isEmpty())
        path = "//" + host.toLatin1() + (path.startsWith('/') ? "" : "/") + path;
    return path.toStdString();
#endif
}

QUrl MediaUrlOfLocalPath(const std::string& path, QFile& alias) {
    alias.close();
    const QString text = QString::fromStdString(path);
#ifdef _WIN32
    return QUrl::fromLocalFile(text);
#else
    if (text.toStdString() == path)
        return QUrl::fromLocalFile(text);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 || !alias.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return QUrl::fromLocalFile(text);
    return QUrl::fromLocalFile(QStringLiteral("/proc/self/fd/") + QString::number(fd));
#endif
}
