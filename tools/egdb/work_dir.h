// The builder's work directory: every finished material is kept there as a
// file, so that a stopped build carries on where it stopped, and read back
// through read-only mappings, so that the results of finished materials
// live in the page cache rather than in the builder's own memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnvel::egdbtool {

// Version of the layout of the files kept there.
constexpr int WORK_FORMAT = 1;

// Creates the directory when missing and writes `identity` (what build the
// directory belongs to) into its manifest; a directory whose manifest
// begins otherwise is refused. The lines after the identity are notes the
// build keeps there (what its finished materials took); they go into
// *notes. False with the reason.
bool openWorkDirectory(const std::string& dir, const std::string& identity, std::vector<std::string>* notes,
                       std::string* problem);

// Rewrites the manifest: the identity, then `notes`, one a line.
bool writeManifestNotes(const std::vector<std::string>& notes, std::string* problem);

// Path of a file in the work directory.
std::string workPath(const std::string& name);

// Writes the parts one after the other into a temporary file, syncs it and
// renames it to `path`, so that the file is either whole or absent. False
// with the reason (a full disk among them).
struct Part {
    const void* data;
    size_t bytes;
};
bool writeAtomically(const std::string& path, const Part* parts, int count, std::string* problem);

// Maps a whole file read-only; null when it is missing or not `bytes` long.
const uint8_t* mapReadOnly(const std::string& path, uint64_t bytes);
void unmap(const uint8_t* data, uint64_t bytes);

}  // namespace tarnvel::egdbtool
