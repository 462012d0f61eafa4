#include "UnreadableFile.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

UnreadableFile::UnreadableFile(const QString& path)
{
    EXPECT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    // A thread's capabilities are its own: the raw calls change this thread's alone.
    EXPECT_EQ(::syscall(SYS_capget, &header_, saved_), 0);
    __user_cap_data_struct dropped[_LINUX_CAPABILITY_U32S_3];
    std::copy(std::begin(saved_), std::end(saved_), std::begin(dropped));
    dropped[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    EXPECT_EQ(::syscall(SYS_capset, &header_, dropped), 0);
    EXPECT_FALSE(QFile(path).open(QIODevice::ReadOnly)) << "the file is still readable";
}

UnreadableFile::~UnreadableFile() { EXPECT_EQ(::syscall(SYS_capset, &header_, saved_), 0); }
