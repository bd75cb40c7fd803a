#pragma once
// FileAccessAs: the calling thread's file accesses as another user and group. Root opens any
// device, and the program (QSerialPort) opens its port on the calling thread. Leaving the
// superuser's filesystem id also drops the capabilities that override file permissions, until it
// is restored.

#include <sys/fsuid.h>
#include <sys/types.h>

namespace zelto::test {

class FileAccessAs {
public:
    FileAccessAs(uid_t uid, gid_t gid) {
        ::setfsgid(gid);
        ::setfsuid(uid);
    }
    ~FileAccessAs() {
        ::setfsuid(0);
        ::setfsgid(0);
    }
    FileAccessAs(const FileAccessAs&) = delete;
    FileAccessAs& operator=(const FileAccessAs&) = delete;
};

}  // namespace zelto::test
