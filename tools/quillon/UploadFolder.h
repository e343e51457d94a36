// The folder quillon serve stores uploads in. Only names it stored itself (in this run, or
// regular files it found there at start) are ever opened for reading, and only after the
// name has been checked, so a request cannot reach other paths, devices or pipes.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <string>

class UploadFolder {
  public:
    // Creates the folder if needed and records the regular files with plain names in it.
    explicit UploadFolder(const std::string& path);

    // A plain name: no folders, no "..", nothing hidden, no control bytes.
    static bool IsSafeName(const std::string& name);

    // A new hidden file for an upload in progress (its path in *path); -1 when it fails.
    int CreateTemporary(std::string* path);
    // Moves a finished temporary file to its name and records the name; false when it fails.
    bool Store(const std::string& temporaryPath, const std::string& name);

    // A descriptor of the stored regular file `name` and its size, or -1.
    int OpenStored(const std::string& name, uint64_t* size) const;

  private:
    const std::string path_;
    mutable std::mutex mutex_;
    std::set<std::string> stored_;
};
