#pragma once
// Small databases that between them hold every kind of object the reader
// meets: the seeds that the damage tests mutate and the fuzz corpus starts
// from.
#include "db_builder.h"

namespace ipodgen {

// Six sample tracks and the sample playlists.
Bytes SmallSampleDb();
// A short track header, an odd-length text, an unknown data set first.
Bytes OddLayoutDb();
// Every data set type, tracks with every text and opaque objects, master,
// ordinary and smart playlists, and items with nested objects.
Bytes EveryObjectTypeDb();
// Two tracks and a playlist with the headers of older iPods (shorter track
// and playlist headers) or of newer ones (longer database, track and playlist
// headers).
Bytes HeaderGenerationDb(bool newer);

}  // namespace ipodgen
