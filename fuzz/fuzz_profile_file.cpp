// Private-profile files: the byte decoding, the document model and the Win32
// functions over it. Input: the file's bytes, then optionally "\n#ops\n" and a
// script of changes (a kind byte and up to three short texts each).
// Properties:
// - decoding and encoding again gives the file's bytes back (but for a last odd
//   byte of a UTF-16 file);
// - a document changed call by call in memory holds, after each change, the
//   text that parsing the file before every call and writing it after the call
//   gives (how the functions behave on Windows), and its lookups answer what
//   that text reads back as;
// - GetPrivateProfileStringA never writes past the buffer, ends what it returns
//   with a NUL, and returns less than the buffer size.
#include "FuzzSupport.h"

#include "platform/posix/ProfileDocument.h"
#include "platform/winapi.h"

#include <memory>
#include <string>
#include <vector>

using posix::profile::ProfileDocument;

namespace {

void CheckEncoding(std::string_view bytes) {
    posix::profile::DecodedProfile decoded = posix::profile::DecodeProfileBytes(bytes);
    std::string encoded = posix::profile::EncodeProfileText(decoded.text, decoded.encoding);
    // A last odd byte of a UTF-16 file is half a code unit: no text holds it.
    if ((decoded.encoding == posix::profile::ProfileEncoding::Utf16LE ||
         decoded.encoding == posix::profile::ProfileEncoding::Utf16BE) &&
        bytes.size() % 2 != 0)
        bytes.remove_suffix(1);
    FUZZ_CHECK(encoded == bytes, "decode and encode changed the bytes " + fuzz::Printable(bytes) +
                                     " to " + fuzz::Printable(encoded));
}

std::string Lookup(const ProfileDocument& document, std::string_view section,
                   std::string_view key) {
    const std::string* value = document.FindValue(section, key);
    std::string out = value ? "value " + fuzz::Printable(*value) : std::string("none");
    std::string keys;
    out += document.AppendKeyNames(section, keys, 1 << 20) ? " keys " + fuzz::Printable(keys)
                                                           : std::string(" no section");
    std::string sections;
    document.AppendSectionNames(sections, 1 << 20);
    return out + " sections " + fuzz::Printable(sections);
}

bool Apply(ProfileDocument& document, int kind, std::string_view section, std::string_view key,
           std::string_view value) {
    if (kind == 0)
        return document.SetValue(section, key, value);
    if (kind == 1)
        return document.DeleteKey(section, key);
    return document.DeleteSection(section);
}

void CheckDocument(std::string_view text, fuzz::ByteReader script) {
    ProfileDocument live = ProfileDocument::Parse(text);
    std::string file(text); // the file as the call-by-call functions leave it
    std::string trail;
    for (int step = 0; step < 16 && !script.Empty(); ++step) {
        int kind = script.Byte() % 3;
        // The functions take C strings: texts end at their first NUL.
        std::string section = std::string(script.Text(10)).c_str();
        std::string key = std::string(script.Text(10)).c_str();
        std::string value = std::string(script.Text(14)).c_str();
        trail += std::to_string(kind) + " " + fuzz::Printable(section) + " " +
                 fuzz::Printable(key) + " " + fuzz::Printable(value) + "\n";

        ProfileDocument reparsed = ProfileDocument::Parse(file);
        bool changedThere = Apply(reparsed, kind, section, key, value);
        bool changedHere = Apply(live, kind, section, key, value);
        if (changedThere)
            file = reparsed.Text();
        if (changedHere || changedThere)
            FUZZ_CHECK(live.Text() == file, "text after\n" + trail + fuzz::Printable(live.Text()) +
                                                "\nwhere the file would hold\n" +
                                                fuzz::Printable(file));
        ProfileDocument readBack = ProfileDocument::Parse(file);
        std::string here = Lookup(live, section, key);
        std::string there = Lookup(readBack, section, key);
        FUZZ_CHECK(here == there,
                   "lookup after\n" + trail + here + "\nwhere the file reads\n" + there);
    }
}

// The Win32 functions on the file, with buffers of every small size.
void CheckApi(std::string_view bytes, std::string_view section, std::string_view key) {
    static const std::string path = fuzz::ScratchFolder() + "/profile.ini";
    fuzz::WriteFile(path, bytes);
    std::string sectionText(section), keyText(key);
    struct Query {
        const char* section;
        const char* key;
    };
    const Query queries[] = {
        {nullptr, nullptr}, {sectionText.c_str(), nullptr}, {sectionText.c_str(), keyText.c_str()}};
    for (const Query& query : queries) {
        for (DWORD size : {1u, 2u, 3u, 5u, 16u, 300u}) {
            std::unique_ptr<char[]> buffer(new char[size]);
            DWORD got = GetPrivateProfileStringA(query.section, query.key, "  def  ", buffer.get(),
                                                 size, path.c_str());
            FUZZ_CHECK(got < size,
                       "returned " + std::to_string(got) + " of " + std::to_string(size));
            FUZZ_CHECK(buffer[got] == '\0', "no NUL after what was returned");
        }
    }
    GetPrivateProfileIntA(sectionText.c_str(), keyText.c_str(), 7, path.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Split input =
        fuzz::SplitAt(std::string_view(reinterpret_cast<const char*>(data), size), "\n#ops\n");
    CheckEncoding(input.head);
    std::string text = posix::profile::DecodeProfileBytes(input.head).text;
    CheckDocument(text, fuzz::ByteReader(input.tail));
    fuzz::ByteReader names(input.tail);
    names.Byte();
    std::string_view section = names.Text(10);
    CheckApi(input.head, section, names.Text(10));
    return 0;
}
