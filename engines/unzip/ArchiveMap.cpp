#include "ArchiveMap.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tesk::unzip {

ArchiveMap::~ArchiveMap() {
    if (data_) munmap(data_, static_cast<size_t>(size_));
}

void ArchiveMap::Release(uint64_t offset, uint64_t length) const {
    static const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    if (offset > size_ || length > size_ - offset) return;
    const uint64_t begin = (offset + page - 1) / page * page;
    const uint64_t end = (offset + length) / page * page;
    if (begin < end) madvise(data_ + begin, static_cast<size_t>(end - begin), MADV_DONTNEED);
}

bool ArchiveMap::Open(const std::string &path, std::string &error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? "is a folder" : "not a regular file";
        close(fd);
        return false;
    }
    if (st.st_size < 22) {  // smaller than an empty archive's end record
        error = "not a zip archive";
        close(fd);
        return false;
    }
    void *map = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ | PROT_WRITE,
                     MAP_PRIVATE, fd, 0);
    const int mapErrno = errno;
    close(fd);
    if (map == MAP_FAILED) {
        error = std::strerror(mapErrno);
        return false;
    }
    data_ = static_cast<uint8_t *>(map);
    size_ = static_cast<uint64_t>(st.st_size);
    return true;
}

}  // namespace tesk::unzip
