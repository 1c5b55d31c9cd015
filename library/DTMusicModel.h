#pragma once
// The object model of the library store: the library copy (DTSong, DTAlbum, DTArtist,
// DTGenre, DTComposer, DTPlaylist) and the stored settings (Setting, PlayControl). The
// entity, attribute and relationship names are those the store file holds.

#include "platform/store/NSManagedObjectModel.h"

#include <memory>

std::shared_ptr<NSManagedObjectModel> makeDTMusicModel();
