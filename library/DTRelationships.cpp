// Relationship accessors of the entity classes, out of line so that each header needs
// only forward declarations of the others.

#include "library/DTAlbum.h"
#include "library/DTArtist.h"
#include "library/DTComposer.h"
#include "library/DTGenre.h"
#include "library/DTPlaylist.h"
#include "library/DTSong.h"

DTArtist* DTSong::artist() { return toOneAs<DTArtist>(artistRel); }
DTAlbum* DTSong::album() { return toOneAs<DTAlbum>(albumRel); }
DTGenre* DTSong::genre() { return toOneAs<DTGenre>(genreRel); }
DTComposer* DTSong::composer() { return toOneAs<DTComposer>(composerRel); }
std::vector<DTPlaylist*> DTSong::playlists() { return toManyAs<DTPlaylist>(playlistsRel); }
DTArtist* DTAlbum::artist() { return toOneAs<DTArtist>(artistRel); }
void DTAlbum::setArtist(DTArtist* a) { setToOneAt(artistRel, a); }
std::vector<DTSong*> DTAlbum::songs() { return toManyAs<DTSong>(songsRel); }
std::vector<DTComposer*> DTAlbum::composers() { return toManyAs<DTComposer>(composersRel); }
std::vector<DTSong*> DTArtist::songs() { return toManyAs<DTSong>(songsRel); }
std::vector<DTAlbum*> DTArtist::albums() { return toManyAs<DTAlbum>(albumsRel); }
DTGenre* DTArtist::genres() { return toOneAs<DTGenre>(genresRel); }
std::vector<DTSong*> DTGenre::songs() { return toManyAs<DTSong>(songsRel); }
std::vector<DTArtist*> DTGenre::artists() { return toManyAs<DTArtist>(artistsRel); }
std::vector<DTSong*> DTComposer::songs() { return toManyAs<DTSong>(songsRel); }
std::vector<DTAlbum*> DTComposer::albums() { return toManyAs<DTAlbum>(albumsRel); }
std::vector<DTSong*> DTPlaylist::songs() { return toManyAs<DTSong>(songsRel); }
