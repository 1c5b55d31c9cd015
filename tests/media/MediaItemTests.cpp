// The compact song record: what goes in comes back, whatever the path's shape and
// whichever texts are absent, empty or shared, after the pool that made it is gone.

#include "platform/media/MPMediaItem.h"
#include "platform/media/MediaItemPool.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

MediaItemProperties song(QByteArray path, std::optional<QString> artist, std::optional<QString> album)
{
    MediaItemProperties p;
    p.persistentID = 7;
    p.filePath = std::move(path);
    p.title = QStringLiteral("Title");
    p.artist = std::move(artist);
    p.albumTitle = std::move(album);
    p.genre = QStringLiteral("Jazz");
    p.lyrics = QStringLiteral("la la");
    p.albumTrackNumber = 3;
    p.discCount = 2;
    p.playbackDuration = 61.5;
    p.hasArtwork = true;
    p.coverThumbnail = CoverThumbnail(QByteArray("jpeg"));
    p.replayGain.trackGain = -650;
    return p;
}

} // namespace

TEST(MediaItem, ComesBackAsMadeAfterItsPoolIsGoneAndSharesEqualTexts)
{
    const std::vector<MediaItemProperties> made = {
        song("/music/Album/01 One.flac", QStringLiteral("Artist"), QStringLiteral("Album")),
        song("/music/Album/02 Two.flac", QStringLiteral("Artist"), QString()),  // empty, not absent
        song("/top.mp3", std::nullopt, std::nullopt),
        song("bare name.ogg", QString(""), QStringLiteral("Album")),
        song("folder/", std::nullopt, QStringLiteral("Album")),
        song("", QStringLiteral("Artist"), std::nullopt),
    };
    std::vector<MPMediaItem> items;
    {
        MediaItemPool pool;
        for (const MediaItemProperties& p : made)
            items.emplace_back(p, pool);
    }
    MPMediaItem moved = std::move(items[1]);
    items[1] = moved;  // copied back over the moved-from handle
    moved = items[0];
    for (size_t i = 0; i < made.size(); ++i) {
        SCOPED_TRACE(made[i].filePath.constData());
        EXPECT_EQ(items[i].properties(), made[i]);
        EXPECT_EQ(items[i].artist().has_value(), made[i].artist.has_value());
        EXPECT_EQ(items[i].assetURL().isEmpty(), made[i].filePath.isEmpty());
    }
    EXPECT_EQ(items[0].textViews().artist.data(), items[1].textViews().artist.data());
    EXPECT_EQ(items[0].textViews().albumTitle.data(), items[3].textViews().albumTitle.data());
    EXPECT_EQ(MPMediaItem(made[2]).properties(), made[2]);  // a song made on its own
}
