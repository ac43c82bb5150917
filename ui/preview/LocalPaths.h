// File paths between the file system's bytes and Qt. A name need not be valid
// UTF-8 (archives made on other systems); QUrl::toLocalFile and QString
// would turn such bytes into replacement characters. Windows names are UTF-16
// and always have a UTF-8 text.
#pragma once

#include <string>

class QFile;
class QUrl;

// The local path of a file URL as bytes; empty when the URL is no local file.
std::string LocalPathOfUrl(const QUrl& url);

// A URL the media backend can open for `path`. A name that is no valid UTF-8
// is reached through a descriptor that `alias` keeps open while it is used.
QUrl MediaUrlOfLocalPath(const std::string& path, QFile& alias);
