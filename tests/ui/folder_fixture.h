#pragma once
// A small folder tree on disk for the folder tree and dialog tests:
//   alpha/beta/deep, gamma/g1, .hidden/inner, file.txt and a folder whose
//   name is too long for a narrow tree.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class FolderFixture : public ::testing::Test {
protected:
    static constexpr const char* LongName = "a folder name far too long to fit into a narrow tree view";

    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        const QDir root(temp_.path());
        for (const char* folder : {"alpha/beta/deep", "gamma/g1", ".hidden/inner", LongName})
            ASSERT_TRUE(root.mkpath(QString::fromLatin1(folder)));
        QFile file(root.filePath(QStringLiteral("file.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    // The absolute path of `relative` inside the temporary tree.
    QString At(const QString& relative = QString()) const {
        return relative.isEmpty() ? temp_.path() : temp_.path() + QLatin1Char('/') + relative;
    }

private:
    QTemporaryDir temp_;
};
