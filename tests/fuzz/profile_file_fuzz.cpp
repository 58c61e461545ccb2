// The profile-file unit over arbitrary file bytes: reading never fails, and a value set in
// place reads back as set while every other key keeps its value.
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "platform/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The last line of the input is the value to set, the rest the file.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string value;
    std::size_t cut = bytes.rfind('\n');
    if (cut != std::string::npos) {
        value = bytes.substr(cut + 1);
        bytes.erase(cut + 1);
    }
    tolva::ProfileFile profile;
    profile.Parse(bytes);
    const std::string otherBefore = profile.GetString("Other", "Key", "<none>", tolva::ProfileFile::kWholeValue);
    profile.GetString("InternetShortcut", "URL");

    profile.SetString("InternetShortcut", "URL", value);
    tolva::ProfileFile reread;
    reread.Parse(profile.Bytes());
    // A value without blanks or quotes (either kind) at its ends and without line breaks
    // reads back whole.
    auto plainEnd = [](char c) { return c != ' ' && c != '\t' && c != '"' && c != '\''; };
    bool plain = value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos &&
                 (value.empty() || (plainEnd(value.front()) && plainEnd(value.back())));
    if (plain && reread.GetString("InternetShortcut", "URL", "<none>", tolva::ProfileFile::kWholeValue) != value) {
        std::abort();
    }
    if (!reread.HasKey("InternetShortcut", "URL")) std::abort();
    if (reread.GetString("Other", "Key", "<none>", tolva::ProfileFile::kWholeValue) != otherBefore) std::abort();
    return 0;
}
