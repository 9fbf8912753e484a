// Host services: directory listing and text-mode reading of pages and
// linked files.  The program's paths use either separator and ignore
// letter case, as on its own platform; each host source carries them
// over to the host's file system.
#ifndef PLOTWALK_HOST_H
#define PLOTWALK_HOST_H

struct hostdir;
struct hostfile;

// Opens a directory for listing.  Clears nothing, but sets errno: 0 on
// success, ENOENT only when the path names nothing, ENOTDIR for a path
// that is no directory and for the empty name, another code otherwise.
hostdir *hostopendir(const char *path);

// Returns the next entry's name, or nullptr at the end of the listing
// and after a read error alike.
const char *hostreaddir(hostdir *dir);

void hostclosedir(hostdir *dir);

// Opens a regular file for reading as text (CR LF read as LF); nullptr
// for anything else.  Never blocks on FIFOs or devices.
hostfile *hostfopen(const char *path);

// Whether the path of len bytes opens for reading as hostfopen would open
// it, closing it again.  A tree under verification stands still, so a
// host may remember the outcome for the run.
int hostcanopen(const char *path, int len);

// fgets: at most size-1 bytes, up to and including a line feed; nullptr
// at the end of the text or after a read error.
char *hostfgets(char *buf, int size, hostfile *file);

// The next piece that hostfgets would deliver and that holds the byte c,
// passing over the others unread; nullptr when none is left.  c is
// neither CR nor LF, which reading as text may change.
char *hostfgetswith(char *buf, int size, hostfile *file, int c);

// Counts the lines of a file just opened, for hostfline.
void hostfcountlines(hostfile *file);

// The line on which the piece that was delivered last begins, counting
// from 1, of a file whose lines are counted.
int hostfline(hostfile *file);

// Nonzero when closing failed.
int hostfclose(hostfile *file);

// Gives standard output a large buffer unless it is a terminal; called
// before anything is printed.
void hostbufferoutput();

// Puts standard output in binary mode, with a large buffer unless it is a
// terminal, before anything is written; whether it is a terminal.
int hostrawoutput();

// The host's own path of the directory that a program path names, for a
// user or another program to open files in: as the host finds it from the
// working directory ("" for that directory itself), or absolute with
// full, and ending in a separator.  0 when the path names no directory or
// the result does not fit in size bytes.
//   "STORY" => "story/", "." => "", full "." => "/home/ann/story/"
int hostdirpath(const char *path, char *out, int size, int full);

// Provided by the program: ends the run abnormally with the report
// printed so far, its own buffered lines included.  A host calls it when
// memory or descriptors run out, which no verdict may hide.
[[noreturn]] void die();

#endif
