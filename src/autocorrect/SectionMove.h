// Moving sections of the main settings file into the private profile file,
// whole where the section functions allow it, else key by key, and reporting
// a failed write.
#pragma once

#include "framework/CString.h"
#include "support/ProfileGroupWrite.h"

#include <vector>

namespace corvane {

class CCorvaneApp;

// Prints "Error writing [section] key" on standard output.
void ReportWriteError(const char* section, const char* key);

// Moves sections into the selected private profile file. A plain section is
// read and written whole (support/ProfileGroupWrite.h); otherwise each key is
// copied in its own private-profile scope. A key counts as written when it
// reads back;
// a failed write is reported and the copy goes on with the next key. Sources
// go only after the private file is saved, so that no moment exists at which a
// section is in neither file on disk.
//
// Without a selected private profile file nothing is copied: the writes would
// land in the main settings file itself.
class SectionMover {
  public:
    explicit SectionMover(CCorvaneApp& app);
    ~SectionMover();
    SectionMover(const SectionMover&) = delete;
    SectionMover& operator=(const SectionMover&) = delete;

    // Copies every key of `source` (main settings file) into section `target`
    // of the private file. When every write succeeded and `removeSource` is
    // set, `source` is deleted by Finish. Returns true when every write
    // succeeded.
    bool Copy(const char* source, const char* target, bool removeSource);
    // Saves the private file and deletes the sources of the complete copies.
    // Runs at destruction when not called before.
    void Finish();

  private:
    bool WillRemove(const char* source) const;

    CCorvaneApp& m_app;
    CString m_mainFile;
    CString m_privateFile;
    ProfileGroupTarget m_target; // nothing else writes the private file meanwhile
    bool m_anyWritten = false;
    bool m_finished = false;
    std::vector<CString> m_sourcesToRemove;
};

} // namespace corvane
