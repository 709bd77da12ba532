// The folder tree's root choices on this platform and the folder each stands for.
#include "ui/shell_options.h"

#include <QDir>
#include <QFileInfo>

QString ResolveShellRoot(const TpxDlgShellRoot& root) {
    const QString fileSystemRoot = QStringLiteral("/");
    switch (root.BrowseFolder) {
        case TpxBrowseFolder::bfDesktop:
        case TpxBrowseFolder::bfMyComputer: return fileSystemRoot;
        case TpxBrowseFolder::bfPersonal: return QDir::cleanPath(QDir::homePath());
        case TpxBrowseFolder::bfCustomPath: {
            const QFileInfo custom(QString::fromStdString(root.CustomPath));
            if (root.CustomPath.empty() || !custom.isDir()) return fileSystemRoot;
            return QDir::cleanPath(custom.absoluteFilePath());
        }
    }
    return fileSystemRoot;
}
