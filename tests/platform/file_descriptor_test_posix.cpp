#include "platform/file_descriptor_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/unbuffered_file.h"

namespace qm {
namespace {

bool IsOpenDescriptor(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

TEST(FileDescriptor, ClosesOnceWhenTheLastOwnerGoes) {
    int raw = -1;
    {
        FileDescriptor fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(fd);
        raw = fd.Get();
        FileDescriptor moved(std::move(fd));
        EXPECT_FALSE(fd);
        EXPECT_TRUE(IsOpenDescriptor(raw));
    }
    EXPECT_FALSE(IsOpenDescriptor(raw));
    EXPECT_EQ(errno, EBADF);
}

TEST(FileDescriptor, FailedOpenIsEmptyAndClosesCleanly) {
    FileDescriptor fd(::open("no-such-folder/no-such-file", O_RDONLY | O_CLOEXEC));
    EXPECT_FALSE(fd);
    EXPECT_TRUE(fd.Close());
}

TEST(UnbufferedFile, CloseGivesUpTheDescriptor) {
    const char* name = "unbuffered-close.tmp";
    ::unlink(name);
    const int before = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(before, 0);
    ::close(before);  // the lowest free descriptor: the file gets it
    UnbufferedFile file;
    ASSERT_EQ(file.CreateNew(name), UnbufferedFile::OpenResult::Opened);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_TRUE(IsOpenDescriptor(before));
    EXPECT_EQ(file.CreateNew(name), UnbufferedFile::OpenResult::Exists);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(IsOpenDescriptor(before));
    EXPECT_FALSE(file.Write("x", 1));
    ::unlink(name);
}

}  // namespace
}  // namespace qm
