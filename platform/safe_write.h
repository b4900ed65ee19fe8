// Writing a file without ever destroying the one that was there: the data go
// to a temporary file in the same folder, which replaces the target only once
// it has been written and closed without error. A target that exists and is
// not a regular file (a device, a pipe) is written in place.
//
// A program that may be ended by a signal mid-write (the command-line
// renderer) can also have the temporary file removed then: guardSafeWrite.
// One write at a time is guarded; the viewer guards none.
#pragma once

#include <string>

struct SafeWrite {
    std::string target;     // the file the user named
    std::string writePath;  // where the data go until commit
    int fd = -1;
    bool inPlace = false;
    bool guarded = false;   // its temporary file is removed on SIGINT, SIGTERM, SIGHUP
};

// Opens the file to write; false when it cannot be created.
bool beginSafeWrite(const std::string& path, SafeWrite& write);
// Writes all bytes to write.fd; false on any short or failed write.
bool writeAll(int fd, const void* data, size_t size);
// Flushes, closes and puts the data in place; false (and the target left as
// it was) on any failure.
bool commitSafeWrite(SafeWrite& write);
// Closes and removes what was written so far.
void abortSafeWrite(SafeWrite& write);
// From now until commit or abort, SIGINT, SIGTERM and SIGHUP remove the
// temporary file and then end the program as the signal would have (a
// signal the program ignores stays ignored). Nothing to do for a write in
// place; false when the path does not fit the handler's buffer.
bool guardSafeWrite(SafeWrite& write);
