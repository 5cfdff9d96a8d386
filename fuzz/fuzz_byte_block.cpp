// Byte blocks stored as profile text. Input: one byte that picks a buffer size,
// then the rest, used both as a stored text to decode and as a block to store.
// Properties:
// - decoding any text never writes past the buffer and reports at most its size;
// - a block written with WriteProfileData into a settings file reads back whole
//   and unchanged with GetProfileData, through the profile functions (which trim
//   values and drop enclosing quotes);
// - the same holds for the text form alone.
#include "FuzzSupport.h"

#include "app/CorvaneApp.h"
#include "support/StoredValueText.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

using namespace corvane;

namespace {

// The application object in INI mode on a scratch settings file.
CCorvaneApp& AppOnScratchFile() {
    static bool ready = [] {
        std::free(const_cast<char*>(theApp.m_pszRegistryKey));
        theApp.m_pszRegistryKey = nullptr;
        std::free(const_cast<char*>(theApp.m_pszProfileName));
        theApp.m_pszProfileName = strdup((fuzz::ScratchFolder() + "/blocks.ini").c_str());
        return true;
    }();
    (void)ready;
    return theApp;
}

std::string Decode(const char* text, UINT capacity, bool* result) {
    // Exactly capacity bytes, so that one byte too many is caught.
    std::unique_ptr<BYTE[]> buffer(new BYTE[capacity ? capacity : 1]);
    UINT count = capacity;
    *result = DecodeByteBlock(text, capacity ? buffer.get() : nullptr, &count);
    if (!*result)
        return {};
    FUZZ_CHECK(count > 0 && count <= capacity,
               "decoded " + std::to_string(count) + " bytes into " + std::to_string(capacity));
    return std::string(reinterpret_cast<const char*>(buffer.get()), count);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ByteReader reader(std::string_view(reinterpret_cast<const char*>(data), size));
    UINT capacity = reader.Byte();
    const std::string block(reader.Rest());
    bool decoded;
    Decode(block.c_str(), capacity, &decoded);

    CString text = EncodeByteBlock(block.data(), static_cast<UINT>(block.size()));
    std::string back = Decode(text, static_cast<UINT>(block.size()), &decoded);
    FUZZ_CHECK(decoded == !block.empty() && back == block,
               "block " + fuzz::Printable(block) + " stored as " + fuzz::Printable(text.str()) +
                   " decodes to " + fuzz::Printable(back));

    CCorvaneApp& app = AppOnScratchFile();
    FUZZ_CHECK(
        app.WriteProfileData("Blocks", "Data", block.data(), static_cast<UINT>(block.size())),
        "WriteProfileData failed");
    std::unique_ptr<BYTE[]> buffer(new BYTE[block.size() + 1]);
    UINT count = static_cast<UINT>(block.size());
    BOOL read = app.GetProfileData("Blocks", "Data", buffer.get(), &count);
    std::string stored = app.GetProfileString("Blocks", "Data", "").str();
    FUZZ_CHECK(
        read == !block.empty() &&
            (block.empty() || std::string(reinterpret_cast<char*>(buffer.get()), count) == block),
        "block " + fuzz::Printable(block) + " read back from the file as " +
            fuzz::Printable(stored) + " gives " +
            fuzz::Printable(std::string(reinterpret_cast<char*>(buffer.get()), count)));
    return 0;
}
