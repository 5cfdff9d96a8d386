// Plug-in records: a record name and a record value as the registry or
// "PlugIns.ini" hold them. Input: the name, a line feed, the value (both cut at
// a NUL, as the stores hand them over).
// Properties:
// - any record reads without harm;
// - the record texts the writer forms for the item read back to the same item
//   (unless the path itself holds a colon after the drive letter, which no
//   written form can tell from the start of the attribute tail);
// - the attribute tail holds no colon, escaped names hold none of \ : = ( );
//   unescaping gives the name back.
#include "FuzzSupport.h"

#include "plugins/RecordEscape.h"
#include "plugins/RecordFormat.h"
#include "plugins/RecordParse.h"

#include <cstring>
#include <string>

using namespace corvane;

namespace {

std::string Describe(const CPluginItem& item) {
    std::string out;
    for (int i = 0; i < kTextCount; ++i)
        out += "text" + std::to_string(i) + " " + fuzz::Printable(item.GetText(i).str()) + "\n";
    const unsigned char* uid = reinterpret_cast<const unsigned char*>(&item.m_uid);
    out += "uid ";
    for (size_t i = 0; i < sizeof item.m_uid; ++i)
        out += std::to_string(uid[i]) + ".";
    out += "\nkind " + std::to_string(item.m_nKind) + " arch " + std::to_string(item.m_nArch) +
           " len " + std::to_string(item.m_nLength) + " lch " + std::to_string(item.m_nLastChange) +
           " flg " + std::to_string(item.m_nFlags) + " pcat " + std::to_string(item.m_nCategory) +
           " ena " + std::to_string(item.m_bEnabled) + "\n";
    return out;
}

void CheckEscape(const CString& text) {
    CString escaped = EscapeName(text);
    FUZZ_CHECK(escaped.str().find_first_of("\\:=()") == std::string::npos,
               "escaped text holds a reserved character: " + fuzz::Printable(escaped.str()));
    FUZZ_CHECK(UnescapeName(escaped) == text, "escape and unescape changed " +
                                                  fuzz::Printable(text.str()) + " to " +
                                                  fuzz::Printable(UnescapeName(escaped).str()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Split input =
        fuzz::SplitAt(std::string_view(reinterpret_cast<const char*>(data), size), "\n");
    const CString name(std::string(input.head).c_str());
    const CString value(std::string(input.tail).c_str());
    const CString level("Level");

    CPluginItem item;
    ParseRecord(StripDuplicatePrefix(name), value, level, item);
    CheckEscape(name);
    CheckEscape(value);

    CString tail = FormatAttributeTail(item);
    FUZZ_CHECK(tail.Find(':') < 0, "attribute tail holds a colon: " + fuzz::Printable(tail.str()));

    const CString& path = item.GetText(kTextPath);
    if (path.str().find(':', 2) != std::string::npos)
        return 0;
    CString writtenName = FormatRecordName("", item);
    CString writtenValue = FormatRecordValue(item);
    CPluginItem again;
    ParseRecord(writtenName, writtenValue, level, again);
    std::string before = Describe(item);
    std::string after = Describe(again);
    FUZZ_CHECK(before == after, "record " + fuzz::Printable(writtenName.str()) + " = " +
                                    fuzz::Printable(writtenValue.str()) +
                                    " reads back differently:\n" + before + "---\n" + after);
    return 0;
}
