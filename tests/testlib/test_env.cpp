#include "testlib/test_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

QString TestDataPath(const QString& name)
{
    QString root = qEnvironmentVariable("PICTAVO_TEST_DATA", QStringLiteral(PICTAVO_SOURCE_DIR "/tests/data"));
    return name.isEmpty() ? root : root + "/" + name;
}

QString TestHome()
{
    return qEnvironmentVariable("HOME");
}

QString NewTestFolder()
{
    const QString path = TestHome() + "/t-" + QUuid::createUuid().toString(QUuid::Id128);
    QDir().mkpath(path);
    return path;
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size()) << path.toStdString();
}
