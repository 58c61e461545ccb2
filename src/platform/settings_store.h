#pragma once
// Per-user settings, kept where Windows keeps them in the registry: named keys holding named
// string and binary values. The store is one text file in the REGEDIT4 .reg syntax at
// $XDG_CONFIG_HOME/tolva/registry.reg (~/.config/tolva/ by default), so a person can read
// and edit it. Key paths include their hive as in .reg files:
// "HKEY_CURRENT_USER\\Software\\Hollin\\Tolva\\Convert\\RecentMosaic". Keys and value names
// match without regard to ASCII case, as the registry's do.
//
// The store holds the whole file in memory: Load reads it, the setters change the copy, Save
// writes it back atomically. A file that cannot be parsed is never overwritten: Load reports
// it and Save then refuses, leaving the file for the person to mend.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolva {

class SettingsStore {
public:
    explicit SettingsStore(std::string path);

    // $XDG_CONFIG_HOME/tolva/registry.reg, or ~/.config/tolva/registry.reg when the variable
    // is unset, empty or not an absolute path.
    static std::string DefaultPath();
    // The process-wide store at DefaultPath(), loaded on first use.
    static SettingsStore& User();

    // Reads the file. A missing file is an empty store (true). Returns false, keeps the store
    // empty and makes Save refuse when the file exists but cannot be read or parsed.
    bool Load();

    // True when the key, or any key below it, holds or has held values.
    bool KeyExists(const std::string& key) const;
    // A string value (false for a missing value or one of another type).
    bool GetString(const std::string& key, const std::string& name, std::string& value) const;
    // The bytes of a value that is not a string (binary, dword as four little-endian bytes,
    // or any other typed hex value).
    bool GetBinary(const std::string& key, const std::string& name, std::vector<unsigned char>& value) const;

    void CreateKey(const std::string& key);
    void SetString(const std::string& key, const std::string& name, const std::string& value);
    void SetBinary(const std::string& key, const std::string& name, const std::vector<unsigned char>& value);
    // Removes a value; nothing happens when there is none.
    void DeleteValue(const std::string& key, const std::string& name);

    // Writes the store to its file: a temporary file in the same folder, flushed to the disk,
    // then renamed over the file, so a reader sees the old or the new store and never a part.
    // Creates the folder if needed. Returns false (and writes nothing) after a failed Load.
    bool Save();

    const std::string& Path() const { return path_; }

    // How a value is kept in the file; the registry's type numbers.
    enum ValueType : std::uint32_t {
        kTypeString = 1,
        kTypeBinary = 3,
        kTypeDword = 4,
    };

private:
    struct Value {
        std::string name;
        std::uint32_t type = kTypeString;
        std::string data;  // the string's bytes, or the raw bytes of any other type
    };
    struct Key {
        std::string path;
        std::vector<Value> values;
    };

    const Key* FindKey(const std::string& key) const;
    Key* FindKey(const std::string& key);
    Key& FindOrCreateKey(const std::string& key);
    const Value* FindValue(const std::string& key, const std::string& name) const;
    void SetValue(const std::string& key, const std::string& name, std::uint32_t type, std::string data);
    bool Parse(const std::string& text);
    std::string Serialize() const;

    std::string path_;
    std::vector<Key> keys_;
    bool unparsable_ = false;
    // What the file on disk holds, in the form Save writes, when known: a save that would
    // write the same again is skipped, so a run that changes no setting costs no fsync.
    std::optional<std::string> onDisk_;
};

}  // namespace tolva
