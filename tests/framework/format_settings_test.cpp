// Locale settings: separators from the environment, the process locale untouched.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>

#include "framework/format.h"

namespace {

struct LocaleCase {
    const char* what;
    const char* radix;
    const char* dateFormat;
    const char* timeFormat;
    char decimalSeparator;
    char dateSeparator;
    char timeSeparator;
    const char* date;  // 5 March 2011 in the short date format
    const char* time;  // 07:04:09 in the long time format
};

const LocaleCase kLocales[] = {
    {"C", ".", "%m/%d/%y", "%H:%M:%S", '.', '/', ':', "03/05/11", "07:04:09"},
    {"en_US", ".", "%m/%d/%Y", "%r", '.', '/', ':', "03/05/2011", "07:04:09"},
    {"de_DE", ",", "%d.%m.%Y", "%T", ',', '.', ':', "05.03.2011", "07:04:09"},
    {"ISO dates", ".", "%F", "%R", '.', '-', ':', "2011-03-05", "07:04"},
    {"fi_FI", ",", "%d.%m.%Y", "%H.%M.%S", ',', '.', '.', "05.03.2011", "07.04.09"},
    {"unpadded", ".", "%-d/%-m/%Y", "%-H:%M", '.', '/', ':', "5/3/2011", "7:04"},
    {"blank-padded day", ",", "%e.%m.%Y", "%k:%M:%S", ',', '.', ':', "5.03.2011", "7:04:09"},
    {"separator with blank", ".", "%Y. %m. %d", "%H:%M:%S", '.', '.', ':', "2011. 03. 05", "07:04:09"},
    {"no ASCII separator", ".", "%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5", "%H:%M:%S", '.', '\0', ':',
     "2011\xE5\xB9\xB4"
     "03\xE6\x9C\x88"
     "05\xE6\x97\xA5",
     "07:04:09"},
    {"literal letters kept", ".", "%d/%m/%Y", "%Hh%M", '.', '/', '\0', "05/03/2011", "07h04"},
    {"multi-byte radix falls back", "\xD9\xAB", "%d/%m/%Y", "%H:%M:%S", '.', '/', ':', "05/03/2011", "07:04:09"},
    {"empty formats keep the defaults", ",", "", "", ',', '/', ':', "03/05/2011", "07:04:09"},
};

TEST(FormatSettings, FromLanginfoTable) {
    const double value = fw::EncodeDate(2011, 3, 5) + fw::EncodeTime(7, 4, 9, 0);
    for (const LocaleCase& c : kLocales) {
        const auto s = fw::FormatSettings::FromLanginfo(c.radix, c.dateFormat, c.timeFormat);
        EXPECT_EQ(s.DecimalSeparator, c.decimalSeparator) << c.what;
        EXPECT_EQ(s.DateSeparator, c.dateSeparator) << c.what;
        EXPECT_EQ(s.TimeSeparator, c.timeSeparator) << c.what;
        EXPECT_EQ(fw::FormatDateTime(s.ShortDateFormat, value, s), c.date) << c.what << ": " << s.ShortDateFormat;
        EXPECT_EQ(fw::FormatDateTime(s.LongTimeFormat, value, s), c.time) << c.what << ": " << s.LongTimeFormat;
    }
    const auto german = fw::FormatSettings::FromLanginfo(",", "%d.%m.%Y", "%H:%M:%S");
    EXPECT_EQ(german.ShortDateFormat, "dd/MM/yyyy");
    EXPECT_EQ(german.LongTimeFormat, "hh:nn:ss");
}

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(FormatSettings, FromEnvironmentReadsTheLocaleWithoutChangingTheCurrentOne) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"C.UTF-8", "POSIX", "xx_NOT.INSTALLED"}) {
        const ScopedEnv env("LC_ALL", name);
        const auto s = fw::FormatSettings::FromEnvironment();
        EXPECT_EQ(s.DecimalSeparator, '.') << name;
        EXPECT_EQ(s.DateSeparator, '/') << name;
        EXPECT_EQ(s.ShortDateFormat, "MM/dd/yy") << name;
        EXPECT_EQ(s.LongTimeFormat, "hh:nn:ss") << name;
        EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before) << name;
    }
}

}  // namespace
