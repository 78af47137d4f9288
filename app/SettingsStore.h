// The settings records' access to the current user's settings store: every
// record is one REG_BINARY value, stored whole, under the key path
// "Software", "Pelgrave Software", "Velkarn", "1". Failures of the store
// never stop the program: each is logged with the record's type name as its
// source, and the record keeps the values it holds.
//
// Also the checks a record applies to what it loaded, each logging the
// record and field it corrected. Any thread; one record at a time.
#ifndef VELKARN_APP_SETTINGSSTORE_H
#define VELKARN_APP_SETTINGSSTORE_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>

class SettingsStore {
public:
    // Opens or creates the key path and reads the value into the record.
    // When the read fails (missing, larger than the record, any error) the
    // record becomes the defaults and is written back. A value of another
    // type or a shorter size is kept as read over the record's leading
    // bytes, and logged as "Registry trouble, type: %d, size: %d.".
    static void load(const char* typeName, const char* valueName, void* record, std::uint32_t size,
                     const void* defaults);
    // Opens or creates the key path and writes the record whole.
    static void save(const char* typeName, const char* valueName, const void* record, std::uint32_t size);

    // A number outside minimum..maximum, or NaN, becomes the default.
    static void keepInRange(float& field, float minimum, float maximum, float defaultValue, const char* valueName,
                            const char* fieldName);
    // A number that is none of the allowed ones becomes the default.
    static void keepChoice(std::int32_t& field, std::initializer_list<std::int32_t> allowed, std::int32_t defaultValue,
                           const char* valueName, const char* fieldName);
    // A NaN becomes the default (numbers without a range of their own).
    static void keepNumber(float& field, float defaultValue, const char* valueName, const char* fieldName);
    // The last byte of a text field becomes its terminator, so a stored
    // text without one cannot run past the field.
    template <std::size_t n>
    static void terminate(char (&text)[n]) {
        text[n - 1] = '\0';
    }
};

#endif
