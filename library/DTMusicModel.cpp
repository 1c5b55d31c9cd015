#include "library/DTMusicModel.h"

#include "library/DTAlbum.h"
#include "library/DTArtist.h"
#include "library/DTComposer.h"
#include "library/DTGenre.h"
#include "library/DTPlaylist.h"
#include "library/DTSong.h"
#include "library/PlayControl.h"
#include "library/Setting.h"
#include "library/LiveTable.h"
#include "library/SettingKeys.h"

namespace {

template <typename T>
NSEntityDescription::ObjectFactory factory()
{
    return [] { return std::make_shared<T>(); };
}

} // namespace

std::shared_ptr<NSManagedObjectModel> makeDTMusicModel()
{
    using T = NSAttributeType;
    auto model = std::make_shared<NSManagedObjectModel>();

    // Attributes and relationships in the order of the entity classes' enums.
    model->addEntity(DTSong::entityName, factory<DTSong>())
        .addAttribute("identifier", T::UInteger64)
        .addAttribute("title", T::String)
        .addAttribute("collectionNumber", T::Integer64)
        .addAttribute("ArtName", T::String)
        .addAttribute("AlbumName", T::String)
        .addAttribute("trackNumber", T::Integer64)
        .addAttribute("discNumber", T::Integer64)
        .addAttribute("lyrics", T::String)
        .addAttribute("duration", T::Double)
        .addAttribute("rating", T::Double)
        .addAttribute("Initial", T::String)
        .addRelationship("artist", DTArtist::entityName, "songs", false)
        .addRelationship("album", DTAlbum::entityName, "songs", false)
        .addRelationship("genre", DTGenre::entityName, "songs", false)
        .addRelationship("composer", DTComposer::entityName, "songs", false)
        .addRelationship("playlists", DTPlaylist::entityName, "songs", true);

    model->addEntity(DTAlbum::entityName, factory<DTAlbum>())
        .addAttribute("title", T::String)
        .addAttribute("artistName", T::String)
        .addAttribute("trackCount", T::Integer64)
        .addAttribute("discCount", T::Integer64)
        .addAttribute("Initial", T::String)
        .addRelationship("artist", DTArtist::entityName, "albums", false)
        .addRelationship("songs", DTSong::entityName, "album", true)
        .addRelationship("composers", DTComposer::entityName, "albums", true);

    model->addEntity(DTArtist::entityName, factory<DTArtist>())
        .addAttribute("name", T::String)
        .addAttribute("Initial", T::String)
        .addRelationship("songs", DTSong::entityName, "artist", true)
        .addRelationship("albums", DTAlbum::entityName, "artist", true)
        .addRelationship("genres", DTGenre::entityName, "artists", false);

    model->addEntity(DTGenre::entityName, factory<DTGenre>())
        .addAttribute("name", T::String)
        .addAttribute("Initial", T::String)
        .addRelationship("songs", DTSong::entityName, "genre", true)
        .addRelationship("artists", DTArtist::entityName, "genres", true);

    model->addEntity(DTComposer::entityName, factory<DTComposer>())
        .addAttribute("name", T::String)
        .addRelationship("songs", DTSong::entityName, "composer", true)
        .addRelationship("albums", DTAlbum::entityName, "composers", true);

    model->addEntity(DTPlaylist::entityName, factory<DTPlaylist>())
        .addAttribute("name", T::String)
        .addRelationship("songs", DTSong::entityName, "playlists", true);

    // A store from an older model that lacks one of these columns reads its default, not
    // nothing (which the player would take for 0).
    const LiveTableRef settingDefaults = LiveTable::defaultSettingTable();
    NSEntityDescription& setting = model->addEntity(Setting::entityName, factory<Setting>());
    for (const StoredSettingKey& k : kStoredSettingKeys)
        setting.addAttribute(QString::fromLatin1(k.attribute), T::Integer64,
                             qlonglong(settingDefaults->integerValue(k.key)));

    const LiveTableRef playDefaults = LiveTable::defaultPlayControlTable();
    model->addEntity(PlayControl::entityName, factory<PlayControl>())
        .addAttribute("shuffleEnable", T::Integer64, qlonglong(playDefaults->integerValue(ShuffleModeKey)))
        .addAttribute("PlayMode", T::Integer64, qlonglong(playDefaults->integerValue(PlayModeKey)))
        .addAttribute("LastPlayMusicTitle", T::String)
        .addAttribute("LastPosion", T::Integer64);

    model->complete();
    return model;
}
