// Shortening a path to a width by replacing leading folders with "...".
#include "ui/minimize_name.h"

namespace {

// Drops the first directory of a directory part (which always ends with the
// separator), leaving "..." plus the separator in its place.
void CutFirstDirectory(QString& directory, QChar separator) {
    const QString marker = QStringLiteral("...") + separator;
    if (directory == QString(separator)) {
        directory.clear();
        return;
    }
    const bool rooted = directory.startsWith(separator);
    if (rooted) directory.remove(0, 1);
    // Remove the marker of an earlier cut. Only the marker itself counts: a
    // leading dot alone is an ordinary (hidden) folder name.
    if (directory.startsWith(marker)) directory.remove(0, marker.size());
    const qsizetype next = directory.indexOf(separator);
    if (next >= 0)
        directory = marker + directory.mid(next + 1);
    else
        directory.clear();
    if (rooted) directory.prepend(separator);
}

}  // namespace

QString MinimizeName(const QString& path, int maxWidth, const std::function<int(const QString&)>& measure,
                     QChar separator) {
    QString result = path;
    const qsizetype nameStart = path.lastIndexOf(separator) + 1;
    QString directory = path.left(nameStart);
    const QString name = path.mid(nameStart);
    QString drive;
    if (directory.size() >= 2 && directory.at(1) == QLatin1Char(':')) {
        drive = directory.left(2);
        directory.remove(0, 2);
    }
    const QString rootedMarker = separator + QStringLiteral("...") + separator;
    while ((!drive.isEmpty() || !directory.isEmpty()) && measure(result) > maxWidth) {
        if (directory == rootedMarker) {
            drive.clear();
            directory = QStringLiteral("...") + separator;
        } else if (directory.isEmpty()) {
            drive.clear();
        } else {
            CutFirstDirectory(directory, separator);
        }
        result = drive + directory + name;
    }
    return result;
}

QString MinimizeName(const QString& path, const QFontMetrics& metrics, int maxWidth, QChar separator) {
    return MinimizeName(
        path, maxWidth, [&metrics](const QString& text) { return metrics.horizontalAdvance(text); }, separator);
}
