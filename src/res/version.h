// The program's version, in one place: the version resource of both
// executables and the release package take it from here, and the texts of
// the main dialog's panel and the About box must show the same number.
#ifndef MARROWFIN_VERSION_H
#define MARROWFIN_VERSION_H

#define MARROWFIN_VERSION_MAJOR 2
#define MARROWFIN_VERSION_MINOR 74
#define MARROWFIN_VERSION_TEXT  "2.74"

#endif
