#include "platform/posix/ProfileDocument.h"

#include <algorithm>

namespace posix::profile {

// One line of a section below its header.
struct ProfileDocument::Entry {
    std::string name;
    std::string value;
    uint32_t runId = 0; // the change that wrote it, see m_runId
    bool hasValue = false;
    bool removed = false; // deleted; dropped when the section is compacted
    bool ghost = false;   // written as a blank line once more, invisible to lookups
};

struct ProfileDocument::Section {
    explicit Section(std::string sectionName)
        : name(std::move(sectionName)), folded(FoldedName(name)) {}

    std::string name;
    std::string folded;
    uint32_t headerRunId = 0;
    std::vector<Entry> entries;
    size_t removedCount = 0;
    // Folded key name -> positions of the visible entries with that name, ascending.
    std::unordered_map<std::string, std::vector<uint32_t>> keyIndex;

    bool Visible(const Entry& entry) const { return !entry.removed && !entry.ghost; }

    // Position of the first visible entry with this folded name, or -1.
    long FirstPosition(const std::string& foldedKey) const {
        auto found = keyIndex.find(foldedKey);
        return found == keyIndex.end() ? -1 : static_cast<long>(found->second.front());
    }

    void Append(Entry entry) {
        entries.push_back(std::move(entry));
        const Entry& added = entries.back();
        if (Visible(added))
            keyIndex[FoldedName(added.name)].push_back(static_cast<uint32_t>(entries.size() - 1));
        else if (added.removed)
            ++removedCount;
    }

    void Unindex(size_t position) {
        auto found = keyIndex.find(FoldedName(entries[position].name));
        if (found == keyIndex.end())
            return;
        auto& positions = found->second;
        auto at = std::find(positions.begin(), positions.end(), position);
        if (at != positions.end())
            positions.erase(at);
        if (positions.empty())
            keyIndex.erase(found);
    }

    void Remove(size_t position) {
        Unindex(position);
        entries[position].removed = true;
        ++removedCount;
        if (removedCount > 32 && removedCount > entries.size() / 2)
            Compact();
    }

    void Compact() {
        std::erase_if(entries, [](const Entry& entry) { return entry.removed; });
        RebuildIndex();
    }

    void RebuildIndex() {
        keyIndex.clear();
        removedCount = 0;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (Visible(entries[i]))
                keyIndex[FoldedName(entries[i].name)].push_back(static_cast<uint32_t>(i));
            else if (entries[i].removed)
                ++removedCount;
        }
    }
};

ProfileDocument::ProfileDocument() {
    AppendSection(std::string(), 0);
}
ProfileDocument::~ProfileDocument() = default;
ProfileDocument::ProfileDocument(ProfileDocument&&) noexcept = default;
ProfileDocument& ProfileDocument::operator=(ProfileDocument&&) noexcept = default;

ProfileDocument ProfileDocument::Parse(std::string_view text) {
    ProfileDocument document;
    Section* current = document.m_sections.front().get();
    ProfileLineReader reader(text);
    ProfileLine line;
    while (reader.Next(line)) {
        if (line.kind == ProfileLine::Kind::Header) {
            // A "[]" header opens a second nameless section; a re-read of the
            // written text merges it into the section before it.
            if (line.name.empty())
                document.m_sectionsUnsettled = true;
            current = document.AppendSection(std::move(line.name), 0);
            continue;
        }
        // A line that is empty after a NUL byte is written as a blank line and
        // is gone when the written text is read again.
        if (line.name.empty() && !line.hasValue)
            document.m_blankEntriesUnsettled = true;
        Entry entry;
        entry.name = std::move(line.name);
        entry.value = std::move(line.value);
        entry.hasValue = line.hasValue;
        current->Append(std::move(entry));
    }
    return document;
}

ProfileDocument::Section* ProfileDocument::FirstSection(std::string_view foldedName) const {
    auto found = m_sectionIndex.find(std::string(foldedName));
    return found == m_sectionIndex.end() ? nullptr : found->second.front();
}

ProfileDocument::Section* ProfileDocument::AppendSection(std::string name, uint32_t runId) {
    auto section = std::make_unique<Section>(std::move(name));
    section->headerRunId = runId;
    Section* added = section.get();
    m_sections.push_back(std::move(section));
    m_sectionIndex[added->folded].push_back(added);
    return added;
}

void ProfileDocument::InsertSectionAfter(const Section* after, std::unique_ptr<Section> section) {
    auto at = std::find_if(m_sections.begin(), m_sections.end(),
                           [after](const auto& candidate) { return candidate.get() == after; });
    m_sections.insert(at == m_sections.end() ? at : at + 1, std::move(section));
}

void ProfileDocument::RemoveSection(Section* section) {
    auto indexed = m_sectionIndex.find(section->folded);
    if (indexed != m_sectionIndex.end()) {
        auto& list = indexed->second;
        list.erase(std::find(list.begin(), list.end(), section));
        if (list.empty())
            m_sectionIndex.erase(indexed);
    }
    std::erase_if(m_sections,
                  [section](const auto& candidate) { return candidate.get() == section; });
}

void ProfileDocument::RebuildSectionIndex() {
    m_sectionIndex.clear();
    for (const auto& section : m_sections)
        m_sectionIndex[section->folded].push_back(section.get());
}

const std::string* ProfileDocument::FindValue(std::string_view section,
                                              std::string_view key) const {
    const Section* found = FirstSection(FoldedName(TrimBlanks(section)));
    if (!found)
        return nullptr;
    long position = found->FirstPosition(FoldedName(TrimBlanks(key)));
    if (position < 0)
        return nullptr;
    const Entry& entry = found->entries[static_cast<size_t>(position)];
    return entry.hasValue ? &entry.value : nullptr;
}

bool ProfileDocument::AppendKeyNames(std::string_view section, std::string& out,
                                     size_t limit) const {
    const Section* found = FirstSection(FoldedName(section));
    if (!found)
        return false;
    for (const Entry& entry : found->entries) {
        // Comments and lines without '=' are no keys.
        if (!found->Visible(entry) || !entry.hasValue ||
            (!entry.name.empty() && entry.name[0] == ';'))
            continue;
        out += entry.name;
        out += '\0';
        if (out.size() > limit)
            break;
    }
    return true;
}

void ProfileDocument::AppendSectionNames(std::string& out, size_t limit) const {
    for (const auto& section : m_sections) {
        if (section->name.empty())
            continue;
        out += section->name;
        out += '\0';
        if (out.size() > limit)
            break;
    }
}

bool ProfileDocument::SetValue(std::string_view section, std::string_view key,
                               std::string_view value) {
    std::string_view newValue = TrimLeadingBlanks(value);
    Section* found = FirstSection(FoldedName(TrimBlanks(section)));
    if (found) {
        long position = found->FirstPosition(FoldedName(TrimBlanks(key)));
        if (position >= 0) {
            const Entry& entry = found->entries[static_cast<size_t>(position)];
            if (entry.hasValue && entry.value == newValue)
                return false; // nothing to write
            std::string run = entry.name + "=" + std::string(newValue);
            BeginChange();
            PlaceRun(found, static_cast<size_t>(position), true, run);
            EndChange();
            return true;
        }
        std::string run = std::string(TrimLeadingBlanks(key)) + "=" + std::string(newValue);
        BeginChange();
        PlaceRun(found, found->entries.size(), false, run);
        EndChange();
        return true;
    }
    // A new section goes to the end of the file, written with the names as given
    // (leading blanks removed).
    std::string run = "[" + std::string(TrimLeadingBlanks(section)) + "]\r\n" +
                      std::string(TrimLeadingBlanks(key)) + "=" + std::string(newValue);
    BeginChange();
    Section* last = m_sections.back().get();
    PlaceRun(last, last->entries.size(), false, run);
    EndChange();
    return true;
}

bool ProfileDocument::DeleteKey(std::string_view section, std::string_view key) {
    auto sections = m_sectionIndex.find(FoldedName(section));
    if (sections == m_sectionIndex.end())
        return false;
    std::string foldedKey = FoldedName(key);
    for (Section* candidate : sections->second) {
        long position = candidate->FirstPosition(foldedKey);
        if (position < 0)
            continue;
        BeginChange();
        candidate->Remove(static_cast<size_t>(position));
        EndChange();
        return true;
    }
    return false;
}

bool ProfileDocument::DeleteSection(std::string_view section) {
    Section* found = FirstSection(FoldedName(section));
    if (!found)
        return false;
    BeginChange();
    // Without it the file still reads with a nameless section first.
    if (found == m_sections.front().get())
        m_sectionsUnsettled = true;
    RemoveSection(found);
    EndChange();
    return true;
}

bool ProfileDocument::SectionWriteChanges(std::string_view section, bool anyLines) const {
    if (anyLines)
        return true;
    auto sections = m_sectionIndex.find(FoldedName(section));
    if (sections == m_sectionIndex.end())
        return false;
    for (const Section* candidate : sections->second)
        for (const Entry& entry : candidate->entries)
            if (candidate->Visible(entry))
                return true;
    return false;
}

bool ProfileDocument::ReplaceSectionLines(std::string_view section,
                                          const std::vector<std::string_view>& lines) {
    if (!SectionWriteChanges(section, !lines.empty()))
        return false;
    BeginChange();
    auto sections = m_sectionIndex.find(FoldedName(section));
    if (sections != m_sectionIndex.end()) {
        for (Section* candidate : sections->second) {
            candidate->entries.clear();
            candidate->RebuildIndex();
        }
    }
    if (!lines.empty()) {
        // Each line is written as given after the blanks that lead its name
        // and its value.
        std::string run;
        for (std::string_view line : lines) {
            size_t equals = line.find('=');
            if (!run.empty())
                run += "\r\n";
            run += TrimLeadingBlanks(line.substr(0, equals));
            run += '=';
            run += TrimLeadingBlanks(line.substr(equals + 1));
        }
        Section* found = FirstSection(FoldedName(TrimBlanks(section)));
        if (!found) {
            run = "[" + std::string(TrimLeadingBlanks(section)) + "]\r\n" + run;
            found = m_sections.back().get();
        }
        PlaceRun(found, found->entries.size(), false, run);
    }
    EndChange();
    return true;
}

bool ProfileDocument::AppendSectionLines(std::string_view section, std::string& out) const {
    const Section* found = FirstSection(FoldedName(section));
    if (!found)
        return false;
    for (const Entry& entry : found->entries) {
        if (!found->Visible(entry) || (entry.name.empty() && !entry.hasValue) ||
            (!entry.name.empty() && entry.name[0] == ';'))
            continue;
        out += entry.name;
        if (entry.hasValue) {
            out += '=';
            out += entry.value;
        }
        out += '\0';
    }
    return true;
}

void ProfileDocument::BeginChange() {
    m_runActive = false;
    if (m_ghostsPresent)
        DropGhosts();
}

void ProfileDocument::EndChange() {
    if (m_blankEntriesUnsettled)
        ForgetBlankEntries();
    if (m_sectionsUnsettled)
        NormalizeSections();
    m_sectionsUnsettled = m_runOpenedNamelessSection;
    m_runOpenedNamelessSection = false;
}

// Puts the lines of `run` (the text this change writes) at `position` of
// `section`, replacing the entry there when `replace`. The lines are what a
// re-read of the text gives: a value may hold line ends and headers, so the
// entries after `position` move to the last section the run opens.
void ProfileDocument::PlaceRun(Section* section, size_t position, bool replace,
                               std::string_view run) {
    if (++m_runId == 0) { // wrapped: older marks could match again
        for (auto& each : m_sections) {
            each->headerRunId = 0;
            for (Entry& entry : each->entries)
                entry.runId = 0;
        }
        m_runId = 1;
    }
    m_runText.assign(run);
    m_runActive = true;

    std::vector<ProfileLine> lines;
    ProfileLineReader reader(run);
    for (ProfileLine line; reader.Next(line);)
        lines.push_back(std::move(line));

    auto makeEntry = [this](ProfileLine& line) {
        Entry entry;
        entry.name = std::move(line.name);
        entry.value = std::move(line.value);
        entry.hasValue = line.hasValue;
        entry.runId = m_runId;
        return entry;
    };

    // The usual cases: one key line in place or at the end of a section, or a
    // new section with one key at the end of the file.
    bool oneKey = lines.size() == 1 && lines[0].kind == ProfileLine::Kind::Key;
    if (oneKey && replace && SameName(lines[0].name, section->entries[position].name)) {
        Entry& entry = section->entries[position];
        entry.value = std::move(lines[0].value);
        entry.hasValue = lines[0].hasValue;
        entry.runId = m_runId;
        return;
    }
    bool atEnd = !replace && position == section->entries.size();
    if (oneKey && atEnd) {
        section->Append(makeEntry(lines[0]));
        return;
    }
    if (atEnd && section == m_sections.back().get() && lines.size() == 2 &&
        lines[0].kind == ProfileLine::Kind::Header && !lines[0].name.empty() &&
        lines[1].kind == ProfileLine::Kind::Key) {
        Section* added = AppendSection(std::move(lines[0].name), m_runId);
        added->Append(makeEntry(lines[1]));
        return;
    }

    // Anything else: split the section at `position`.
    size_t tailStart = position + (replace ? 1 : 0);
    std::vector<Entry> tail(std::make_move_iterator(section->entries.begin() + tailStart),
                            std::make_move_iterator(section->entries.end()));
    section->entries.resize(position);
    Section* current = section;
    std::vector<Section*> touched{section};
    for (ProfileLine& line : lines) {
        if (line.kind == ProfileLine::Kind::Header) {
            // The file read after this change has it as a section of its own;
            // only the text written by the next change merges it.
            if (line.name.empty())
                m_runOpenedNamelessSection = true;
            auto opened = std::make_unique<Section>(std::move(line.name));
            opened->headerRunId = m_runId;
            Section* added = opened.get();
            InsertSectionAfter(current, std::move(opened));
            current = added;
            touched.push_back(added);
        } else {
            current->entries.push_back(makeEntry(line));
        }
    }
    for (Entry& entry : tail)
        current->entries.push_back(std::move(entry));
    for (Section* each : touched)
        each->RebuildIndex();
    if (touched.size() > 1)
        RebuildSectionIndex();
}

void ProfileDocument::ForgetBlankEntries() {
    for (auto& section : m_sections) {
        for (size_t i = 0; i < section->entries.size(); ++i) {
            Entry& entry = section->entries[i];
            if (section->Visible(entry) && entry.name.empty() && !entry.hasValue) {
                section->Unindex(i);
                entry.ghost = true;
                m_ghostsPresent = true;
            }
        }
    }
    m_blankEntriesUnsettled = false;
}

void ProfileDocument::DropGhosts() {
    for (auto& section : m_sections) {
        for (Entry& entry : section->entries) {
            if (entry.ghost) {
                entry.ghost = false;
                entry.removed = true;
                ++section->removedCount;
            }
        }
    }
    m_ghostsPresent = false;
}

// The sections as a re-read of the written text sees them: the nameless
// section first, and every other nameless section's lines (written without a
// header) belonging to the section before it. A nameless section that this
// change's own text opens stays until the next change.
void ProfileDocument::NormalizeSections() {
    if (m_sections.empty() || !m_sections.front()->name.empty())
        m_sections.insert(m_sections.begin(), std::make_unique<Section>(std::string()));
    for (size_t i = 1; i < m_sections.size();) {
        bool openedNow = m_runActive && m_sections[i]->headerRunId == m_runId;
        if (!m_sections[i]->name.empty() || openedNow) {
            ++i;
            continue;
        }
        Section* before = m_sections[i - 1].get();
        for (Entry& entry : m_sections[i]->entries)
            before->entries.push_back(std::move(entry));
        before->RebuildIndex();
        m_sections.erase(m_sections.begin() + static_cast<long>(i));
    }
    RebuildSectionIndex();
    m_sectionsUnsettled = false;
}

std::string ProfileDocument::Text() const {
    size_t estimate = 0;
    for (const auto& section : m_sections) {
        estimate += section->name.size() + 4;
        for (const Entry& entry : section->entries)
            estimate += entry.name.size() + entry.value.size() + 3;
    }
    std::string out;
    out.reserve(estimate + m_runText.size());
    bool runWritten = false;
    auto inRun = [this](uint32_t id) { return m_runActive && id == m_runId; };
    auto writeRun = [&] {
        if (!runWritten) {
            out += m_runText;
            out += "\r\n";
            runWritten = true;
        }
    };
    for (const auto& section : m_sections) {
        if (inRun(section->headerRunId)) {
            writeRun();
        } else if (!section->name.empty()) {
            out += '[';
            out += section->name;
            out += "]\r\n";
        }
        for (const Entry& entry : section->entries) {
            if (entry.removed)
                continue;
            if (inRun(entry.runId)) {
                writeRun();
                continue;
            }
            out += entry.name;
            if (entry.hasValue) {
                out += '=';
                out += entry.value;
            }
            out += "\r\n";
        }
    }
    return out;
}

} // namespace posix::profile
