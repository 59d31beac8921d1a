#pragma once
// The German locale for tests that check that numbers never depend on the locale: the C library
// and Qt then write and read a decimal comma. The locale comes from the build tree
// (MORVILO_TEST_LOCALES, see tests/CMakeLists.txt), so the tests do not depend on the locales a
// machine has installed; when it cannot be set, the test must fail, not pass unchecked.

#include <QLocale>

#include <clocale>
#include <cstdlib>
#include <string>

namespace morvilo::test {

// Switches the whole process to German, as a user's LC_ALL=de_DE.UTF-8 does. Empty on success,
// else why it failed.
inline std::string UseGermanLocale() {
    // Also for what reads the environment later: Qt's system locale, child processes.
    ::setenv("LOCPATH", MORVILO_TEST_LOCALES, 1);
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        return "de_DE.UTF-8 could not be set from " MORVILO_TEST_LOCALES;
    if (std::string(std::localeconv()->decimal_point) != ",")
        return "de_DE.UTF-8 has no decimal comma";
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    return {};
}

// Back to the C locale.
inline void UseCLocale() {
    ::setenv("LC_ALL", "C", 1);
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
}

} // namespace morvilo::test
