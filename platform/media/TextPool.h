#pragma once
// Makes equal texts of many songs share one copy: an album's title, its artists, a genre
// or a composer is repeated on every song, and a large library would otherwise hold it
// thousands of times. Used by one thread while a library is read.

#include "platform/media/MediaItemProperties.h"

#include <QSet>
#include <QString>

#include <optional>

class TextPool {
public:
    void share(QString& text)
    {
        const auto found = m_texts.constFind(text);
        if (found != m_texts.constEnd())
            text = *found;
        else
            m_texts.insert(text);
    }
    void share(std::optional<QString>& text)
    {
        if (text)
            share(*text);
    }
    // The texts songs have in common (the title and lyrics are each song's own).
    void shareCommonTexts(MediaItemProperties& song)
    {
        share(song.artist);
        share(song.albumArtist);
        share(song.albumTitle);
        share(song.genre);
        share(song.composer);
    }

private:
    QSet<QString> m_texts;
};
