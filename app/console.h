#pragma once

// The picker is a GUI program: on Windows it has no console of its own, and
// a line printed the usual way would reach no one.

// Prints LINE and a line break where whoever started the program reads it:
// its standard output, or on Windows the console it was started from.
// Returns false when it could not.
bool printLine(const char *line);
