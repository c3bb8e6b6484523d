// At most one picker per user session.
//
// claimSingleInstance() takes a per-session marker and keeps it until the
// process ends, however it ends. It returns false only when another running
// picker holds the marker; any other failure lets start-up go on.
#ifndef SINGLEINSTANCE_H
#define SINGLEINSTANCE_H

bool claimSingleInstance();

// The same marker for another program of the session, under its own name
// (the recorder's "zorvi-record").
bool claimSessionMarker(const char *name);

#endif // SINGLEINSTANCE_H
