// The writer of the registry backup: the file appears under its name only
// whole, never over an existing file, and nothing stays when it is not
// committed.
#include "app/RegistryBackup.h"
#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace corvane;

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

namespace {

struct WriterCase {
    const char* what;
    const char* before;     // the file before (null: none)
    const char* tempBefore; // a temporary file of an interrupted run (null: none)
    bool commit;
    const char* appears; // what another writer puts there before the commit (null: nothing)
    bool committed;
    const char* after; // the file afterwards (null: none)
};

} // namespace

TEST(NewFileWriter, TheFileAppearsOnlyWholeAndNeverOverAnother) {
    const WriterCase cases[] = {
        {"a new file", nullptr, nullptr, true, nullptr, true, "first second"},
        {"a file at a name a temporary once had is left alone", nullptr, "planted", true, nullptr,
         true, "first second"},
        {"not committed: nothing stays", nullptr, nullptr, false, nullptr, false, nullptr},
        {"the name is taken: nothing is written", "earlier", nullptr, true, nullptr, false,
         "earlier"},
        {"the name is taken meanwhile: it stays", nullptr, nullptr, true, "other", false, "other"},
    };
    for (const WriterCase& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        std::string path = dir.file("backup.reg");
        std::string temp = path + ".tmp";
        if (c.before)
            WriteFileBytes(path, c.before);
        if (c.tempBefore)
            WriteFileBytes(temp, c.tempBefore);
        bool committed = false;
        CString error;
        {
            NewFileWriter writer;
            if (writer.Create(path.c_str(), error) && writer.Write("first ", error)) {
                // Half written: not under its name yet.
                EXPECT_EQ(FileExists(path), c.before != nullptr);
                if (writer.Write("second", error)) {
                    if (c.appears)
                        WriteFileBytes(path, c.appears);
                    if (c.commit)
                        committed = writer.Commit(error);
                }
            }
        }
        EXPECT_EQ(committed, c.committed) << error.GetString();
        EXPECT_EQ(error.IsEmpty(), c.committed || !c.commit) << error.GetString();
        EXPECT_EQ(FileExists(path), c.after != nullptr);
        if (c.after) {
            EXPECT_EQ(ReadFileBytes(path), c.after);
        }
        // Nothing else stays in the folder: the temporary had a name of its own.
        int others = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            others += entry.path().string() != path && entry.path().string() != temp;
        EXPECT_EQ(others, 0);
        EXPECT_EQ(FileExists(temp), c.tempBefore != nullptr);
        if (c.tempBefore) {
            EXPECT_EQ(ReadFileBytes(temp), c.tempBefore);
        }
    }
}
