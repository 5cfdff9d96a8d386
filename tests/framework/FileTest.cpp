// CFile: open flags, sharing, failure causes, reading and writing.
#include "common/TestSupport.h"
#include "framework/File.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

namespace {

std::string ReadWhole(CFile& file) {
    std::string text;
    char buffer[5];
    while (UINT got = file.Read(buffer, sizeof buffer))
        text.append(buffer, got);
    return text;
}

} // namespace

TEST(CFile, CreateTruncatesUnlessAskedNotTo) {
    ScratchDir dir;
    std::string path = dir.file("f.ini");
    {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
        EXPECT_STREQ(path.c_str(), file.GetFilePath());
        file.Write("first content", 13);
        EXPECT_EQ(13u, file.GetLength());
        file.Close();
        EXPECT_FALSE(file.IsOpen());
    }
    EXPECT_EQ("first content", ReadFileBytes(path));
    {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(),
                              CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite));
        EXPECT_EQ("first content", ReadWhole(file));
    }
    {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
        file.Write("2nd", 3);
    }
    EXPECT_EQ("2nd", ReadFileBytes(path));
}

TEST(CFile, FailuresCarryTheirCause) {
    ScratchDir dir;
    std::string folder = dir.file("sub");
    WriteFileBytes(dir.file("plain.ini"), "x");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    struct Case {
        std::string path;
        UINT flags;
        int cause;
        LONG osError;
    } cases[] = {
        {dir.file("missing.ini"), CFile::modeRead, CFileException::fileNotFound,
         ERROR_FILE_NOT_FOUND},
        {dir.file("nofolder") + "\\x.ini", CFile::modeRead, CFileException::badPath,
         ERROR_PATH_NOT_FOUND},
        {dir.file("nofolder") + "\\x.ini", CFile::modeCreate | CFile::modeWrite,
         CFileException::badPath, ERROR_PATH_NOT_FOUND},
        {dir.file("bad*name.ini"), CFile::modeCreate | CFile::modeWrite, CFileException::badPath,
         ERROR_INVALID_NAME},
        {folder, CFile::modeRead, CFileException::accessDenied, ERROR_ACCESS_DENIED},
        {"", CFile::modeRead, CFileException::badPath, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CFile file;
        CFileException error;
        EXPECT_FALSE(file.Open(c.path.c_str(), c.flags, &error));
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(c.cause, error.m_cause);
        EXPECT_EQ(c.osError, error.m_lOsError);
        EXPECT_STREQ(c.path.c_str(), error.m_strFileName);
        EXPECT_FALSE(file.Open(c.path.c_str(), c.flags)); // no exception object: just FALSE
    }
}

TEST(CFile, ShareModesOfTheOpenFlags) {
    const UINT read = CFile::modeRead, write = CFile::modeWrite;
    struct Case {
        const char* name;
        UINT first, second;
        bool secondOpens;
    } cases[] = {
        {"reader denying writers lets readers in", read | CFile::shareDenyWrite,
         read | CFile::shareDenyWrite, true},
        {"reader denying writers keeps writers out", read | CFile::shareDenyWrite,
         write | CFile::shareDenyNone, false},
        {"writer denying readers keeps readers out", write | CFile::shareDenyRead,
         read | CFile::shareDenyNone, false},
        {"writer denying readers lets writers in", write | CFile::shareDenyRead,
         write | CFile::shareDenyRead, true},
        {"exclusive keeps everyone out", read | CFile::shareExclusive, read | CFile::shareDenyNone,
         false},
        {"compatibility mode is exclusive", read | CFile::shareCompat, read | CFile::shareDenyNone,
         false},
        {"deny none shares both ways", read | CFile::shareDenyNone, write | CFile::shareDenyNone,
         true},
        {"a reader denying writers waits for the writer", write | CFile::shareDenyNone,
         read | CFile::shareDenyWrite, false},
    };
    ScratchDir dir;
    std::string path = dir.file("shared.ini");
    WriteFileBytes(path, "content");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFile first;
        ASSERT_TRUE(first.Open(path.c_str(), c.first));
        CFile second;
        CFileException error;
        EXPECT_EQ(c.secondOpens, second.Open(path.c_str(), c.second, &error) != FALSE);
        if (!c.secondOpens) {
            EXPECT_EQ(CFileException::sharingViolation, error.m_cause);
        }
    }
    EXPECT_EQ("content", ReadFileBytes(path));
}

TEST(CFile, ReadAndWriteThrowOnTheWrongAccess) {
    ScratchDir dir;
    std::string path = dir.file("f.ini");
    WriteFileBytes(path, "abc");
    CFile reader;
    ASSERT_TRUE(reader.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone));
    try {
        reader.Write("x", 1);
        ADD_FAILURE() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(CFileException::accessDenied, e.m_cause);
        EXPECT_EQ(ERROR_ACCESS_DENIED, e.m_lOsError);
    }
    reader.Flush(); // nothing to flush on a reader: no exception
    EXPECT_EQ("abc", ReadWhole(reader));
    EXPECT_EQ(0u, reader.Read(nullptr, 0));

    CFile writer;
    ASSERT_TRUE(writer.Open(path.c_str(), CFile::modeWrite | CFile::shareDenyNone));
    char buffer[4];
    EXPECT_THROW(writer.Read(buffer, sizeof buffer), CFileException);
    writer.Write("xy", 2);
    writer.Flush();
    writer.Close();
    reader.Close();
    EXPECT_EQ("xyc", ReadFileBytes(path));

    CFile closed;
    EXPECT_THROW(closed.Read(buffer, 1), CFileException);
    EXPECT_THROW(closed.Write("x", 1), CFileException);
    EXPECT_THROW(closed.GetLength(), CFileException);
    closed.Close(); // closing what is not open does nothing
    closed.Abort();
}

TEST(CFile, DestructorAndAbortReleaseTheFile) {
    ScratchDir dir;
    std::string path = dir.file("f.ini");
    {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    }
    CFile again;
    ASSERT_TRUE(again.Open(path.c_str(), CFile::modeWrite | CFile::shareExclusive));
    again.Abort();
    EXPECT_FALSE(again.IsOpen());
    CFile third;
    EXPECT_TRUE(third.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive));
    // Opening an open object first lets go of the file it had.
    EXPECT_TRUE(third.Open(path.c_str(), CFile::modeWrite | CFile::shareExclusive));
}

TEST(CFile, RenameAndRemove) {
    ScratchDir dir;
    std::string a = dir.file("a.ini"), b = dir.file("b.ini");
    WriteFileBytes(a, "A");
    CFile::Rename(a.c_str(), b.c_str());
    EXPECT_FALSE(FileExists(a));
    EXPECT_EQ("A", ReadFileBytes(b));
    WriteFileBytes(a, "new");
    try {
        CFile::Rename(a.c_str(), b.c_str());
        ADD_FAILURE() << "renamed over an existing file";
    } catch (const CFileException& e) {
        EXPECT_EQ(CFileException::accessDenied, e.m_cause);
    }
    EXPECT_EQ("A", ReadFileBytes(b));
    CFile::Remove(a.c_str());
    EXPECT_FALSE(FileExists(a));
    try {
        CFile::Remove(a.c_str());
        ADD_FAILURE() << "removed a missing file";
    } catch (const CFileException& e) {
        EXPECT_EQ(CFileException::fileNotFound, e.m_cause);
        EXPECT_STREQ(a.c_str(), e.m_strFileName);
    }
}

TEST(CFileException, OsErrorsMapToCauses) {
    struct Case {
        LONG error;
        int cause;
    } cases[] = {
        {NO_ERROR, CFileException::none},
        {ERROR_FILE_NOT_FOUND, CFileException::fileNotFound},
        {ERROR_PATH_NOT_FOUND, CFileException::badPath},
        {ERROR_INVALID_NAME, CFileException::badPath},
        {ERROR_FILENAME_EXCED_RANGE, CFileException::badPath},
        {ERROR_TOO_MANY_OPEN_FILES, CFileException::tooManyOpenFiles},
        {ERROR_ACCESS_DENIED, CFileException::accessDenied},
        {ERROR_ALREADY_EXISTS, CFileException::accessDenied},
        {ERROR_INVALID_HANDLE, CFileException::invalidFile},
        {ERROR_NEGATIVE_SEEK, CFileException::badSeek},
        {ERROR_WRITE_FAULT, CFileException::hardIO},
        {ERROR_SHARING_VIOLATION, CFileException::sharingViolation},
        {ERROR_LOCK_VIOLATION, CFileException::lockViolation},
        {ERROR_DISK_FULL, CFileException::diskFull},
        {ERROR_HANDLE_DISK_FULL, CFileException::diskFull},
        {ERROR_HANDLE_EOF, CFileException::endOfFile},
        {ERROR_INVALID_PARAMETER, CFileException::genericException},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(c.cause, CFileException::OsErrorToException(c.error));
    }
}
