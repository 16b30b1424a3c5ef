// Saving an edited script as the show's script.txt, so that a crash at any moment leaves
// either the old script or the new one.
#pragma once

#include <string>

class DataFolder;

// Writes text as folder's script.txt: into a temporary file of the same folder, flushed
// to the disk, then renamed over the script, after the script as it was is kept as
// script.txt~ (in the same way); the temporary files of saves a crash cut short go.
// Returns false, with problem set and the script as it was,
// when the show is read from an archive or the folder cannot be written.
bool SaveShowScript(const DataFolder& folder, const std::string& text, std::string& problem);
