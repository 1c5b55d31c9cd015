#pragma once
// File URLs over file-system paths kept as the file system's bytes. A Linux file name is
// a string of bytes that need not be valid UTF-8 (a Latin-1 "caf\xe9.mp3" from an old
// archive); decoding it to text and back loses it. These URLs carry every byte
// percent-encoded, so the path that comes back out is the one that went in.

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QUrl>

// A file URL for the absolute path `path` (bytes as the file system has them).
inline QUrl fileURLWithPathBytes(const QByteArray& path)
{
    if (path.isEmpty())
        return QUrl();
    return QUrl::fromEncoded(QByteArrayLiteral("file://") + path.toPercentEncoding("/"), QUrl::StrictMode);
}

// The path bytes of a local file URL; empty for any other URL.
inline QByteArray pathBytesOfFileURL(const QUrl& url)
{
    if (!url.isLocalFile())
        return QByteArray();
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

// A file name as a person should read it: UTF-8 when it is valid UTF-8, else Latin-1
// (the usual encoding of names that are not), so no byte turns into a replacement mark.
inline QString displayNameOfPathBytes(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}
