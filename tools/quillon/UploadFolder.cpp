#include "tools/quillon/UploadFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

UploadFolder::UploadFolder(const std::string& path) : path_(path) {
    mkdir(path_.c_str(), 0755);
    DIR* folder = opendir(path_.c_str());
    if (!folder) return;
    while (const dirent* entry = readdir(folder)) {
        struct stat info;
        const std::string name = entry->d_name;
        if (IsSafeName(name) && lstat((path_ + "/" + name).c_str(), &info) == 0 &&
            S_ISREG(info.st_mode)) {
            stored_.insert(name);
        }
    }
    closedir(folder);
}

bool UploadFolder::IsSafeName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name[0] == '.') return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == '/' || c == '\\' || c == 0x7F) return false;
    }
    return true;
}

int UploadFolder::CreateTemporary(std::string* path) {
    std::string pattern = path_ + "/.upload-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    fchmod(fd, 0644);  // stored files are readable as before, not private to the server
    *path = name.data();
    return fd;
}

bool UploadFolder::Store(const std::string& temporaryPath, const std::string& name) {
    if (!IsSafeName(name)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::rename(temporaryPath.c_str(), (path_ + "/" + name).c_str()) != 0) return false;
    stored_.insert(name);
    return true;
}

int UploadFolder::OpenStored(const std::string& name, uint64_t* size) const {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!IsSafeName(name) || stored_.count(name) == 0) return -1;
    }
    // Something else may have been put under the name since: no links followed, no waiting
    // for a pipe's writer, and only a regular file is served.
    const int fd =
        open((path_ + "/" + name).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    *size = static_cast<uint64_t>(info.st_size);
    return fd;
}
