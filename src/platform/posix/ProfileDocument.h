// The in-memory model of one private-profile file: its sections in file order,
// each an ordered list of lines, with hash indexes on section and key names so
// that a lookup or a change never scans lines.
//
// It keeps what the Windows build shows for a file that is edited call by call
// (each change rewrites the file from its parsed form and the next call parses
// that text again):
// - the written text is canonical: "[name]\r\n", "key=value\r\n", blank lines
//   dropped, comments and lines without '=' kept;
// - the line written by the latest change appears as given (only leading blanks
//   removed) until the next change; lookups already see it as it will read back
//   (trailing blanks gone, a value holding line ends split into lines);
// - lines before the first header form the nameless section, always first;
// - a "[]" header after the first line (read from the file, or opened by a
//   value holding a line end) keeps its section apart until the next change,
//   whose text writes its lines into the section before it; lines empty after
//   a NUL byte are written as blank lines by the first change and then vanish.
#pragma once

#include "platform/posix/ProfileLines.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace posix::profile {

class ProfileDocument {
  public:
    ProfileDocument();
    ~ProfileDocument();
    ProfileDocument(ProfileDocument&&) noexcept;
    ProfileDocument& operator=(ProfileDocument&&) noexcept;
    ProfileDocument(const ProfileDocument&) = delete;
    ProfileDocument& operator=(const ProfileDocument&) = delete;

    // The document of a file's decoded text.
    static ProfileDocument Parse(std::string_view text);

    // The value of `key` in the first section named `section`, both names
    // trimmed; null when there is no such key or its line has no '='.
    const std::string* FindValue(std::string_view section, std::string_view key) const;

    // Appends each key name of the first section named exactly `section` (no
    // trimming), followed by a NUL: lines with '=' whose name does not start
    // with ';'. Stops once `out` is longer than `limit`. False when there is no
    // such section.
    bool AppendKeyNames(std::string_view section, std::string& out, size_t limit) const;

    // Appends each non-empty section name in file order, duplicates included,
    // followed by a NUL. Stops once `out` is longer than `limit`.
    void AppendSectionNames(std::string& out, size_t limit) const;

    // Sets `key` in the first section named `section` (names trimmed for the
    // lookup), appending the key or the section when missing. True when the
    // document changed: an equal value leaves it as it is.
    bool SetValue(std::string_view section, std::string_view key, std::string_view value);

    // Removes the first key named exactly `key` in the sections named exactly
    // `section`. True when a key was removed.
    bool DeleteKey(std::string_view section, std::string_view key);

    // Removes the first section named exactly `section`. True when removed.
    bool DeleteSection(std::string_view section);

    // Replaces a section's lines, as the whole-section writer does: every line
    // of each section named exactly `section` goes (comments too; "" names the
    // lines before the first header),
    // then each "key=value" of `lines` is appended to the first section named
    // `section` (trimmed lookup), or to a new section at the end of the file;
    // repeated keys stay repeated. True when the document changed.
    bool ReplaceSectionLines(std::string_view section, const std::vector<std::string_view>& lines);

    // Whether ReplaceSectionLines would change the document.
    bool SectionWriteChanges(std::string_view section, bool anyLines) const;

    // Appends each line of the first section named exactly `section` (no
    // trimming) as "name=value" or "name" (a line without '='), each followed
    // by a NUL; comments and blank lines are left out. False when there is no
    // such section.
    bool AppendSectionLines(std::string_view section, std::string& out) const;

    // The text as the file holds it after the latest change (CRLF line ends).
    std::string Text() const;

    // Number of sections, the nameless one included (for tests and sizing).

  private:
    struct Entry;
    struct Section;

    Section* FirstSection(std::string_view foldedName) const;
    Section* AppendSection(std::string name, uint32_t runId);
    void InsertSectionAfter(const Section* after, std::unique_ptr<Section> section);
    void RemoveSection(Section* section);
    void RebuildSectionIndex();

    void BeginChange();
    void EndChange();
    void PlaceRun(Section* section, size_t position, bool replace, std::string_view run);
    void ForgetBlankEntries();
    void DropGhosts();
    void NormalizeSections();

    std::vector<std::unique_ptr<Section>> m_sections;
    std::unordered_map<std::string, std::vector<Section*>> m_sectionIndex;

    // Lines of the latest change, written as `m_runText` instead of their own
    // form; they carry `m_runId`.
    std::string m_runText;
    uint32_t m_runId = 0;
    bool m_runActive = false;

    bool m_blankEntriesUnsettled = false;    // loaded NUL lines not yet made ghosts
    bool m_ghostsPresent = false;            // ghosts to drop at the next change
    bool m_sectionsUnsettled = false;        // merge "" sections / restore the nameless one
    bool m_runOpenedNamelessSection = false; // to merge after the next change
};

} // namespace posix::profile
