#include "ui/preview/LocalPaths.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QUrl>

#include <fcntl.h>

std::string LocalPathOfUrl(const QUrl& url) {
    if (!url.isLocalFile())
        return {};
    // Percent escapes that are no UTF-8 stay escaped in the encoded path.
    QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    // As toLocalFile: a host names a share.
    const QString host = url.host(QUrl::FullyEncoded);
    if (!host.isEmpty())
        path = "//" + host.toLatin1() + (path.startsWith('/') ? "" : "/") + path;
    return path.toStdString();
}

QUrl MediaUrlOfLocalPath(const std::string& path, QFile& alias) {
    alias.close();
    const QString text = QString::fromStdString(path);
    if (text.toStdString() == path)
        return QUrl::fromLocalFile(text);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 || !alias.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return QUrl::fromLocalFile(text);
    return QUrl::fromLocalFile(QStringLiteral("/proc/self/fd/") + QString::number(fd));
}
