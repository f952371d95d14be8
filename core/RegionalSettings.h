// RegionalSettings: the process-wide names of months and days, currency
// symbol and separators, and date formats that every value reads when it
// writes or parses text.
//
// The record starts with the Mexican Spanish defaults. The application owns
// the settings it installs with install(); values read them through
// current(). Install once at start-up, before other threads run: the record
// is not locked.
#pragma once

#include <array>

#include "core/String.h"

namespace VORLIN {

struct RegionalSettings {
    std::array<String, 13> shortMonths;  // index 0 is "0"
    std::array<String, 13> longMonths;   // index 0 is ""
    std::array<String, 7> longDays;      // Sunday first
    std::array<String, 7> shortDays;     // Sunday first
    String currencySymbol;
    String decimalSeparator;
    String thousandsSeparator;
    int currencyDecimals = 2;
    uint8_t noRounding = 1;
    String currencyName;
    String currencySuffix;
    std::array<String, 4> dateFormats;
    std::array<String, 5> folderCaptions;
    String overwriteQuestion;
    String openCaption;
    String saveCaption;

    // The defaults: Mexican Spanish.
    RegionalSettings();

    // The name of month 0..12 (short or long); the empty text for any other.
    const String& monthName(int month, bool shortName) const;

    // The settings in force for the whole process.
    static const RegionalSettings& current() noexcept;
    // Makes `settings` the process-wide record (nullptr restores the
    // defaults). The caller keeps ownership and keeps it alive while installed.
    static void install(const RegionalSettings* settings) noexcept;
};

}  // namespace VORLIN
