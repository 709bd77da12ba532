// Path shortening: each step of the rule and measuring with the font.
#include "ui/minimize_name.h"

#include <gtest/gtest.h>

#include <QFont>

#include "qt_print.h"

namespace {

// One unit per character keeps the widths in the table readable.
int Characters(const QString& text) { return static_cast<int>(text.size()); }

struct Case {
    const char* path;
    int width;
    const char* expected;
    char separator;
};

}  // namespace

TEST(MinimizeName, ShortensStepByStepToFitTheWidth) {
    const Case cases[] = {
        // C:\Data\Practice\Main is 21 characters wide.
        {"C:\\Data\\Practice\\Main", 21, "C:\\Data\\Practice\\Main", '\\'},
        {"C:\\Data\\Practice\\Main", 20, "C:\\...\\Practice\\Main", '\\'},
        {"C:\\Data\\Practice\\Main", 19, "C:\\...\\Main", '\\'},
        {"C:\\Data\\Practice\\Main", 11, "C:\\...\\Main", '\\'},
        {"C:\\Data\\Practice\\Main", 10, "...\\Main", '\\'},
        {"C:\\Data\\Practice\\Main", 7, "Main", '\\'},
        {"C:\\Data\\Practice\\Main", 2, "Main", '\\'},  // the name itself is never cut
        {"\\\\server\\share\\dir\\file", 19, "\\...\\share\\dir\\file", '\\'},
        // The same steps with "/" and no drive part.
        {"/home/user/practice/main", 24, "/home/user/practice/main", '/'},
        {"/home/user/practice/main", 23, "/.../user/practice/main", '/'},
        {"/home/user/practice/main", 22, "/.../practice/main", '/'},
        {"/home/user/practice/main", 17, "/.../main", '/'},
        {"/home/user/practice/main", 8, ".../main", '/'},
        {"/home/user/practice/main", 7, "main", '/'},
        // A leading dot is a hidden folder's name, not the mark of an earlier
        // cut: dropping four characters of ".a/name" would show "/name".
        {"/.a/name", 7, "name", '/'},
        {"/.hidden/b/c/d", 13, "/.../b/c/d", '/'},
        {"/", 1, "/", '/'},
        {"", 0, "", '/'},
        {"relative/name", 12, ".../name", '/'},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MinimizeName(QString::fromLatin1(c.path), c.width, Characters, QLatin1Char(c.separator)),
                  QString::fromLatin1(c.expected))
            << c.path << " at " << c.width;
    }
}

TEST(MinimizeName, MeasuresWithTheFont) {
    const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans"), 9));
    const QString path = QStringLiteral("/srv/practice/data/current");
    const int full = metrics.horizontalAdvance(path);
    EXPECT_EQ(MinimizeName(path, metrics, full), path);
    const QString shorter = MinimizeName(path, metrics, full - 1);
    EXPECT_TRUE(shorter.startsWith(QStringLiteral("/.../"))) << shorter.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(shorter), full - 1);
}
