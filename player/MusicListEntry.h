#pragma once
// One entry of a list on the list screen and of the play queue: a one-song collection from
// a library query (its song is the representative item), a song itself (a playlist's song
// list, a picked song), or a plain name (album titles and artist names of drill-down lists,
// which have no song).

#include "platform/media/MPMediaItem.h"
#include "platform/media/MPMediaItemCollection.h"

#include <QList>
#include <QString>

#include <variant>

class MusicListEntry {
public:
    MusicListEntry() = default;
    MusicListEntry(MPMediaItemCollection collection) : mValue(std::move(collection)) {}
    MusicListEntry(MPMediaItem item) : mValue(std::move(item)) {}
    MusicListEntry(QString name) : mValue(std::move(name)) {}

    // The song of the entry; the null item for a name entry or an empty collection.
    MPMediaItem song() const
    {
        if (const auto* c = std::get_if<MPMediaItemCollection>(&mValue))
            return c->representativeItem();
        if (const auto* i = std::get_if<MPMediaItem>(&mValue))
            return *i;
        return {};
    }
    bool isCollection() const { return std::holds_alternative<MPMediaItemCollection>(mValue); }
    // The collection of a collection entry (a playlist of the playlist list); null otherwise.
    const MPMediaItemCollection* collection() const { return std::get_if<MPMediaItemCollection>(&mValue); }
    bool isSong() const { return std::holds_alternative<MPMediaItem>(mValue); }
    QString name() const
    {
        const auto* n = std::get_if<QString>(&mValue);
        return n ? *n : QString();
    }

private:
    std::variant<std::monostate, MPMediaItemCollection, MPMediaItem, QString> mValue;
};

using MusicList = QList<MusicListEntry>;
