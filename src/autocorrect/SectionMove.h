// Moving a section of the main settings file into the private profile file,
// key by key, and reporting a failed write.
#pragma once

class CCorvaneApp;

// Prints "Error writing [section] key" on standard output.
void ReportWriteError(const char* section, const char* key);

// Copies every key of `source` in the current profile file (m_pszProfileName)
// into section `target` of the selected private profile file, one write per
// private-profile scope; a write counts when the value reads back. A failed write is reported and
// the copy goes on with the next key. When every write succeeded and `removeSource` is set, the
// source section is deleted. Returns true when every write succeeded.
//
// Without a selected private profile file nothing is written and the source
// stays: the writes would land in the main settings file itself.
bool MoveSectionToPrivateProfile(CCorvaneApp& app, const char* source, const char* target,
                                 bool removeSource);
