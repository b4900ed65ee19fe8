// A zoom movie's finished keyframes, kept in a folder beside its output
// (zoom.mp4: zoom.keyframes; frames/zoom-%05d.png: frames/zoom.keyframes)
// until the movie is complete, so that the same command, started again
// after an interrupt, a crash or a full disk, goes on from them.
//
// The folder holds movie.txt, which says what the keyframes belong to (the
// caller's description: fractal, centre, extents, sizes), and one file per
// keyframe: keyframe-0007.counts, a 20-byte header ("FKEYFRM1", then the
// index, width and height as 32-bit integers) and the counts as 32-bit
// floats in the machine's byte order, rows from the bottom. Each file is
// written whole through a temporary file or not at all (platform/
// safe_write); one of another size, index or description is not used.
// Only files of these names are ever removed, never the user's.
#pragma once

#include <string>
#include <vector>

struct KeyframeStore {
    std::string folder;
};

std::string keyframeFolderFor(const std::string& output);

// Creates the folder if need be. Keyframes of another description are
// removed and the new description written; leftovers of interrupted
// writes are removed. False with `error` (one German line) when the folder
// cannot be made or written.
bool openKeyframeStore(KeyframeStore& store, const std::string& output, const std::string& description,
                       std::string& error);

std::string keyframePath(const KeyframeStore& store, int index);

bool saveKeyframe(const KeyframeStore& store, int index, int width, int height, const std::vector<float>& counts,
                  std::string& error);

// False when the keyframe is missing or its file is not exactly what was saved.
bool loadKeyframe(const KeyframeStore& store, int index, int width, int height, std::vector<float>& counts);

// How many of the keyframes `indices` are there, by their files' sizes.
int keptKeyframes(const KeyframeStore& store, const std::vector<int>& indices, int width, int height);

// Removes the keyframes, movie.txt and then the folder, when nothing else is in it.
void removeKeyframeStore(const KeyframeStore& store);
