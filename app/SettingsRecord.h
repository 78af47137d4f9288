// The common part of the seven settings records. A record is a packed,
// little-endian layout stored byte for byte as one value of the settings
// store; the derived class holds the fields, in their stored order, with
// their defaults as member initialisers (every byte, text tails included,
// starts at zero, so the stored bytes never depend on earlier memory).
//
// The derived class names typeName (the source of its log lines) and
// valueName (the stored value), and checkLoaded, which corrects what load
// read: numbers outside their settings control's range or NaN take their
// defaults, every text gets a terminator in its last byte. Nothing it
// corrects is written back.
#ifndef VELKARN_APP_SETTINGSRECORD_H
#define VELKARN_APP_SETTINGSRECORD_H

#include "app/SettingsStore.h"

#include <cstdint>
#include <type_traits>

template <class Record>
class SettingsRecord {
public:
    // Reads the stored value over this record (see SettingsStore::load),
    // then applies the record's checks.
    void load() {
        static_assert(std::is_trivially_copyable_v<Record> && std::is_standard_layout_v<Record>,
                      "a record is stored byte for byte");
        const Record defaults;
        SettingsStore::load(Record::typeName, Record::valueName, &self(), sizeof(Record), &defaults);
        self().checkLoaded();
    }

    // Writes the whole record; a failure is only logged.
    void save() const { SettingsStore::save(Record::typeName, Record::valueName, &self(), sizeof(Record)); }

private:
    Record& self() { return static_cast<Record&>(*this); }
    const Record& self() const { return static_cast<const Record&>(*this); }
};

#endif
