// The INI file model on any file bytes, followed by a script of changes.
// Input: the file's bytes, then optionally "\n#ops\n" and the script (each
// change a kind byte and up to three short texts).
// Properties:
// - a value that was set reads back (trimmed), a deleted key or section is gone;
// - the index of a changed section agrees with its lines after each change;
// - the saved file loads to the same sections, keys and values, and saving
//   that model again gives the same bytes.
#include "FuzzSupport.h"

#include "ini/IniFile.h"

#include <string>

using namespace corvane;

namespace {

std::string KeyList(const CIniSection& section) {
    CStringArray keys;
    FUZZ_CHECK(section.GetKeys(keys, true), "listing keys failed");
    std::string out;
    for (int k = 0; k < keys.GetSize(); ++k)
        out += fuzz::Printable(keys[k].str()) + "\n";
    return out;
}

// The section's index, kept up to date change by change, must answer what an
// index built afresh from the same lines answers. The fresh one is built in a
// copy, so that the live index goes on as it is.
void CheckIndex(const CIniSection* section) {
    if (!section)
        return;
    CIniFile scratch(":index");
    CIniSection* copy = scratch.GetOrCreateSection("copy");
    FUZZ_CHECK(copy, "no scratch section");
    copy->items() = section->items();
    copy->Reindex();
    std::string live = KeyList(*section);
    std::string fresh = KeyList(*copy);
    FUZZ_CHECK(live == fresh, "index out of date in section " +
                                  fuzz::Printable(section->GetName(false).str()) + ":\n" + live +
                                  "--- built afresh:\n" + fresh);
    FUZZ_CHECK(section->GetLastKeyLine() == copy->GetLastKeyLine(),
               "last key line " + std::to_string(section->GetLastKeyLine()) + ", built afresh " +
                   std::to_string(copy->GetLastKeyLine()));
}

// Every section's name and its key lines with their values, in file order.
std::string Describe(const CIniFile& file) {
    std::string out;
    for (int i = 0; i < file.GetSize(); ++i) {
        const CIniSection* section = file.GetSection(i);
        // Loading always makes the nameless section; empty, it is no content.
        if (section->GetName(false).IsEmpty() && section->GetSize() == 0)
            continue;
        out += "[" + fuzz::Printable(section->GetName(false).str()) + "]\n";
        out += KeyList(*section);
    }
    return out;
}

void CheckIndexes(CIniFile& file) {
    for (int i = 0; i < file.GetSize(); ++i)
        CheckIndex(file.GetSection(i));
}

std::string Trimmed(std::string text) {
    CString value(text.c_str());
    value.Trim();
    return value.str();
}

void RunScript(CIniFile& file, fuzz::ByteReader script) {
    for (int step = 0; step < 32 && !script.Empty(); ++step) {
        uint8_t kind = script.Byte() % 4;
        // Texts up to their first NUL: the model takes C strings.
        std::string section(script.Text(12));
        std::string key(script.Text(12));
        std::string value(script.Text(16));
        section = section.c_str();
        key = key.c_str();
        value = value.c_str();
        if (kind == 0 || kind == 1) {
            if (file.SetValue(section.c_str(), key.c_str(), value.c_str(), true)) {
                CString got = file.GetValue(section.c_str(), key.c_str(), nullptr, false);
                FUZZ_CHECK(got.str() == Trimmed(value),
                           "set " + fuzz::Printable(section) + " " + fuzz::Printable(key) + " = " +
                               fuzz::Printable(value) + ", reads " + fuzz::Printable(got.str()));
            }
        } else if (kind == 2) {
            if (file.SetValue(section.c_str(), key.c_str(), nullptr, true)) {
                CString got = file.GetValue(section.c_str(), key.c_str(), "\x01missing", false);
                FUZZ_CHECK(got == "\x01missing", "deleted key " + fuzz::Printable(key) +
                                                     " still reads " + fuzz::Printable(got.str()));
            }
        } else {
            if (file.SetValue(section.c_str(), nullptr, nullptr, true))
                FUZZ_CHECK(file.FindSection(section.c_str()) == nullptr,
                           "deleted section " + fuzz::Printable(section) + " still there");
        }
        CheckIndex(file.FindSection(section.c_str()));
    }
    CheckIndexes(file);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Split input =
        fuzz::SplitAt(std::string_view(reinterpret_cast<const char*>(data), size), "\n#ops\n");
    const std::string folder = fuzz::ScratchFolder();
    const std::string source = folder + "/input.ini";
    const std::string saved = folder + "/saved.ini";
    const std::string again = folder + "/again.ini";
    fuzz::WriteFile(source, input.head);

    CIniFile file;
    file.m_bAutoReload = false;
    file.m_bAutoSave = false;
    FUZZ_CHECK(file.Load(source.c_str()), "a readable file did not load");
    CheckIndexes(file);
    RunScript(file, fuzz::ByteReader(input.tail));

    FUZZ_CHECK(file.Save(saved.c_str()), "save failed");
    CIniFile reloaded;
    reloaded.m_bAutoReload = false;
    reloaded.m_bAutoSave = false;
    FUZZ_CHECK(reloaded.Load(saved.c_str()), "the saved file did not load");
    std::string before = Describe(file);
    std::string after = Describe(reloaded);
    FUZZ_CHECK(before == after, "model changed by save and load:\n" + before + "---\n" + after);

    // Save writes nothing for an unchanged model: force the text out.
    reloaded.SetValue("\x01probe", "k", "v", true);
    reloaded.SetValue("\x01probe", nullptr, nullptr, true);
    FUZZ_CHECK(reloaded.Save(again.c_str()), "second save failed");
    CIniFile first(saved.c_str()), second(again.c_str());
    FUZZ_CHECK(Describe(first) == Describe(second), "second save differs");
    return 0;
}
