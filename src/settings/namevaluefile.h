#pragma once
// The settings files of "name=value" lines beside options.dat (dnc.dat, port.dat, preview.dat):
// one reader and one writer for all of them. A record's settings are a table of fields, each a
// name with the reading and the writing of its value text.
//
// Reading takes the lines in file order (a later line of a name wins); a missing file leaves
// the record as it is. Writing puts every field in the table's order, then the record's further
// lines, each ended by CR LF, atomically: the new text goes to a temporary file that replaces the
// old one only when complete (a failure leaves the old file).

#include "settings/settingsfiles.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvilo {

template <typename Record> struct SettingsField {
    const char *name;
    // Takes the value into record; false when it cannot be read.
    bool (*read)(std::string_view value, Record &record);
    std::string (*write)(const Record &record);
};

// One line of a settings file: the name before the first "=", the value after it.
struct SettingsLine {
    std::string_view text, name, value;
    bool hasEquals = false;
};
SettingsLine SplitSettingsLine(std::string_view text);

enum class SettingsSyntax {
    NameAlone, // a line without "=" is a name with an empty value
    NameValue, // only lines with "=" set a field
};

// Reads the file at path into record. A line that no field takes goes to other (when given),
// which says whether it could read it; otherwise an empty line is passed over and any other is
// damage. Returns whether some line could not be read (a field's value or another line).
template <typename Record, typename Other>
bool ReadSettingsFile(const std::string &path, std::span<const SettingsField<Record>> fields,
                      SettingsSyntax syntax, Record &record, Other other) {
    bool damaged = false;
    for (const std::string &text : ReadTextLines(path)) {
        const SettingsLine line = SplitSettingsLine(text);
        const SettingsField<Record> *field = nullptr;
        if (line.hasEquals || syntax == SettingsSyntax::NameAlone)
            for (const SettingsField<Record> &f : fields)
                if (line.name == f.name)
                    field = &f;
        if (field)
            damaged |= !field->read(line.value, record);
        else
            damaged |= !other(line, record);
    }
    return damaged;
}

template <typename Record>
bool ReadSettingsFile(const std::string &path, std::span<const SettingsField<Record>> fields,
                      SettingsSyntax syntax, Record &record) {
    return ReadSettingsFile(path, fields, syntax, record,
                            [](const SettingsLine &line, Record &) { return line.text.empty(); });
}

// The lines "name=value" of every field, then the further lines; written atomically. False when
// the file cannot be written (the old file stays).
template <typename Record>
bool WriteSettingsFile(const std::string &path, std::span<const SettingsField<Record>> fields,
                       const Record &record, const std::vector<std::string> &further = {}) {
    std::vector<std::string> lines;
    lines.reserve(fields.size() + further.size());
    for (const SettingsField<Record> &field : fields)
        lines.push_back(std::string(field.name) + "=" + field.write(record));
    lines.insert(lines.end(), further.begin(), further.end());
    return WriteTextLines(path, lines);
}

} // namespace morvilo
