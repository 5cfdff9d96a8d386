// Registry export files: the reader on any bytes, and the registry store that
// loads them. Properties:
// - a file that reads is written back to a file that reads to the same content,
//   and writing that content again gives the same bytes;
// - a store that loads saves a file that loads to the same store;
// - 8-bit text in the ANSI code page survives the trip through UTF-16
//   unchanged, and any UTF-16 (the input's bytes taken as units) the trip
//   through the store's lossless text.
#include "FuzzSupport.h"

#include "regfile/RegExportWriter.h"
#include "regfile/RegFileReader.h"
#include "platform/TextConversion.h"
#include "platform/posix/RegistryStore.h"

#include <string>

namespace {

std::string Describe(const regfile::RegFileContent& content) {
    std::string out = "format " + std::to_string(static_cast<int>(content.format.version)) + "/" +
                      std::to_string(static_cast<int>(content.format.encoding)) + "/" +
                      std::to_string(static_cast<int>(content.format.lineEnd)) + "/" +
                      std::to_string(content.format.utf8ByteOrderMark) + "\n";
    for (const regfile::RegFileKey& key : content.keys) {
        out += (key.deleted ? "[-" : "[") + fuzz::Printable(key.path) + "]\n";
        for (const regfile::RegFileValue& value : key.values) {
            out += "  " + fuzz::Printable(value.name);
            if (value.deleted)
                out += " deleted\n";
            else
                out += " type " + std::to_string(value.type) + " " + fuzz::Printable(value.data) +
                       " odd " + std::to_string(value.oddByte) + "\n";
        }
    }
    return out;
}

// The whole tree of a store, keys in enumeration order.
std::string Describe(const posix::RegistryKey& top) {
    std::string out;
    std::vector<std::pair<const posix::RegistryKey*, std::string>> stack{{&top, top.Name()}};
    while (!stack.empty()) {
        auto [key, path] = stack.back();
        stack.pop_back();
        out += fuzz::Printable(path) + "\n";
        for (size_t i = 0; i < key->ValueCount(); ++i) {
            const posix::StoredValue& value = key->ValueAt(i);
            out += "  " + fuzz::Printable(value.name) + " type " + std::to_string(value.type) +
                   " " + fuzz::Printable(value.data) + " odd " + std::to_string(value.oddByte) +
                   "\n";
        }
        for (size_t i = key->SubKeyCount(); i-- > 0;)
            stack.emplace_back(key->SubKeyAt(i).get(), path + "\\" + key->SubKeyAt(i)->Name());
    }
    return out;
}

void CheckReaderRoundTrip(std::string_view bytes) {
    regfile::RegFileContent content;
    if (!regfile::ParseRegFile(bytes, content).ok())
        return;
    std::string written = regfile::WriteRegFile(content);
    regfile::RegFileContent again;
    regfile::RegParseResult reread = regfile::ParseRegFile(written, again);
    FUZZ_CHECK(reread.ok(), "written file does not read: line " + std::to_string(reread.line) +
                                ": " + reread.message + "\n" + fuzz::Printable(written));
    std::string before = Describe(content);
    std::string after = Describe(again);
    FUZZ_CHECK(before == after, "content changed by write and read:\n" + before + "---\n" + after);
    FUZZ_CHECK(regfile::WriteRegFile(again) == written, "second write differs");
}

void CheckStoreRoundTrip(std::string_view bytes) {
    const std::string first = fuzz::ScratchFolder() + "/store.reg";
    const std::string second = fuzz::ScratchFolder() + "/saved.reg";
    fuzz::WriteFile(first, bytes);
    posix::RegistryStore store(first);
    if (!store.Load().ok)
        return;
    std::string saved = store.Serialize();
    fuzz::WriteFile(second, saved);
    posix::RegistryStore reloaded(second);
    posix::RegistryLoadResult result = reloaded.Load();
    FUZZ_CHECK(result.ok, "saved store does not load: line " + std::to_string(result.line) + ": " +
                              result.message);
    std::string before = Describe(*store.Root());
    std::string after = Describe(*reloaded.Root());
    FUZZ_CHECK(before == after, "store changed by save and load:\n" + before + "---\n" + after);
    FUZZ_CHECK(reloaded.Serialize() == saved, "second save differs");
}

void CheckTextRoundTrips(std::string_view bytes) {
    std::u16string wide;
    text::AppendAnsiAsWide(wide, bytes);
    std::string back;
    text::AppendWideAsAnsi(back, wide);
    FUZZ_CHECK(back == bytes,
               "8-bit text changed: " + fuzz::Printable(bytes) + " -> " + fuzz::Printable(back));
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    std::string lossless = text::WideToLossless(units);
    FUZZ_CHECK(text::LosslessToWide(lossless) == units,
               "UTF-16 changed by its lossless text: " + fuzz::Printable(lossless));
    FUZZ_CHECK(text::LosslessWideLength(lossless) == units.size(), "lossless length differs");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckReaderRoundTrip(bytes);
    CheckStoreRoundTrip(bytes);
    CheckTextRoundTrips(bytes);
    return 0;
}
