// The environment the user started the picker with. The picker changes its
// own for Qt (the window system it chose, its scaling off); the programs it
// starts get the user's back, as if started beside it.
#ifndef STARTENVIRONMENT_H
#define STARTENVIRONMENT_H

// First thing in main(), before anything changes the environment.
void keepStartEnvironment();

// Unix: that environment as execve() takes it, made whole before any fork
// (after one, in a process with threads, nothing may be allocated).
char *const *startEnvironment();

#endif // STARTENVIRONMENT_H
