#pragma once
// Shortens a path to fit a width by replacing leading directories with
// "...": "/data/practice/main" becomes "/.../practice/main", then
// "/.../main", then ".../main", then "main". A path with a drive part
// ("C:" before the first separator) keeps it until the directories are gone.
#include <QFontMetrics>
#include <QString>
#include <functional>

// `measure` gives the width of a text in the same unit as `maxWidth`.
QString MinimizeName(const QString& path, int maxWidth, const std::function<int(const QString&)>& measure,
                     QChar separator = QLatin1Char('/'));

// Measures with the given font metrics.
QString MinimizeName(const QString& path, const QFontMetrics& metrics, int maxWidth,
                     QChar separator = QLatin1Char('/'));
